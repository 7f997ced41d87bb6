// What a cut costs a signed update, what a dead first address costs one with mirrors, and what
// the run log costs a run. Prints figures; fails only when a folder does not end up holding
// the release.
// Before anything that includes the platform's header, which would take the older sockets.
#include <winsock2.h>

#include "online_first.h"
#include "run_log.h"
#include "run_support.h"
#include "wait.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

using namespace runsupport;

namespace {

const std::string K1D = TEST_KEY1_D, K1Q = TEST_KEY1_Q;
using Files = std::vector<std::pair<std::string, std::string>>;

std::string requests()
{
    return readFile(std::getenv("TIDEWELL_TEST_REQUEST_LOG"));
}

// Body bytes the server sent in its log `log` for paths ending with `name`.
unsigned long long sentFor(const std::string& log, const std::string& name)
{
    unsigned long long total = 0;
    const std::string tail = name + "\"}";
    for (std::size_t at = log.find("{\"sent\": "); at != std::string::npos; at = log.find("{\"sent\": ", at + 1)) {
        const std::size_t end = log.find('\n', at);
        const std::string line = log.substr(at, end - at);
        if (line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0)
            total += std::stoull(line.substr(9));
    }
    return total;
}

std::string noise(std::size_t size, unsigned seed)
{
    std::string s(size, '\0');
    for (auto& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}

// Publishes `files` signed, whole files only, and installs them into a new folder with
// `updater`; the seconds the run took.
double install(ServerTree& server, const Files& files, const char* updater, int runs = 1,
               const std::vector<std::string>& faults = {})
{
    AppFolder app("tidewell-bench", updater);
    writeFile(app / "Abacor.ini", "");
    const double start = libmaj::horlogemonotone();
    for (int r = 0; r < runs; ++r) {
        server.write("Maj/.httpsd.json", r < static_cast<int>(faults.size()) ? faults[r] : "{}");
        const UpdaterRun run = runUpdater(app);
        EXPECT_EQ(static_cast<bool>(run.box), r + 1 < runs) << (run.box ? run.box->text : "no box");
    }
    const double seconds = libmaj::horlogemonotone() - start;
    for (const auto& [f, content] : files)
        EXPECT_TRUE(readFile(app / f) == content) << f;
    return seconds;
}

}  // namespace

TEST(ResumeBench, BytesSentForAFileCutAtNinetyPercent)
{
    const Files files = {{"Big.bin", noise(testsupport::passerapide() ? 1 << 20 : 20 << 20, 5)}};
    const unsigned long long size = files[0].second.size(), cut = size / 10 * 9;
    ServerTree server("Abacor");
    const auto signer = testSigner(1, K1D, K1Q, 5, "2099-12-31");
    server.publish(files, "5", &signer);
    server.remove("Formes.ini");
    const std::string cutOnce = "{\"faults\": {\"Big.bin\": {\"cut_once\": " + std::to_string(cut);
    struct Way {
        const char* what;
        int runs;
        std::vector<std::string> faults;
    };
    for (const Way& w : {Way{"in the same run", 1, {cutOnce + "}}}"}},
                         Way{"across two runs (the link down after the cut)", 2,
                             {cutOnce + ", \"status_after_cut\": 503}}}", "{}"}}}) {
        const std::size_t before = requests().size();
        const double seconds = install(server, files, TIDEWELL_SIGNED_EXE, w.runs, w.faults);
        const unsigned long long sent = sentFor(requests().substr(before), "/Big.bin");
        std::printf("resume: a %llu-byte signed file cut at %llu bytes, %s: %llu bytes sent in all, the file plus "
                    "%llu (target: at most one read, 262144); starting over would send %llu; %.1f s\n",
                    size, cut, w.what, sent, sent - size, cut + size, seconds);
    }
}

TEST(ResumeBench, ADeadFirstAddress)
{
    const Files files = {{"A.dll", "a v2"}, {"B.dll", noise(300000, 7)}};
    ServerTree server("Abacor");
    const auto signer = testSigner(1, K1D, K1Q, 5, "2099-12-31");
    server.publish(files, "5", &signer);
    server.remove("Formes.ini");
    const double alone = install(server, files, TIDEWELL_SIGNED_EXE);
    const double refused = install(server, files, TIDEWELL_MIRRORS_EXE);
    if (testsupport::passerapide())
        return;   // a host that never answers costs the whole wait for a page
    // A host that takes the connection and never answers: the worst a dead address does.
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    const SOCKET silent = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(TIDEWELL_TEST_DEAD_PORT);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(listen(silent, 16), 0);
    const double unanswered = install(server, files, TIDEWELL_MIRRORS_EXE);
    closesocket(silent);
    WSACleanup();
    std::printf("mirrors: a run from one address %.1f s; with a first address that refuses connections %.1f s "
                "(+%.1f s); with one that never answers %.1f s (+%.1f s; target: within one wait for a page, %d s "
                "in this build)\n",
                alone, refused, refused - alone, unanswered, unanswered - alone, 2 * TIDEWELL_NETWORK_TIMEOUT);
}

// The log's lines of a 50-file run (start, release, a line a file, installed, restart),
// written as a run writes them, against the run itself.
TEST(ResumeBench, TheRunLogsCost)
{
    Files files;
    for (int i = 0, n = testsupport::passerapide() ? 5 : 50; i < n; ++i)
        files.emplace_back("F" + std::to_string(i) + ".dat", noise(1000, static_cast<unsigned>(i)));
    ServerTree server("Abacor");
    const auto signer = testSigner(1, K1D, K1Q, 5, "2099-12-31");
    server.publish(files, "5", &signer);
    server.remove("Formes.ini");
    const double run = install(server, files, TIDEWELL_SIGNED_EXE);
    TempFolder folder("tidewell-logbench");
    const auto lines = [&] {
        const double start = libmaj::horlogemonotone();
        for (int i = 0; i < 54; ++i)
            tidewell::consigne(folder.path(), {"file ", std::to_string(i), " F", std::to_string(i),
                                               ".dat: plain, 1000 bytes, 1000 received, 12 ms, from https://localhost/Abacor"});
        return libmaj::horlogemonotone() - start;
    };
    const double fresh = lines();
    std::string full;
    while (full.size() < 64 * 1024 - 200)
        full += "2026-01-01T00:00:00Z an earlier run's step\r\n";
    writeFile(folder / "Tidewell.log", full);
    const double rotating = lines();
    std::printf("run log: the 54 lines of a 50-file run in %.1f ms (%.1f ms with the log full, one rewrite); the run "
                "took %.1f s: %.2f %% of it\n",
                fresh * 1000, rotating * 1000, run, 100 * rotating / run);
}

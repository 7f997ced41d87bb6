// Whole signed runs of copies of a release the maker stages: a copy installs it, and takes
// the updater it offers, only within the share its own number falls in; outside, it ends as an
// up-to-date copy does. A share widened lets it in, a halt keeps everyone where they are, and
// an older, foreign or missing share seen after a newer one never lets it in.
#include "rollout.h"
#include "rollout_rules.h"
#include "run_support.h"

#include <gtest/gtest.h>

using namespace runsupport;
namespace fs = std::filesystem;

namespace {

const std::string K1D = TEST_KEY1_D, K1Q = TEST_KEY1_Q;
const std::vector<std::pair<std::string, std::string>> release = {{"A.dll", "A v5"}, {"B.dat", std::string(5000, 'b')}};

// A copy of today's signed updater with release 4 of Abacor and, when given, its drawn number.
struct Copy : AppFolder {
    Copy(const char* prefix, std::optional<std::uint32_t> number) : AppFolder(prefix, TIDEWELL_SIGNED_EXE)
    {
        writeFile(*this / "Abacor.ini", "");
        for (const auto& [name, content] : release)
            writeFile(*this / name, "old " + name);
        if (number)
            writeFile(*this / "Tiragemaj.ini", tidewell::ecrittirage({*number, 0, 0}));
    }
    std::string log() const { return readFile(*this / "Tidewell.log"); }
    bool installed() const
    {
        for (const auto& [name, content] : release)
            if (readFile(*this / name) != content)
                return false;
        return readFile(*this / "Etatmaj.ini") == "Edition=5\r\nCle=1\r\n";
    }
    // The record of the draw, as "number:release:sequence"; "none" without one.
    std::string draw() const
    {
        const auto t = tidewell::lecturetirage(readFile(*this / "Tiragemaj.ini"));
        return !exists(*this / "Tiragemaj.ini") ? "none"
               : t ? std::to_string(t->nombre) + ":" + std::to_string(t->edition) + ":" + std::to_string(t->sequence)
                   : "unreadable";
    }
    static bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
};

}  // namespace

TEST(Rollout, OnlyTheCopiesWithinTheSignedShareInstallAndNoServedShareWidensIt)
{
    ServerTree server("Abacor");
    auto signer = testSigner(1, K1D, K1Q, 5, utcDay(30));
    signer.part = 5000;
    // The release offers a newer updater: staging one is what the share is most for.
    ASSERT_EQ(server.publish(release, "5", &signer, TIDEWELL_NEXT_EXE), "");
    const std::string updater = readFile(TIDEWELL_SIGNED_EXE), next = readFile(TIDEWELL_NEXT_EXE);
    std::string saved[2];   // a share the maker has since replaced, as a mirror may still serve it
    const auto stage = [&](std::uint32_t part) {
        saved[0] = server.read(tidewell::nomdeploiement);
        saved[1] = server.read(tidewell::nomsignaturedeploiement);
        signer.part = part;
        const auto r = tidewell::publication::deploie(server.path(), signer);
        ASSERT_TRUE(r.erreurs.empty()) << r.erreurs.front();
    };
    const auto serve = [&](const std::string& share, const std::string& signature) {
        server.remove(tidewell::nomdeploiement);
        server.remove(tidewell::nomsignaturedeploiement);
        if (!share.empty())
            server.write(tidewell::nomdeploiement, share);
        if (!signature.empty())
            server.write(tidewell::nomsignaturedeploiement, signature);
    };
    Copy inside("tidewell-rollout-in", 4999), outside("tidewell-rollout-out", 5000), zero("tidewell-rollout-zero", 0),
        fresh("tidewell-rollout-fresh", std::nullopt), unstaged("tidewell-rollout-unstaged", std::nullopt),
        garbled("tidewell-rollout-garbled", std::nullopt);
    writeFile(garbled / "Tiragemaj.ini", "Tirage=12\r\n");
    // Each step: what the maker or a server does, the copy run, whether it then holds the
    // release, what its log says, and its record of the draw afterwards.
    const struct {
        const char* step;
        std::function<void()> before;
        Copy& copy;
        bool installed;
        std::string logged;
        std::string draw;
    } steps[] = {
        {"within half", [] {}, inside, true, "release 5 for this copy (share 50 %)", "4999:5:1"},
        {"beside it", [] {}, outside, false, "release 5 not yet for this copy (share 50 %)", "5000:5:1"},
        {"a record that cannot be read is never drawn over", [] {}, garbled, false,
         "release 5 not yet for this copy (share 50 %, and this copy has no number it can keep)", "unreadable"},
        {"the share widened to it", [&] { stage(5001); }, outside, true, "release 5 for this copy (share 50.01 %)",
         "5000:5:2"},
        {"halted: the first number is not let in", [&] { stage(0); }, zero, false,
         "release 5 not yet for this copy (share 0 %)", "0:5:3"},
        {"halted: a copy on the release stays on it", [] {}, inside, true,
         "release 5 not yet for this copy (share 0 %)", "4999:5:3"},
        {"yesterday's wider share served after the halt", [&] { serve(saved[0], saved[1]); }, zero, false,
         "release 5 not yet for this copy (share of sequence 2, older than sequence 3 of release 5)", "0:5:3"},
        {"a share changed by a server", [&] {
             std::string share = saved[0];
             share.replace(share.find("Part="), std::string::npos, "Part=100\r\n");
             serve(share, saved[1]);
         }, zero, false, "release 5 not yet for this copy (a share not signed for it)", "0:5:3"},
        {"... even to a copy that never drew", [] {}, fresh, false,
         "release 5 not yet for this copy (a share not signed for it)", "none"},
        {"another release's share", [&] {
             std::string share = saved[0];
             const auto at = share.find("Manifeste=") + 10;
             share.replace(at, 4, "0000");
             serve(share, tidewell::ecritsignature({1, signer.signe(share)}));
         }, zero, false, "release 5 not yet for this copy (a share not signed for it)", "0:5:3"},
        {"the share removed where it was seen", [&] { serve("", ""); }, zero, false,
         "release 5 not yet for this copy (no share served, where release 5 had one)", "0:5:3"},
        {"a server failing on the share, to a copy that never saw one", [&] {
             server.write(".httpsd.json", R"({"faults": {"Deploiement.ini": {"status": 503}}})");
         }, unstaged, false, "release 5 not yet for this copy (no share could be read)", "none"},
        {"no share to a copy that never saw one: as before", [&] { server.remove(".httpsd.json"); }, unstaged, true, "",
         "none"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        s.before();
        s.copy.forgetRestarts(0);
        DeleteFileA((s.copy / "Tidewell.log").c_str());
        const UpdaterRun run = runUpdater(s.copy);
        // Within the share or not, the run ends as an up-to-date one: no box, no error code.
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_FALSE(run.box);
        EXPECT_NE(s.copy.restarts(), "") << "the application is started again";
        EXPECT_EQ(s.copy.installed(), s.installed) << s.copy.log();
        if (!s.logged.empty())
            EXPECT_NE(s.copy.log().find(s.logged + "\r\n"), std::string::npos) << s.copy.log();
        else
            EXPECT_EQ(s.copy.log().find("for this copy"), std::string::npos) << s.copy.log();
        EXPECT_EQ(s.copy.draw(), s.draw);
        // The updater the release offers travels with it, never ahead of it.
        if (s.installed && s.copy.log().find("not yet") == std::string::npos) {
            for (int i = 0; i < 400 && readFile(s.copy / "Tidewell.exe") != next; ++i)
                Sleep(100);
            EXPECT_TRUE(readFile(s.copy / "Tidewell.exe") == next);
        } else if (!s.installed) {
            EXPECT_TRUE(readFile(s.copy / "Tidewell.exe") == updater);
            EXPECT_FALSE(Copy::exists(s.copy / "Tidewell.~neuf.exe"));
        }
    }
}

TEST(Rollout, ACopyDrawsItsNumberOnceFromThePlatformAndKeepsIt)
{
    ServerTree server("Abacor");
    auto signer = testSigner(1, K1D, K1Q, 5, utcDay(30));
    signer.part = 5000;
    ASSERT_EQ(server.publish(release, "5", &signer), "");
    Copy copy("tidewell-rollout-draw", std::nullopt);
    runUpdater(copy);
    const auto t = tidewell::lecturetirage(readFile(copy / "Tiragemaj.ini"));
    ASSERT_TRUE(t) << copy.log();
    EXPECT_LT(t->nombre, tidewell::partpleine);
    EXPECT_EQ(copy.installed(), t->nombre < 5000) << t->nombre << "\n" << copy.log();
    // The next run keeps the number it drew.
    const std::string drawn = readFile(copy / "Tiragemaj.ini");
    copy.forgetRestarts();
    runUpdater(copy);
    EXPECT_EQ(readFile(copy / "Tiragemaj.ini"), drawn);
}

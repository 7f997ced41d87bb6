// A download killed at any moment leaves the destination holding the whole old file or the
// whole new one and no partial download, and a later run completes the update. The one thing
// a kill can leave is a file under its temporary name: the whole new file, when it lands
// between the file's deletion mark being taken back and its rename, or an empty one, when it
// lands between the file's creation and its mark, before any byte of the body; the next
// download of that name removes it before anything else.
#include "online_first.h"
#include "testsupport.h"
#include "web_rules.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string probe()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of('\\') + 1) + "download_probe.exe";
}

// Starts the probe; kills it after `killAfterMs` unless it ends first. Returns its exit code,
// or -1 when it was killed; `inBody` says whether the kill came while the body was arriving.
int runProbe(const std::string& url, const std::string& dest, DWORD killAfterMs, bool* inBody = nullptr)
{
    PROCESS_INFORMATION pi = {};
    if (!testsupport::startProcess("\"" + probe() + "\" " + url + " \"" + dest + "\"", "", pi))
        return -2;
    int code = -1;
    if (WaitForSingleObject(pi.hProcess, killAfterMs) == WAIT_TIMEOUT) {
        if (inBody)
            *inBody = testsupport::exists(libmaj::nomtemporaire(dest));
        TerminateProcess(pi.hProcess, 77);
        WaitForSingleObject(pi.hProcess, INFINITE);
    } else {
        DWORD exit = 0;
        GetExitCodeProcess(pi.hProcess, &exit);
        code = static_cast<int>(exit);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

}  // namespace

TEST(DownloadCrash, KilledAtAnyMomentTheDestinationIsWholeOldOrWholeNew)
{
    testsupport::TempFolder folder("libmaj-crash");
    const std::string dest = folder / "Prog.exe";
    const std::string oldContent = "ancienne version\r\n" + std::string(50000, 'a');
    const std::string newContent = testsupport::generated(3000000);
    const std::string url = std::string(std::getenv("TIDEWELL_TEST_SERVER")) + "/maj/slow.bin";
    testsupport::writeFile(dest, oldContent);

    // A first run left alone says how long the whole download takes on this machine (the
    // i686 build may run emulated); the kills then spread over that time and a little past it.
    const ULONGLONG start = GetTickCount64();
    ASSERT_EQ(runProbe(url, dest, 60000), 1);
    const DWORD whole = static_cast<DWORD>(GetTickCount64() - start);
    ASSERT_EQ(testsupport::readFile(dest), newContent);
    testsupport::writeFile(dest, oldContent);

    int sawNew = 0, inBodies = 0, waiting = 0;
    const std::string temporary = libmaj::nomtemporaire(dest);
    // On a busy machine a later download may take longer than the first: the kills then go on
    // past it until one finds the file replaced.
    for (DWORD k = 1; k <= 15 || (sawNew == 0 && k <= 60); ++k) {
        const DWORD at = whole * k / 13;
        bool inBody = false;
        runProbe(url, dest, at, &inBody);
        inBodies += inBody;
        const std::string now = testsupport::readFile(dest);
        EXPECT_TRUE(now == oldContent || now == newContent) << "killed after " << at << " ms: " << now.size() << " bytes";
        // A partial download goes with the process that was receiving it.
        if (testsupport::exists(temporary)) {
            ++waiting;
            const std::string left = testsupport::readFile(temporary);
            EXPECT_TRUE((left == newContent && now == oldContent) || left.empty())
                << "killed after " << at << " ms: a partial download was left, " << left.size() << " bytes";
        }
        if (now == newContent) {
            ++sawNew;
            testsupport::writeFile(dest, oldContent);   // start again from the old version
        }
    }
    // A run left alone completes the update and tidies what the killed ones left, even a
    // read-only leftover.
    testsupport::writeFile(temporary, "left by a run killed before its rename");
    SetFileAttributesA(temporary.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(runProbe(url, dest, 30000), 1);
    EXPECT_EQ(testsupport::readFile(dest), newContent);
    EXPECT_FALSE(testsupport::exists(folder / "Prog.sav"));
    EXPECT_FALSE(testsupport::exists(libmaj::nomtemporaire(dest)));
    // Some runs were killed mid-body and some had finished: both outcomes were exercised.
    EXPECT_GT(sawNew, 0);
    EXPECT_GT(inBodies, 0);
    std::printf("runs killed inside the body: %d; runs that had replaced the file before being killed: %d; runs "
                "killed with a file waiting under its temporary name (removed by the next run): %d\n",
                inBodies, sawNew, waiting);
}

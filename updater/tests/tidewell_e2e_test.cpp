// The real Tidewell.exe, started as a user would start it.
#include "testsupport.h"
#include "uihelper.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string builtProgram()
{
    return TIDEWELL_EXE;
}

struct Process {
    PROCESS_INFORMATION pi = {};
    bool started = false;

    Process(const std::string& exe, const std::string& arguments, const std::string& folder)
    {
        started = testsupport::startProcess("\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments), folder, pi);
    }
    ~Process()
    {
        if (!started)
            return;
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(pi.hProcess, 99);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    bool ended(DWORD ms) const { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
};

}  // namespace

TEST(Tidewell, WithoutAnApplicationToUpdateShowsOnlyTheNotFoundMessage)
{
    testsupport::TempFolder folder("tidewell-empty");
    const std::string exe = folder / "Tidewell.exe";
    ASSERT_TRUE(CopyFileA(builtProgram().c_str(), exe.c_str(), FALSE)) << builtProgram();
    Process run(exe, "", folder.path());
    ASSERT_TRUE(run.started);

    auto box = uihelper::waitForMessageBox(run.pi.dwProcessId, 20000);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->title, "T\xE9l\xE9" "chargement");
    EXPECT_EQ(box->text, "Information : \r\n" + std::string(45, '_') + "\r\n\r\n"
                             "Application \xE0 mettre \xE0 jour Introuvable ... ");
    EXPECT_STREQ(uihelper::iconName(box->icon), "information");
    EXPECT_EQ(box->buttons, (std::vector<int>{IDOK}));
    EXPECT_EQ(uihelper::messageBoxesOf(run.pi.dwProcessId).size(), 1u);

    // The window was made and prepared, but is never shown.
    HWND window = testsupport::findWindowOf(run.pi.dwProcessId, "TidewellMain");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));

    ASSERT_TRUE(uihelper::pressButton(box->window, IDOK));
    EXPECT_TRUE(run.ended(10000));
    EXPECT_FALSE(testsupport::exists(folder / "Listfich.ini"));
}

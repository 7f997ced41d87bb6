// The UI helper reads and presses the real message boxes of another process.
#include "uihelper.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

std::string besideThisProgram(const char* name)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of('\\') + 1) + name;
}

// A process that shows one message box and exits with the id of the button pressed.
class Probe {
public:
    Probe(UINT style, const std::string& title, const std::string& text)
    {
        std::string cmd = "\"" + besideThisProgram("msgbox_probe.exe") + "\" "
                          + std::to_string(style) + " " + hex(title) + " " + hex(text);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        started_ = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &si, &pi_);
    }
    ~Probe()
    {
        if (!started_)
            return;
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(pi_.hProcess, 254);
        CloseHandle(pi_.hThread);
        CloseHandle(pi_.hProcess);
    }
    bool started() const { return started_; }
    DWORD pid() const { return pi_.dwProcessId; }
    DWORD exitCode(DWORD timeoutMs)
    {
        DWORD code = 253;
        if (WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }

private:
    bool started_ = false;
    PROCESS_INFORMATION pi_ = {};
};

}  // namespace

TEST(UiHelper, ReadsTitleTextIconAndButtonsExactly)
{
    // "Téléchargement" and an accented sentence in code page 1252, over several lines.
    const std::string title = "T\xE9l\xE9" "chargement";
    const std::string text = "Information : \r\n" + std::string(45, '_') + "\r\n\r\n"
                             "Application \xE0 mettre \xE0 jour Introuvable ... ";
    Probe probe(MB_OK | MB_ICONINFORMATION, title, text);
    ASSERT_TRUE(probe.started());
    auto box = uihelper::waitForMessageBox(probe.pid(), 20000);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->title, title);
    EXPECT_EQ(box->text, text);
    EXPECT_STREQ(uihelper::iconName(box->icon), "information");
    EXPECT_EQ(box->buttons, (std::vector<int>{IDOK}));
    EXPECT_FALSE(uihelper::pressButton(box->window, IDCANCEL));
    ASSERT_TRUE(uihelper::pressButton(box->window, IDOK));
    EXPECT_EQ(probe.exitCode(10000), static_cast<DWORD>(IDOK));
}

TEST(UiHelper, TellsOkCancelFromOkAndPressesCancel)
{
    Probe probe(MB_OKCANCEL | MB_ICONINFORMATION, "Connexion Internet", "question");
    ASSERT_TRUE(probe.started());
    auto box = uihelper::waitForMessageBox(probe.pid(), 20000);
    ASSERT_TRUE(box);
    EXPECT_STREQ(uihelper::iconName(box->icon), "information");
    EXPECT_EQ(box->buttons, (std::vector<int>{IDOK, IDCANCEL}));
    ASSERT_TRUE(uihelper::pressButton(box->window, IDCANCEL));
    EXPECT_EQ(probe.exitCode(10000), static_cast<DWORD>(IDCANCEL));
}

TEST(UiHelper, TellsTheStopIconFromTheInformationIcon)
{
    Probe probe(MB_OK | MB_ICONSTOP, "Erreurs", "Erreur");
    ASSERT_TRUE(probe.started());
    auto box = uihelper::waitForMessageBox(probe.pid(), 20000);
    ASSERT_TRUE(box);
    EXPECT_STREQ(uihelper::iconName(box->icon), "stop");
    ASSERT_TRUE(uihelper::pressButton(box->window, IDOK));
    EXPECT_EQ(probe.exitCode(10000), static_cast<DWORD>(IDOK));
}

TEST(UiHelper, SeesNoBoxWhereThereIsNone)
{
    EXPECT_FALSE(uihelper::waitForMessageBox(GetCurrentProcessId(), 300));
}

// The routines on a machine that the platform reports as unconnected. These tests run in a
// network namespace with loopback only (the launcher's WINE_RUN_OFFLINE).
#include "internet.h"
#include "run_state.h"
#include "testsupport.h"
#include "uihelper.h"
#include "web_rules.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

using namespace libmaj;

namespace {

std::string server()
{
    const char* v = std::getenv("TIDEWELL_TEST_SERVER");
    return v ? v : "";
}

}  // namespace

TEST(Offline, ThePlatformReportsNoConnection)
{
    DWORD flags = 0;
    ASSERT_FALSE(InternetGetConnectedState(&flags, 0)) << "this test must run without a network";
}

TEST(Offline, ADownloadTouchesNothingAfterThreeTests)
{
    testsupport::TempFolder folder("libmaj-offline");
    const std::string dest = folder / "Prog.exe";
    testsupport::writeFile(dest, "ancienne version");
    SetFileAttributesA(dest.c_str(), FILE_ATTRIBUTE_READONLY);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(telechargefichier(server() + "/maj/new.bin", dest), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(1000));   // three tests, half a second apart
    EXPECT_LT(took, std::chrono::milliseconds(4000));
    EXPECT_EQ(testsupport::readFile(dest), "ancienne version");
    EXPECT_EQ(GetFileAttributesA(dest.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(testsupport::exists(folder / "Prog.sav"));
    EXPECT_FALSE(testsupport::exists(nomtemporaire(dest)));

    const std::string absent = folder / "Nouveau.dll";
    EXPECT_EQ(telechargefichier(server() + "/maj/new.bin", absent), 0);
    EXPECT_FALSE(testsupport::exists(absent));
}

TEST(Offline, APageFetchReportsNoInternetSilently)
{
    std::string page = "ancienne";
    EXPECT_EQ(lecturepage("T", 0, server() + "/pages/long.txt", "Corvane", page), 0);
    EXPECT_EQ(page, "");
}

TEST(Offline, WithMessagesTheUserDecides)
{
    etat().langue = 1;
    std::string page;
    std::int16_t status = -1;
    const auto cancelled = uihelper::answering({IDCANCEL}, [&] {
        status = lecturepage("T", 1, server() + "/pages/long.txt", "Corvane", page);
    });
    ASSERT_EQ(cancelled.size(), 1u) << "no box within 15 s; the fetch gave " << status;
    EXPECT_EQ(cancelled[0].title, "Connexion Internet");
    EXPECT_EQ(cancelled[0].buttons, (std::vector<int>{IDOK, IDCANCEL}));
    EXPECT_STREQ(uihelper::iconName(cancelled[0].icon), "information");
    EXPECT_EQ(status, 0);

    // OK goes on without a connection: the fetch is tried, and nothing answers here.
    const auto accepted = uihelper::answering({IDOK, IDOK}, [&] {
        status = lecturepage("T", 1, server() + "/pages/long.txt", "Corvane", page);
    });
    ASSERT_EQ(accepted.size(), 2u);
    EXPECT_EQ(accepted[0].title, "Connexion Internet");
    EXPECT_EQ(accepted[1].title, "T");
    EXPECT_EQ(accepted[1].text, "Impossible d'acc\xE9" "der \xE0 la Page Internet sur \r\nle site [Corvane]. ");
    EXPECT_EQ(status, 2);
}

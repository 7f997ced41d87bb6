// The run log's text: one line a step, bounded, and codes in words.
#include "run_log_text.h"

#include <gtest/gtest.h>

using namespace tidewell;

TEST(RunLog, OneLineAStepAndTheNewerHalfKeptWhenFull)
{
    EXPECT_EQ(lignejournal("2026-12-10T00:00:00Z", "refused: F3\r\nmore"), "2026-12-10T00:00:00Z refused: F3  more\r\n");
    EXPECT_EQ(journalavec("a\r\n", "b\r\n", 6), "a\r\nb\r\n");
    std::string plein;
    for (int i = 0; i < 100; ++i)
        plein += "line " + std::to_string(i) + "\r\n";
    const std::string apres = journalavec(plein, "last\r\n", plein.size());
    EXPECT_LE(apres.size(), plein.size());
    EXPECT_GE(apres.size(), plein.size() / 2 - 12);
    EXPECT_EQ(apres.rfind("line ", 0), 0u) << "it starts at a line's start";
    EXPECT_EQ(apres.substr(apres.size() - 6), "last\r\n");
    EXPECT_NE(apres.find("line 99\r\n"), std::string::npos);
    EXPECT_EQ(apres.find("line 1\r\n"), std::string::npos);
    // A log with no line end in its newer half (not one this updater wrote) goes whole.
    EXPECT_EQ(journalavec(std::string(100, 'x'), "last\r\n", 100), "last\r\n");
}

TEST(RunLog, EveryCodeSaysWhatItMeans)
{
    for (const char* code : {"S1", "S10", "M7", "P1", "P3", "F12", "I0", "I3", "R0", "R2"})
        EXPECT_NE(sensducode(code), "unknown") << code;
    EXPECT_NE(sensducode("S10"), sensducode("S1"));
    EXPECT_NE(sensducode("I0"), sensducode("I3"));
    EXPECT_EQ(sensducode("Z9"), "unknown");
}

// What a copy decides from the share a release is served with, and the record of its draw.
#include "rollout_rules.h"

#include <gtest/gtest.h>

using namespace tidewell;

TEST(RolloutDraw, TheRecordRoundTripsAndAnythingElseIsNoRecord)
{
    const Tirage t{9999, 999999999, 999999999};
    const auto lu = lecturetirage(ecrittirage(t));
    ASSERT_TRUE(lu);
    EXPECT_EQ(lu->nombre, 9999u);
    EXPECT_EQ(lu->edition, t.edition);
    EXPECT_EQ(lu->sequence, t.sequence);
    EXPECT_EQ(ecrittirage({42, 12, 3}), "Tirage=42\r\nEdition=12\r\nSequence=3\r\n");
    for (const char* bad : {"", "Tirage=10000\r\nEdition=1\r\nSequence=1\r\n", "Tirage=042\r\nEdition=1\r\nSequence=1\r\n",
                            "Tirage=42\r\nEdition=1000000000\r\nSequence=1\r\n",
                            "Tirage=42\r\nEdition=1\r\nSequence=1000000000\r\n", "Tirage=42\r\nEdition=1\r\n",
                            "Edition=1\r\nTirage=42\r\nSequence=1\r\n", "Tirage=42\nEdition=1\nSequence=1\n",
                            "Tirage=-1\r\nEdition=1\r\nSequence=1\r\n", "Tirage=42\r\nEdition=1\r\nSequence=1\r\nX\r\n"})
        EXPECT_FALSE(lecturetirage(bad)) << bad;
}

TEST(RolloutDraw, ACopyInstallsWithinItsShareAndNeverOnAnOlderMissingOrForeignOne)
{
    const auto part = [](std::uint64_t sequence, std::uint32_t p) {
        return Servi{true, false, Deploiement{std::string(64, 'e'), 1, sequence, p}};
    };
    const Servi rien{false, true, std::nullopt}, etranger{true, false, std::nullopt}, illisible{};
    const std::optional<Tirage> aucun;
    // Release 12 is served each time. The record before, what was served, then whether the
    // copy installs, the words of the log, and the record after (unchanged unless kept).
    const struct {
        const char* cas;
        std::optional<Tirage> avant;
        Servi servi;
        bool installe;
        const char* raison;
        std::optional<Tirage> apres;
    } cas[] = {
        {"no share anywhere: as before", aucun, rien, true, "", aucun},
        {"a copy within half", Tirage{4999, 0, 0}, part(1, 5000), true, "share 50 %", Tirage{4999, 12, 1}},
        {"a copy beside it", Tirage{5000, 0, 0}, part(1, 5000), false, "share 50 %", Tirage{5000, 12, 1}},
        {"widened to it", Tirage{5000, 12, 1}, part(2, 5001), true, "share 50.01 %", Tirage{5000, 12, 2}},
        {"the same word again", Tirage{5000, 12, 2}, part(2, 5001), true, "share 50.01 %", Tirage{5000, 12, 2}},
        {"halted", Tirage{0, 12, 2}, part(3, 0), false, "share 0 %", Tirage{0, 12, 3}},
        {"the smallest share lets in the number 0 alone", Tirage{0, 0, 0}, part(1, 1), true, "share 0.01 %",
         Tirage{0, 12, 1}},
        {"... and not the number 1", Tirage{1, 0, 0}, part(1, 1), false, "share 0.01 %", Tirage{1, 12, 1}},
        {"all but the last number", Tirage{9999, 0, 0}, part(1, 9999), false, "share 99.99 %", Tirage{9999, 12, 1}},
        {"every number", Tirage{9999, 0, 0}, part(1, 10000), true, "share 100 %", Tirage{9999, 12, 1}},
        {"yesterday's wider share after today's halt", Tirage{0, 12, 3}, part(2, 10000), false,
         "share of sequence 2, older than sequence 3 of release 12", Tirage{0, 12, 3}},
        {"a share of this release after a later one's", Tirage{0, 13, 1}, part(9, 10000), false,
         "share of sequence 9, older than sequence 1 of release 13", Tirage{0, 13, 1}},
        {"a new release starts its sequence again", Tirage{0, 11, 9}, part(1, 10), true, "share 0.1 %",
         Tirage{0, 12, 1}},
        {"no share where this release had one", Tirage{0, 12, 1}, rien, false,
         "no share served, where release 12 had one", Tirage{0, 12, 1}},
        {"... or a later one", Tirage{0, 13, 1}, rien, false, "no share served, where release 13 had one", Tirage{0, 13, 1}},
        {"no share for a release after the last staged one: all of them", Tirage{0, 11, 1}, rien, true, "",
         Tirage{0, 11, 1}},
        {"unsigned, another release's, or malformed", Tirage{0, 0, 0}, etranger, false, "a share not signed for it",
         Tirage{0, 0, 0}},
        {"... even with no record", aucun, etranger, false, "a share not signed for it", aucun},
        {"no number could be drawn or read: not within a share", aucun, part(1, 9999), false,
         "share 99.99 %, and this copy has no number it can keep", aucun},
        {"... but within all of them", aucun, part(1, 10000), true, "share 100 %, and this copy has no number it can keep",
         aucun},
        {"a share that could not be read (no answer, a 5xx, a body cut short)", Tirage{0, 0, 0}, illisible, false,
         "no share could be read", Tirage{0, 0, 0}},
        {"... even by a copy that never saw one", aucun, illisible, false, "no share could be read", aucun},
    };
    for (const auto& c : cas) {
        std::optional<Tirage> t = c.avant;
        const Jugement j = jugedeploiement(12, c.servi, t);
        EXPECT_EQ(j.installe, c.installe) << c.cas;
        EXPECT_EQ(j.raison, c.raison) << c.cas;
        ASSERT_EQ(t.has_value(), c.apres.has_value()) << c.cas;
        if (t) {
            EXPECT_EQ(ecrittirage(*t), ecrittirage(*c.apres)) << c.cas;
            EXPECT_EQ(j.noter, ecrittirage(*t) != ecrittirage(*c.avant)) << c.cas;
        }
    }
}

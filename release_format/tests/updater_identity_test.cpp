// A candidate updater's identity: its text written as read and refused on every liberty, and
// read out of PE images built here: whole, of another kind, or broken as a truncated or
// hostile file is.
#include "pe_image.h"
#include "updater_identity.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace tidewell;
using namespace peimage;

namespace {

const std::string K1(128, 'a'), K2(128, '7');
const std::string texte = ecritidentite({3, {{1, K1}, {2, K2}}});

const Noeud identite{0, nomidentite, {{0x409, "", {}, texte}}};

}  // namespace

TEST(UpdaterIdentity, ReadsBackWhatItWrites)
{
    EXPECT_EQ(texte, "Identite=1\r\nRevision=3\r\nCle=1;" + K1 + "\r\nCle=2;" + K2 + "\r\n");
    const auto i = lectureidentite(texte);
    ASSERT_TRUE(i);
    EXPECT_EQ(i->revision, 3u);
    EXPECT_EQ(i->cles, (std::vector<CleIdentite>{{1, K1}, {2, K2}}));
    EXPECT_TRUE(lectureidentite("Identite=1\r\nRevision=999999999\r\nCle=9999;" + K1 + "\r\n"));
}

TEST(UpdaterIdentity, RefusesEveryOtherText)
{
    const std::string debut = "Identite=1\r\nRevision=3\r\n", cle = "Cle=1;" + K1 + "\r\n";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"nothing", ""},
        {"lines ended by LF", "Identite=1\nRevision=3\nCle=1;" + K1 + "\n"},
        {"a format to come", "Identite=2\r\nRevision=3\r\n" + cle},
        {"no revision", "Identite=1\r\n" + cle},
        {"an unknown line", debut + cle + "Nom=Tidewell\r\n"},
        {"revision 0", "Identite=1\r\nRevision=0\r\n" + cle},
        {"a revision above the highest", "Identite=1\r\nRevision=1000000000\r\n" + cle},
        {"a leading zero", "Identite=1\r\nRevision=03\r\n" + cle},
        {"no key", debut},
        {"key 0", debut + "Cle=0;" + K1 + "\r\n"},
        {"a key id above the highest", debut + "Cle=10000;" + K1 + "\r\n"},
        {"a key given twice", debut + cle + cle},
        {"keys out of order", debut + "Cle=2;" + K2 + "\r\n" + cle},
        {"a short key", debut + "Cle=1;" + K1.substr(1) + "\r\n"},
        {"a key in capitals", debut + "Cle=1;" + std::string(128, 'A') + "\r\n"},
        {"a key without its id", debut + "Cle=" + K1 + "\r\n"},
    };
    for (const auto& [what, t] : cases)
        EXPECT_FALSE(lectureidentite(t)) << what;
}

TEST(UpdaterIdentity, ReadsAGuiProgramAndItsIdentity)
{
    for (std::uint16_t machine : {machinei386, machineamd64}) {
        const auto p = lectureprogramme(image(machine, rcdata({identite})));
        ASSERT_TRUE(p) << machine;
        EXPECT_EQ(p->machine, machine);
        EXPECT_TRUE(p->fenetre && p->executable);
        EXPECT_EQ(p->identite, texte);
    }
}

TEST(UpdaterIdentity, TellsOtherProgramsApart)
{
    const auto console = lectureprogramme(image(machinei386, rcdata({identite}), 3));
    ASSERT_TRUE(console);
    EXPECT_FALSE(console->fenetre);
    const auto dll = lectureprogramme(image(machineamd64, rcdata({identite}), 2, 0x2102));
    ASSERT_TRUE(dll);
    EXPECT_FALSE(dll->executable);
    Noeud numerique = identite, deuxlangues = identite, autre = identite;
    numerique.nom.clear();
    numerique.id = 1;
    autre.nom += "S";
    deuxlangues.enfants.push_back({0x40c, "", {}, texte});
    const std::vector<std::pair<const char*, std::vector<Noeud>>> cases = {
        {"no resource", {}},
        {"a numeric id", rcdata({numerique})},
        {"a longer name", rcdata({autre})},
        {"two languages", rcdata({deuxlangues})},
        {"two entries", rcdata({identite, identite})},
        {"another type", {{11, "", {identite}}}},
    };
    for (const auto& [what, ressources] : cases) {
        const auto p = lectureprogramme(image(machinei386, ressources));
        ASSERT_TRUE(p) << what;
        EXPECT_FALSE(p->identite) << what;
    }
}

TEST(UpdaterIdentity, NeverReadsOutsideABrokenImage)
{
    const std::string bon = image(machinei386, {{10, "", {identite}}});
    const std::size_t entree = bon.find("Identite=1") - 16, section = 0x98 + 224;
    auto change = [&](std::size_t p, std::uint64_t v, std::size_t n = 4) {
        std::string s = bon;
        pose(s, p, v, n);
        return s;
    };
    // 40 RCDATA entries sharing the name table of another type, of 40 entries.
    std::vector<Noeud> partage(40, {10, "", {{1, "", {{0x409, "", {}, "x"}}}}});
    partage.push_back({11, "", std::vector<Noeud>(40, partage[0].enfants[0])});
    std::string boucles = image(machinei386, partage);
    for (std::size_t i = 0; i < 40; ++i)
        boucles.replace(0x200 + 20 + 8 * i, 4, boucles, 0x200 + 20 + 8 * 40, 4);
    const std::vector<std::tuple<const char*, std::string, bool>> cases = {
        {"the whole image", bon, true},
        {"cut in the MZ header", bon.substr(0, 0x3e), false},
        {"cut in the PE header", bon.substr(0, 0x90), false},
        {"cut in the optional header", bon.substr(0, 0x100), false},
        {"cut in the section table", bon.substr(0, section + 30), false},
        {"cut in the section", bon.substr(0, 0x210), false},
        {"cut by one byte", bon.substr(0, bon.size() - 1), false},
        {"e_lfanew past the end", change(0x3c, 0xfffffff0), false},
        {"AMD64 with a 32-bit header", change(0x84, machineamd64, 2), false},
        {"too few data directories", change(0x98 + 92, 2), false},
        {"the section past the end", change(section + 20, 0x200000), false},
        {"a directory past the section", change(0x98 + 96 + 20, 0x10000), false},
        {"data outside every section", change(entree, 0x9000), false},
        {"data past the end", change(entree + 4, 0x10000), false},
        {"a type looping to the root", change(0x200 + 20, 0x80000000), true},
        {"a name looping to the root", change(0x200 + 44, 0x80000000), false},
        {"data where a table is due", change(0x200 + 44, entree - 24 - 0x200), false},
        {"a table where data is due", change(entree - 4, 0x80000000 | (entree - 0x200)), false},
        {"more entries than the directory holds", change(0x200 + 14, 0xffff, 2), false},
        {"tables shared beyond the directory's size", boucles, false},
    };
    for (const auto& [what, octets, lisible] : cases) {
        const auto p = lectureprogramme(octets);
        EXPECT_EQ(p.has_value(), lisible) << what;
        EXPECT_EQ(p && p->identite, what == std::get<0>(cases[0])) << what;
    }
}

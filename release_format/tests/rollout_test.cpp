// The maker's share of a release: the percentages written as read, the edges of who is in,
// and the file refused whole on every liberty.
#include "example_release.h"
#include "rollout.h"

#include <gtest/gtest.h>

using namespace tidewell;

namespace {

const std::string M(64, 'e');

std::string texte(const std::string& sequence, const std::string& part, const std::string& manifeste = M,
                  const std::string& cle = "1")
{
    return "Deploiement=1\r\nManifeste=" + manifeste + "\r\nCle=" + cle + "\r\nSequence=" + sequence + "\r\nPart=" + part
           + "\r\n";
}

}  // namespace

TEST(Rollout, SharesAreHundredthsOfAPercentAndTheEdgesLetInWhoTheySay)
{
    // Text, hundredths (or -1: refused), the text it is written back as.
    const struct {
        const char* lu;
        long part;
        const char* ecrit;
    } cas[] = {{"0", 0, "0"},          {"0.01", 1, "0.01"},   {"0.1", 10, "0.1"},     {"0.10", 10, "0.1"},
               {"12.5", 1250, "12.5"}, {"50", 5000, "50"},    {"050", 5000, "50"},    {"99.99", 9999, "99.99"},
               {"100", 10000, "100"},  {"100.00", 10000, "100"}, {"100.01", -1, ""},  {"101", -1, ""},
               {"1000", -1, ""},       {"", -1, ""},          {".5", -1, ""},         {"5.", -1, ""},
               {"1.234", -1, ""},      {"-1", -1, ""},        {"+1", -1, ""},         {"1e2", -1, ""},
               {" 5", -1, ""},         {"5 ", -1, ""},        {"5%", -1, ""},         {"1,5", -1, ""},
               {"1.2.3", -1, ""}};
    for (const auto& c : cas) {
        const auto part = lecturepart(c.lu);
        EXPECT_EQ(part ? static_cast<long>(*part) : -1, c.part) << '"' << c.lu << '"';
        if (part) {
            EXPECT_EQ(textepart(*part), c.ecrit) << c.lu;
        }
    }
    // Of the 10000 numbers a copy may draw, a share lets in exactly its count: none at 0, the
    // number 0 alone at 0.01 %, all but the last at 99.99 %, every one at 100 %.
    for (const std::uint32_t part : {0u, 1u, 5000u, 9999u, 10000u}) {
        std::uint32_t dedans = 0;
        for (std::uint32_t tirage = 0; tirage < partpleine; ++tirage)
            dedans += danslapart(tirage, part);
        EXPECT_EQ(dedans, part);
    }
    EXPECT_TRUE(danslapart(0, 1));
    EXPECT_FALSE(danslapart(1, 1));
    EXPECT_TRUE(danslapart(9998, 9999));
    EXPECT_FALSE(danslapart(9999, 9999));
    EXPECT_TRUE(danslapart(9999, partpleine));
}

TEST(Rollout, TheFileIsReadBackAsWrittenForItsManifestAloneAndRefusedWholeOtherwise)
{
    const Manifeste m = exemples::manifeste();
    const Deploiement d{M, 1, 3, 1250};
    const std::string t = ecritdeploiement(d);
    EXPECT_EQ(t, texte("3", "12.5"));
    const auto lu = lecturedeploiement(t, m, M);
    ASSERT_TRUE(lu);
    EXPECT_EQ(lu->sequence, 3u);
    EXPECT_EQ(lu->part, 1250u);
    EXPECT_EQ(lu->manifeste, M);
    EXPECT_EQ(lu->cle, 1);
    EXPECT_TRUE(lecturedeploiement(texte("999999999", "0"), m, M));
    const std::string refuses[] = {
        texte("3", "12.5", std::string(64, 'f')),   // another release's manifest
        texte("3", "12.5", M, "2"),                  // another key than the manifest's
        texte("0", "50"),                            // no sequence below 1
        texte("1000000000", "50"),                   // above the highest
        texte("03", "50"),                           // a number written two ways
        texte("3", "12.50"),                         // a share written two ways
        texte("3", "100.01"),
        texte("3", ""),
        "Deploiement=2\r\nManifeste=" + M + "\r\nCle=1\r\nSequence=3\r\nPart=50\r\n",
        texte("3", "50") + "Part=100\r\n",           // a line more: the last would not be the one read
        "Manifeste=" + M + "\r\nDeploiement=1\r\nCle=1\r\nSequence=3\r\nPart=50\r\n",
        "Deploiement=1\nManifeste=" + M + "\nCle=1\nSequence=3\nPart=50\n",
        texte("3", "50").substr(0, texte("3", "50").size() - 2),
    };
    for (const std::string& r : refuses)
        EXPECT_FALSE(lecturedeploiement(r, m, M)) << r;
}

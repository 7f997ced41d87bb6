// The file routines on real files, and the boxes they show through the real MessageBoxA.
#include "errors.h"
#include "file_handles.h"
#include "files.h"
#include "messages.h"
#include "pointer.h"
#include "run_state.h"
#include "testsupport.h"
#include "uihelper.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

using namespace libmaj;
using testsupport::TempFolder;

namespace {

DWORD attributes(const std::string& path)
{
    return GetFileAttributesA(path.c_str());
}

// The marks the routines set or clear. Wine reports the archive bit on every regular file, so
// a file set to normal reads back as archive there; the exact table is tested natively.
constexpr DWORD marks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

DWORD marksOf(const std::string& path)
{
    return attributes(path) & marks;
}

std::string made(const TempFolder& folder, const std::string& name, const std::string& content,
                 DWORD attrs = FILE_ATTRIBUTE_ARCHIVE)
{
    const std::string path = folder / name;
    testsupport::writeFile(path, content);
    SetFileAttributesA(path.c_str(), attrs);
    return path;
}

// What the one box a routine shows displayed, once answered with `button`; none if no box
// came within `waitMs`.
template <class Routine>
std::optional<uihelper::MessageBoxView> answering(int button, Routine routine, DWORD waitMs = 15000)
{
    const auto seen = uihelper::answering({button}, routine, waitMs);
    if (seen.empty())
        return std::nullopt;
    return seen.front();
}

class Files : public ::testing::Test {
protected:
    TempFolder folder{"libmaj-files"};
    void SetUp() override
    {
        etat().langue = 1;
        etat().sautligne = "\r\n";
    }
};

}  // namespace

TEST_F(Files, TestfichierTrimsTheCallersPathAndFindsTheFile)
{
    made(folder, "a.txt", "a");
    std::string path = "  " + (folder / "a.txt") + "   ";
    EXPECT_EQ(testfichier(path, 0), 1);
    EXPECT_EQ(path, folder / "a.txt");
    std::string missing = folder / "none.txt";
    EXPECT_EQ(testfichier(missing, 0), 0);
    std::string empty = "   ";
    EXPECT_EQ(testfichier(empty, 0), 0);
    EXPECT_EQ(empty, "");
}

TEST_F(Files, TestfichierNeverCountsAFolder)
{
    std::string sub = folder / "sub";
    CreateDirectoryA(sub.c_str(), nullptr);
    EXPECT_EQ(testfichier(sub, 0), 0);
}

TEST_F(Files, TestfichierClearsReadOnlyAndHiddenButKeepsArchive)
{
    const std::string plain = made(folder, "ro-hidden.txt", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_EQ(marksOf(plain), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    std::string p = plain;
    EXPECT_EQ(testfichier(p, 0), 1);
    EXPECT_EQ(marksOf(plain), 0u);

    const std::string archived = made(folder, "archive-hidden.txt", "x", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
    p = archived;
    EXPECT_EQ(testfichier(p, 0), 1);
    EXPECT_EQ(attributes(archived), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(Files, TestfichierFindsSystemFilesThroughTheScriptingObject)
{
    const std::string system = made(folder, "sys.dat", "x", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(attributes(system) & FILE_ATTRIBUTE_SYSTEM);
    std::string p = system;
    EXPECT_EQ(testfichier(p, 0), 1);
    // System with hidden is not among the combinations that are changed.
    EXPECT_EQ(marksOf(system), static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
}

TEST_F(Files, TestfichierMatchesWildcards)
{
    made(folder, "Prog.exe", "x");
    std::string pattern = folder / "Pro*.exe";
    EXPECT_EQ(testfichier(pattern, 0), 1);
    std::string other = folder / "*.dll";
    EXPECT_EQ(testfichier(other, 0), 0);
}

TEST_F(Files, TestfichierShowsTheNotFoundMessageOnlyWhenAsked)
{
    std::string missing = folder / "x.txt";
    etat().langue = 2;
    const auto box = answering(IDOK, [&] { EXPECT_EQ(testfichier(missing, 1), 0); });
    ASSERT_TRUE(box);
    EXPECT_EQ(box->title, "File Test");
    EXPECT_EQ(box->text, "Information : \r\n" + std::string(60, '_') + "\r\n\r\n" + missing
                             + "\r\n\r\nFile not found. ");
    EXPECT_STREQ(uihelper::iconName(box->icon), "information");
    EXPECT_EQ(box->buttons, (std::vector<int>{IDOK}));
    EXPECT_FALSE(answering(IDOK, [&] { testfichier(missing, 0); }, 1500));

    // A path the platform cannot even search: its error first, then not found.
    std::string invalid = folder / std::string(300, 'x');
    const auto boxes = uihelper::answering({IDOK, IDOK}, [&] { EXPECT_EQ(testfichier(invalid, 1), 0); });
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Errors");
    EXPECT_NE(boxes[0].text.find(" \r\nModule : Libmaj - testfichier"), std::string::npos)
        << boxes[0].text;
    EXPECT_EQ(boxes[1].title, "File Test");
}

TEST_F(Files, CopiefichierOverwritesAnExistingDestination)
{
    std::string source = "  " + made(folder, "new.txt", "nouveau", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE) + " ";
    std::string destination = made(folder, "old.txt", "ancien contenu plus long") + "  ";
    EXPECT_EQ(copiefichier(source, destination, 1, 0), 1);
    EXPECT_EQ(source, folder / "new.txt");          // both variables trimmed
    EXPECT_EQ(destination, folder / "old.txt");
    EXPECT_EQ(testsupport::readFile(destination), "nouveau");
    EXPECT_EQ(marksOf(source), 0u);   // every mark gone
}

TEST_F(Files, CopiefichierOfAMissingSourceWithTheTestCopiesNothing)
{
    std::string source = folder / "absent.txt";
    std::string destination = made(folder, "keep.txt", "keep");
    EXPECT_EQ(copiefichier(source, destination, 1, 0), 0);
    EXPECT_EQ(testsupport::readFile(destination), "keep");
}

TEST_F(Files, SameNameWithMessagesShowsTheBoxAndTouchesNothing)
{
    const std::string path = made(folder, "Same.txt", "contenu", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    std::string source = path;
    std::string destination = folder / "SAME.TXT";
    pointeursouris(Pointeur::sablier);
    const auto box = answering(IDOK, [&] { EXPECT_EQ(copiefichier(source, destination, 0, 1), 0); });
    ASSERT_TRUE(box);
    EXPECT_EQ(box->title, "Copie d'un Fichier");
    EXPECT_EQ(box->text.substr(box->text.size() - path.size() - 1), path + " ");
    EXPECT_EQ(pointeursouris(), Pointeur::defaut);   // reset before the box
    EXPECT_EQ(marksOf(path), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(testsupport::readFile(path), "contenu");
}

TEST_F(Files, SameNameSilentlyCopiesTheFileOntoItselfWithoutLosingIt)
{
    const std::string path = made(folder, "Self.txt", "contenu intact", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    std::string source = path;
    std::string destination = folder / "SELF.TXT";
    copiefichier(source, destination, 0, 0);
    EXPECT_EQ(marksOf(path), 0u);
    EXPECT_EQ(testsupport::readFile(path), "contenu intact");
}

TEST_F(Files, WhenBothCopiesFailTheMessageEndsWithTheSecondOnesCause)
{
    std::string source = made(folder, "src.txt", "x");
    std::string destination = folder / "no-such-folder\\dst.txt";
    etat().langue = 1;
    std::optional<uihelper::MessageBoxView> box;
    box = answering(IDOK, [&] { EXPECT_EQ(copiefichier(source, destination, 0, 1), 0); });
    ASSERT_TRUE(box);
    EXPECT_EQ(box->title, "Copie d'un Fichier");
    const std::string cause = std::strerror(ENOENT);
    EXPECT_EQ(erreurcourante().description, cause);
    EXPECT_EQ(box->text.substr(box->text.size() - cause.size() - 10), "Motif : \r\n" + cause);
    EXPECT_FALSE(testsupport::exists(destination));
    // Without messages: the same result, silently.
    EXPECT_FALSE(answering(IDOK, [&] { EXPECT_EQ(copiefichier(source, destination, 0, 0), 0); }, 1500));
}

TEST_F(Files, SupprimefichierDeletesAndWaitsUntilGone)
{
    std::string path = made(folder, "del.txt", "x", FILE_ATTRIBUTE_READONLY);
    supprimefichier(path);
    EXPECT_FALSE(testsupport::exists(folder / "del.txt"));
}

TEST_F(Files, SupprimefichierOfAMissingFileReturnsAtOnce)
{
    std::string path = folder / "none.txt";
    const auto start = std::chrono::steady_clock::now();
    supprimefichier(path);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

TEST_F(Files, SupprimefichierLeavesAFileThatIsHeldOpen)
{
    std::string path = made(folder, "held.txt", "x");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const auto start = std::chrono::steady_clock::now();
    supprimefichier(path);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_TRUE(testsupport::exists(path));
    CloseHandle(held);
}

TEST_F(Files, FlushesInTheBackgroundLeaveTheFileWholeAndTheHandleTheCallers)
{
    const std::string path = folder / "flushed.bin";
    const std::string body = testsupport::generated(1 << 20);
    PoigneeFichier f(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_NE(f.get(), INVALID_HANDLE_VALUE);
    {
        VidangeFond vidange(f.get(), 64 * 1024);
        for (std::size_t at = 0; at < body.size(); at += 16 * 1024) {
            DWORD written = 0;
            ASSERT_TRUE(WriteFile(f.get(), body.data() + at, 16 * 1024, &written, nullptr));
            vidange.ecrit(written);
        }
    }
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(f.get(), "!", 1, &written, nullptr) && FlushFileBuffers(f.get()));
    f.reset();
    EXPECT_TRUE(testsupport::readFile(path) == body + "!");
}

// A verified copy is made only into a new file: a name that another program took meanwhile
// is a failed copy, never a file written over and then deleted with the copy. A received
// file's name is the updater's own, so what an earlier run left there goes first.
TEST_F(Files, AVerifiedCopyNeverGoesOverAFileThatIsThere)
{
    const std::string source = made(folder, "A.dll", "a v1");
    const std::string taken = made(folder, "A.dll.sav", "the user's own");
    EXPECT_FALSE(copieverifiee(source, taken));
    EXPECT_EQ(testsupport::readFile(taken), "the user's own");
    EXPECT_FALSE(creeneuf(taken, false));
    EXPECT_EQ(testsupport::readFile(taken), "the user's own");
    const std::string left = made(folder, "A.dll.~maj", "left by an earlier run");
    PoigneeFichier anew = creeneuf(left, true);
    ASSERT_TRUE(anew);
    DWORD size = 0;
    EXPECT_EQ(GetFileSize(anew.get(), &size), 0u);
}

// The names the updater clears and deletes as its own may be second names of files elsewhere:
// their attributes are never changed through them, a plain file's are, and a name that cannot
// be deleted without changing another file is freed by moving it aside whole.
TEST_F(Files, AttributesAreNeverChangedThroughASecondNameAndItsNameIsStillFreed)
{
    TempFolder elsewhere("libmaj-elsewhere");
    const std::string victim = made(elsewhere, "victim.txt", "another program's file",
                                    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    const std::string link = folder / "Etatmaj.ini.~maj";
    ASSERT_TRUE(CreateHardLinkA(link.c_str(), victim.c_str(), nullptr));
    const std::string plain = made(folder, "A.dll", "a v1", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);

    otelectureseule(link);
    regleattributs(link, attributsremplacables);
    EXPECT_EQ(marksOf(victim), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    regleattributs(plain, attributsremplacables);
    EXPECT_EQ(marksOf(plain), 0u);

    EXPECT_FALSE(effacepropre(link));   // read-only through its other name: it stays
    EXPECT_EQ(marksOf(victim), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    PoigneeFichier anew = creeneuf(link, true);
    ASSERT_TRUE(anew);
    anew.reset();
    EXPECT_EQ(attributes(link), INVALID_FILE_ATTRIBUTES) << "marked for deletion, gone once closed";
    EXPECT_EQ(testsupport::readFile(victim), "another program's file");
    EXPECT_EQ(marksOf(victim), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    WIN32_FIND_DATAA d;
    const HANDLE aside = FindFirstFileA((folder / "Etatmaj.ini.~maj.*.~ecarte").c_str(), &d);
    ASSERT_NE(aside, INVALID_HANDLE_VALUE) << "moved aside";
    FindClose(aside);
    EXPECT_EQ(testsupport::readFile(folder / d.cFileName), "another program's file");

    // A folder is no file: it stays where it is, and whatever needs its name fails.
    const std::string dossier = folder / "B.dll.~maj";
    ASSERT_TRUE(CreateDirectoryA(dossier.c_str(), nullptr));
    EXPECT_TRUE(liberenom(dossier));
    EXPECT_TRUE(attributes(dossier) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(creeneuf(dossier, true));
    SetFileAttributesA(victim.c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA((folder / d.cFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Files, TaillefichierMeasuresInBytes)
{
    EXPECT_EQ(taillefichier(made(folder, "empty.bin", "")), 0.0);
    EXPECT_EQ(taillefichier(made(folder, "small.bin", std::string(1500, 'x'))), 1500.0);
    EXPECT_EQ(taillefichier(folder / "missing.bin"), 0.0);
    EXPECT_EQ(taillefichier(""), 0.0);
    EXPECT_EQ(taillefichier("   "), 0.0);
}

TEST_F(Files, TaillefichierReadsLengthsBeyondTwoGigabytes)
{
    const std::string path = folder / "big.bin";
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 3LL * 1024 * 1024 * 1024 + 7;   // sparse: no disk is used
    ASSERT_TRUE(SetFilePointerEx(f, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(f));
    CloseHandle(f);
    EXPECT_EQ(taillefichier(path), 3221225479.0);
}

TEST_F(Files, TheErrorReportShowsTheCurrentErrorAndLeavesIt)
{
    erreurcourante({52, "Nom ou num\xE9ro de fichier incorrect"});
    etat().langue = 1;
    const auto box = answering(IDOK, [] { afficheerreur("Libmaj - testfichier"); });
    ASSERT_TRUE(box);
    EXPECT_EQ(box->title, "Erreurs");
    EXPECT_EQ(box->text, "Information : \r\n" + std::string(60, '_') + "\r\n\r\n"
                             "Erreur Syst\xE8me N\xB0 52 \r\nModule : Libmaj - testfichier \r\n"
                             "Motif : \r\n\r\nNom ou num\xE9ro de fichier incorrect");
    EXPECT_STREQ(uihelper::iconName(box->icon), "stop");
    EXPECT_EQ(box->buttons, (std::vector<int>{IDOK}));
    EXPECT_EQ(erreurcourante().numero, 52);
    EXPECT_EQ(erreurcourante().description, "Nom ou num\xE9ro de fichier incorrect");
}

TEST_F(Files, TheNoConnectionQuestionReturnsTheAnswer)
{
    etat().langue = 2;
    int answer = 0;
    const auto box = answering(IDCANCEL, [&] { answer = montre(messagesansconnexion(2, "\r\n")); });
    ASSERT_TRUE(box);
    EXPECT_EQ(box->title, "Internet Connection");
    EXPECT_EQ(box->buttons, (std::vector<int>{IDOK, IDCANCEL}));
    EXPECT_EQ(answer, IDCANCEL);
}

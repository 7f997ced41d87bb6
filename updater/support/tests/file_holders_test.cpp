// What the platform allows with a file in use, and whether the updater sees it held: the two
// must agree, or a run would wait for a file it could replace, or undo a release for one it
// took for free.
#include "file_holders.h"
#include "testsupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

using testsupport::readFile;
using testsupport::TempFolder;
using testsupport::writeFile;

namespace {

// What keeps the file as a case holds it; undone when the case lets go.
using LetGo = std::function<void()>;

LetGo opened(const std::string& path, DWORD access, DWORD sharing)
{
    const HANDLE h = CreateFileA(path.c_str(), access, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    return [h] { CloseHandle(h); };
}

enum class Replace { refused, done, either };

struct Case {
    const char* what;
    std::function<LetGo(const std::string& path)> hold;
    bool held;           // the updater sees it held
    Replace replace;     // a rename over it while it is held so
};

}  // namespace

TEST(FileHolders, AFileIsHeldExactlyWhenThePlatformWillNotReplaceIt)
{
    const std::string library = readFile(HELD_LIBRARY_DLL);
    ASSERT_FALSE(library.empty());
    const Case cases[] = {
        {"nobody has it", [](const std::string&) { return LetGo(); }, false, Replace::done},
        {"open to read, sharing all", [](const std::string& p) {
             return opened(p, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
         }, true, Replace::refused},
        {"open to read, sharing reading", [](const std::string& p) { return opened(p, GENERIC_READ, FILE_SHARE_READ); },
         true, Replace::refused},
        {"open to write, sharing nothing", [](const std::string& p) { return opened(p, GENERIC_WRITE, 0); }, true,
         Replace::refused},
        {"loaded as a library", [](const std::string& p) {
             const HMODULE m = LoadLibraryA(p.c_str());
             EXPECT_NE(m, nullptr) << GetLastError();
             return LetGo([m] { FreeLibrary(m); });
         }, true, Replace::refused},
        // Windows refuses a rename over a read-only file and Wine does not; the install clears
        // the mark first, and no wait would change it.
        {"read-only, nobody has it", [](const std::string& p) {
             SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_READONLY);
             return LetGo([p] { SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL); });
         }, false, Replace::either},
        // A handle on the attributes alone takes no part in sharing, so nothing short of the
        // replace itself sees it; the platform refuses the replace all the same (Wine does),
        // and the install then undoes the release as before.
        {"only its attributes open", [](const std::string& p) {
             return opened(p, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
         }, false, Replace::either},
    };
    TempFolder folder("tidewell-held");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = folder / "A.dll", next = folder / "A.dll.new";
        DeleteFileA(path.c_str());
        writeFile(path, library);
        const LetGo letGo = c.hold(path);
        EXPECT_EQ(libmaj::fichiertenu(path), c.held);
        writeFile(next, "next");
        const bool replaced = MoveFileExA(next.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
        if (c.replace != Replace::either) {
            EXPECT_EQ(replaced, c.replace == Replace::done) << GetLastError();
        }
        if (letGo)
            letGo();
        // Where the platform refused, the file is as it was, and replaceable once let go.
        if (!replaced) {
            EXPECT_TRUE(readFile(path) == library);
        }
        EXPECT_FALSE(libmaj::fichiertenu(path));
        if (!replaced) {
            EXPECT_TRUE(MoveFileExA(next.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) << GetLastError();
        }
        // Nobody names a holder that is gone, nor this process.
        EXPECT_EQ(libmaj::detenteur(path), "");
    }
    // No file, or a folder, under the name: nothing a wait would end.
    EXPECT_FALSE(libmaj::fichiertenu(folder / "missing.dll"));
    ASSERT_TRUE(CreateDirectoryA((folder / "B.dll").c_str(), nullptr));
    EXPECT_FALSE(libmaj::fichiertenu(folder / "B.dll"));
}

// A loaded program or library may be renamed though not replaced: the install's renames
// rely on it.
TEST(FileHolders, ALoadedLibraryMayBeRenamedButNotReplaced)
{
    TempFolder folder("tidewell-held");
    const std::string path = folder / "A.dll", aside = folder / "A.dll.old";
    writeFile(path, readFile(HELD_LIBRARY_DLL));
    const HMODULE m = LoadLibraryA(path.c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_TRUE(MoveFileA(path.c_str(), aside.c_str())) << GetLastError();
    EXPECT_TRUE(libmaj::fichiertenu(aside));
    EXPECT_FALSE(libmaj::fichiertenu(path));
    FreeLibrary(m);
    EXPECT_FALSE(libmaj::fichiertenu(aside));
}

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <set>

#include "platform/Folder.h"
#include "platform/Text.h"
#include "relocate/FolderCleanup.h"
#include "support/Recorders.h"
#include "support/TempTree.h"

namespace stowra {
namespace {

namespace fs = std::filesystem;

// Every entry below root, folders with a trailing delimiter, links not followed.
std::set<std::string> Entries(const std::string& root) {
    std::set<std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        std::string rel = e.path().lexically_relative(root).generic_string();
        entries.insert(e.is_directory() && !e.is_symlink() ? rel + "/" : rel);
    }
    return entries;
}

TEST(RemoveEmptyFolders, RemovesFoldersWithoutFilesChildrenFirst) {
    struct Case {
        const char* what;
        std::vector<std::string> folders, files;
        std::set<std::string> left;
        bool onlyFolders;
    } cases[] = {
        {"everything empty", {"a/b/c", "a/d", "e"}, {}, {}, true},
        {"a file keeps the folders above it", {"a/b/c", "a/x"}, {"a/b/f"}, {"a/", "a/b/", "a/b/f"}, true},
        {"a hidden file keeps its folder", {"h/i"}, {"h/.hidden"}, {"h/", "h/.hidden"}, true},
        {"a file in the source folder", {"a"}, {"top"}, {"top"}, false},
        {"a folder of empty folders goes in the same pass", {"p/q/r/s", "p/q/t"}, {}, {}, true},
    };
    for (const Case& c : cases) {
        test::TempTree t;
        t.Folder("src");
        for (const auto& f : c.folders) t.Folder("src/" + f);
        for (const auto& f : c.files) t.Write("src/" + f, "x");
        EXPECT_EQ(RemoveEmptyFolders(t.Path("src") + kPathDelimiter), c.onlyFolders) << c.what;
        EXPECT_TRUE(fs::is_directory(t.Path("src"))) << c.what;
        EXPECT_EQ(Entries(t.Path("src")), c.left) << c.what;
    }
}

#ifndef _WIN32
TEST(RemoveEmptyFolders, NeverFollowsALinkAndALinkKeepsItsFolder) {
    test::TempTree t;
    t.Folder("outside/empty/deeper");
    t.Folder("src/inner/empty");
    t.Link("src/a/to-outside", t.Path("outside"));
    t.Link("src/b/to-inner", t.Path("src/inner"));
    t.Link("src/c/dangling", t.Path("nowhere"));
    t.Folder("src/d");
    t.SystemEntry("src/d/pipe");
    RemoveEmptyFolders(t.Path("src") + kPathDelimiter);
    EXPECT_TRUE(fs::is_directory(t.Path("outside/empty/deeper")));
    EXPECT_EQ(Entries(t.Path("src")), (std::set<std::string>{"a/", "a/to-outside", "b/", "b/to-inner", "c/",
                                                             "c/dangling", "d/", "d/pipe"}));
}
#endif

#ifndef _WIN32
TEST(RemoveEmptyFolders, ASourceFolderReachedThroughALinkStays) {
    test::TempTree t;
    t.Folder("real/a/b");
    t.Link("via", t.Path("real"));
    EXPECT_TRUE(RemoveEmptyFolders(t.Path("via") + kPathDelimiter));
    EXPECT_TRUE(fs::is_directory(t.Path("real")));
    EXPECT_TRUE(fs::is_symlink(t.Path("via")));
    EXPECT_TRUE(Entries(t.Path("real")).empty());
}
#endif

TEST(RemoveEmptyFolders, DeepTreesAndMissingFoldersAreHandled) {
#ifdef _WIN32
    GTEST_SKIP() << "paths beyond MAX_PATH: the ANSI functions do not take them";
#else
    test::TempTree t;
    std::string deep = t.Path("src");
    ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
    for (int i = 0; i < 1000; ++i) {
        deep += "/d";
        ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0) << i;
    }
    EXPECT_TRUE(RemoveEmptyFolders(t.Path("src") + kPathDelimiter));
    EXPECT_TRUE(Entries(t.Path("src")).empty());
    EXPECT_TRUE(RemoveEmptyFolders(t.Path("missing") + kPathDelimiter));
#endif
}

#ifdef _WIN32
// A file whose name the code page cannot spell is not listed, but its folder is not empty.
TEST(RemoveEmptyFolders, AFileTheCodePageCannotSpellKeepsItsFolder) {
    test::TempTree t;
    t.Folder("src/odd");
    const std::string folder = t.Path("src/odd");
    std::wstring path(folder.begin(), folder.end());  // an ASCII path
    HANDLE h = ::CreateFileW((path + L"\\\u00e9t\u00e9.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ::CloseHandle(h);
    EXPECT_FALSE(RemoveEmptyFolders(folder + kPathDelimiter));
    EXPECT_TRUE(FolderExists(folder));
}
#endif

}  // namespace
}  // namespace stowra

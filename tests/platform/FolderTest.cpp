#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Folder.h"
#include "support/TempTree.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace stowra {
namespace {

#ifdef _WIN32
std::wstring Wide(const std::string& text) {
    int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}
#endif

std::vector<std::string> Names(const DirListing& l) {
    std::vector<std::string> names;
    for (const auto& e : l.Entries()) {
        names.emplace_back(l.Name(e));
    }
    return names;
}

TEST(Folder, ListsWithTheAttributeFilter) {
    test::TempTree t;
    t.File("b.txt", 10);
    t.File(".hidden", 1);
    t.File("..data", 1);  // only "." and ".." themselves are not entries
    t.Folder("sub");
    t.Folder(".git");
    t.SystemEntry("pipe");

    struct Case {
        AttributeFilter filter;
        std::vector<std::string> names;
    } cases[] = {
        {{false, false}, {"b.txt", "sub"}},
        {{true, false}, {"..data", ".git", ".hidden", "b.txt", "sub"}},
        {{false, true}, {"b.txt", "pipe", "sub"}},
        {{true, true}, {"..data", ".git", ".hidden", "b.txt", "pipe", "sub"}},
    };
    auto folder = Folder::Open(t.Root());
    ASSERT_TRUE(folder);
    for (const auto& c : cases) {
        DirListing l;
        ASSERT_TRUE(folder->List(c.filter, l));
        EXPECT_EQ(Names(l), c.names);
    }
}

#ifndef _WIN32
TEST(Folder, ReportsSixtyFourBitSizesAndNeverFollowsLinks) {
    test::TempTree t;
    t.File("big", 5368709120ull);
    t.Folder("target");
    t.Link("to-folder", t.Path("target"));
    t.Link("to-file", t.Path("big"));
    t.Link("dangling", t.Path("nowhere"));
    t.Link(".hidden-link", t.Path("big"));
    auto folder = Folder::Open(t.Root());
    DirListing l;
    ASSERT_TRUE(folder->List({}, l));
    ASSERT_EQ(Names(l), (std::vector<std::string>{"big", "target"}));
    EXPECT_EQ(l.Entries()[0].size, 5368709120ull);
    EXPECT_EQ(l.SkippedLinks(), 3u);  // a hidden link is left out as hidden

    // Listed for what they are when asked for: files of no size, never their targets.
    ASSERT_TRUE(folder->List({true, false, true}, l));
    ASSERT_EQ(Names(l), (std::vector<std::string>{".hidden-link", "big", "dangling", "target", "to-file",
                                                  "to-folder"}));
    for (std::size_t i : {0, 2, 4, 5}) {
        EXPECT_TRUE(l.Entries()[i].isLink);
        EXPECT_EQ(l.Entries()[i].kind, EntryKind::File);
        EXPECT_EQ(l.Entries()[i].size, 0u);
    }
    EXPECT_EQ(l.SkippedLinks(), 0u);
}
#endif

#ifdef _WIN32
// A name the ANSI code page cannot spell exactly is left out and counted, never handed on in a
// form no file has ("été" would come back as "ete", an emoji as "??").
TEST(Folder, NamesTheCodePageCannotSpellAreCountedNotListed) {
    test::TempTree t;
    t.File("表.txt", 1);
    t.Folder("ソフト");
    for (const wchar_t* name : {L"\u00e9t\u00e9.txt", L"\U0001F600.txt", L"\uD55C\uAD6D"}) {
        HANDLE h = ::CreateFileW((Wide(t.Root()) + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        ::CloseHandle(h);
    }
    auto folder = Folder::Open(t.Root());
    ASSERT_TRUE(folder);
    DirListing l;
    ASSERT_TRUE(folder->List({}, l));
    EXPECT_EQ(Names(l), (std::vector<std::string>{"ソフト", "表.txt"}));
    EXPECT_EQ(l.SkippedNames(), 3u);
}
#endif

TEST(Folder, ExistenceTests) {
    test::TempTree t;
    t.File("f", 1);
    EXPECT_TRUE(FolderExists(t.Root()));
    EXPECT_TRUE(FolderExists(t.Root() + "/"));
    EXPECT_FALSE(FolderExists(t.Path("f")));
    EXPECT_FALSE(FolderExists(t.Path("missing")));
    EXPECT_FALSE(FolderExists(""));
    EXPECT_TRUE(FileExists(t.Path("f")));
    EXPECT_FALSE(FileExists(t.Root()));
}

TEST(LocalTime, IsPlausible) {
    LocalTime now = NowLocal();
    EXPECT_GE(now.year, 2024);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12);
    EXPECT_TRUE(now.hour >= 0 && now.hour <= 23);
}

}  // namespace
}  // namespace stowra

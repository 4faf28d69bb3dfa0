#include <gtest/gtest.h>

#include "platform/Text.h"
#include "relocate/Catalogue.h"
#include "relocate/IndexFiles.h"
#include "relocate/MoveFixture.h"

namespace stowra {
namespace {

TEST(IndexFiles, NameCarriesTheStampAndTheMediumNumberTwice) {
    using test::Native;
    EXPECT_EQ(IndexFileName(Native("/out/20240315-093012/"), "20240315-093012", 2),
              Native("/out/20240315-093012/2/_index_20240315-093012-2.txt"));
    EXPECT_EQ(IndexFileName(Native("o/s/"), "s", 12), Native("o/s/12/_index_s-12.txt"));
}

TEST(IndexFiles, OneLinePerFileInListOrderEndingInCrLf) {
    test::TempTree t;
    // Largest first on the medium: a.txt, docs/b.doc, c.jpg.
    test::ScannedTree s(t.Path("src"), {{"a.txt", 10000}, {"docs/b.doc", 8000}, {"c.jpg", 100}});
    ASSERT_EQ(s.media.size(), 1u);
    ASSERT_EQ(s.media[0], (std::vector<std::string>{"a.txt", "docs/b.doc", "c.jpg"}));
    const std::string root = t.Path("out") + kPathDelimiter + s.stamp + kPathDelimiter;
    t.Folder("out/" + s.stamp + "/1");
    s.window.log.Clear();
    WriteIndexFiles(root, s.window.state, s.window.log);
    EXPECT_EQ(test::ReadAll(IndexFileName(root, s.stamp, 1)),
              test::Native("a.txt\r\ndocs/b.doc\r\nc.jpg\r\n"));
    EXPECT_TRUE(s.window.log.Runs().empty());
}

TEST(IndexFiles, WhatStandsAtTheNameIsNeitherReplacedNorWrittenThrough) {
    for (const char* planted : {"file", "link"}) {
        SCOPED_TRACE(planted);
#ifdef _WIN32
        if (std::string_view(planted) == "link") {
            continue;  // making a link needs a privilege the tests do not have
        }
#endif
        test::TempTree t;
        test::ScannedTree s(t.Path("src"), {{"a.txt", 10000}, {"docs/b.doc", 8000}, {"c.jpg", 100}});
        const std::string root = t.Path("out") + kPathDelimiter + s.stamp + kPathDelimiter;
        const std::string name = IndexFileName(root, s.stamp, 1);
        t.Folder("out/" + s.stamp + "/1");
        t.Write("target", "someone else's file");
        if (std::string_view(planted) == "link") {
            std::filesystem::create_symlink(t.Path("target"), name);
        } else {
            t.Write("out/" + s.stamp + "/1/_index_" + s.stamp + "-1.txt", "an older file of that name");
        }
        s.window.log.Clear();
        EXPECT_EQ(WriteIndexFiles(root, s.window.state, s.window.log), std::vector<std::string>{name});
        EXPECT_EQ(test::ReadAll(t.Path("target")), "someone else's file");
        if (std::string_view(planted) == "file") {
            EXPECT_EQ(test::ReadAll(name), "an older file of that name");
        }
        ASSERT_EQ(s.window.log.Runs().size(), 1u);
        EXPECT_EQ(s.window.log.Runs()[0].color, LogColor::Red);
    }
}

TEST(IndexFiles, AFailedMediumGetsARedLineAndTheOthersAreStillWritten) {
    test::TempTree t;
    test::ScannedTree s(t.Path("src"), {{"a", 20000}, {"b", 20000}, {"c", 20000}, {"d", 20000}});
    ASSERT_EQ(s.media.size(), 4u);
    const std::string root = t.Path("out") + kPathDelimiter + s.stamp + kPathDelimiter;
    t.Folder("out/" + s.stamp + "/1");
    t.Folder("out/" + s.stamp + "/3");  // the folders of media 2 and 4 are missing
    s.window.log.Clear();
    s.window.log.Insert("before\n");
    std::vector<std::string> failed = WriteIndexFiles(root, s.window.state, s.window.log);

    const std::string name2 = IndexFileName(root, s.stamp, 2), name4 = IndexFileName(root, s.stamp, 4);
    EXPECT_EQ(failed, (std::vector<std::string>{name2, name4}));
    const auto& runs = s.window.log.Runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].color, LogColor::Red);
    EXPECT_EQ(runs[1].text,
              "\"" + name2 + "\"の作成に失敗しました。\n\"" + name4 + "\"の作成に失敗しました。\n");
    EXPECT_GE(s.window.log.Repaints(), 2);
    EXPECT_EQ(test::ReadAll(IndexFileName(root, s.stamp, 1)), s.media[0][0] + "\r\n");
    EXPECT_EQ(test::ReadAll(IndexFileName(root, s.stamp, 3)), s.media[2][0] + "\r\n");
}

}  // namespace
}  // namespace stowra

namespace stowra {
namespace {

TEST(Catalogue, LinesComeBackAsWrittenAndPatternsMatchAsAShellWould) {
    for (const char* path : {"a/b.jpg", "tab\there", "line\nfeed", "back\\slash", "写真/夏 1.JPG"}) {
        const CatalogueLine line{12, path, 345, "2026-12-09 10:15:00", std::string(64, 'a')};
        const std::string text = FormatCatalogueLine(line);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << path;
        CatalogueLine back;
        ASSERT_TRUE(ParseCatalogueLine(std::string_view(text).substr(0, text.size() - 1), back)) << path;
        EXPECT_EQ(back.path, path);
        EXPECT_EQ(back.disc, 12u);
        EXPECT_EQ(back.size, 345u);
        EXPECT_EQ(back.sha256, line.sha256);
    }
    CatalogueLine header;
    EXPECT_FALSE(ParseCatalogueLine("disc\tpath\tsize\tmodified\tsha256", header));
    EXPECT_FALSE(ParseCatalogueLine("1\ta\t-5\tx\t", header));
    const struct {
        const char* pattern;
        const char* path;
        bool matches;
    } cases[] = {
        {"img", "2004/IMG_1.JPG", true},
        {"*.jpg", "2004/IMG_1.JPG", true},
        {"*.jpg", "2004/IMG_1.JPG.txt", false},
        {"2004/*", "2004/a/b.jpg", true},
        {"20?4/*", "2014/a", true},
        {"?.txt", "\xe5\x86\x99.txt", true},  // one character of UTF-8
        {"[0-9]*.jpg", "a/7.jpg", true},
        {"[!0-9]*.jpg", "a/7.jpg", false},
        {"[unclosed", "x/[unclosed", true},
        {"*a*b*c", "xaxxbxxc", true},
        {"*a*b*c", "xaxxbxxcd", false},
        {"", "anything", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathMatches(c.pattern, c.path), c.matches) << c.pattern << " " << c.path;
    }
}

}  // namespace
}  // namespace stowra

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fileio/LFile.h"
#include "support/TempTree.h"

namespace stowra {
namespace {

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const LExcept& e) {
        EXPECT_EQ(e.code, 0);
        return e.message;
    }
    return "(no exception)";
}

std::vector<std::string> ReadAll(const std::string& path, std::size_t size, const char* mode = "rt") {
    LFile f(path, mode);
    std::vector<char> buffer(size, 'x');
    std::vector<std::string> lines;
    while (f.gets(buffer.data(), buffer.size())) {
        lines.emplace_back(buffer.data());
    }
    EXPECT_EQ(buffer[0], '\0');
    return lines;
}

struct ReadCase {
    std::string content;
    std::size_t size;
    std::vector<std::string> lines;
};

TEST(LFile, GetsReturnsLinesPiecesAndTranslatesCrLf) {
    const ReadCase cases[] = {
        {"", 16, {}},
        {"one\r\ntwo\r\n", 16, {"one", "two"}},
        {"one\ntwo\n", 16, {"one", "two"}},
        {"one\r\nlast", 16, {"one", "last"}},
        {"\r\n\r\n", 16, {"", ""}},
        {"abcdefgh\r\n", 4, {"abc", "def", "gh"}},
        {"abc\r\n", 4, {"abc", ""}},
        {"ab\r\n", 3, {"ab", ""}},
        {"a\rb\r\n", 16, {"a\rb"}},
        {"a\r", 16, {"a\r"}},
        {"a\r\r\n", 16, {"a\r"}},
        {"x\n", 1, {}},
        {"\x95\x5C\x83\x5C\r\n", 16, {"\x95\x5C\x83\x5C"}},
    };
    test::TempTree t;
    for (const ReadCase& c : cases) {
        t.Write("in.txt", c.content);
        EXPECT_EQ(ReadAll(t.Path("in.txt"), c.size), c.lines) << c.content << " size " << c.size;
    }
}

TEST(LFile, BinaryModeKeepsCarriageReturns) {
    test::TempTree t;
    t.Write("in.bin", "a\r\nb\n");
    EXPECT_EQ(ReadAll(t.Path("in.bin"), 16, "rb"), (std::vector<std::string>{"a\r", "b"}));
    {
        LFile f(t.Path("out.bin"), "wb");
        f.printf("x\ny\n");
    }
    EXPECT_EQ(t.Read("out.bin"), "x\ny\n");
}

TEST(LFile, PrintfWritesCrLfAndTextOfAnyLength) {
    test::TempTree t;
    const std::string path = t.Path("out.txt");
    const std::string longText(100000, 'z');
    {
        LFile f(path, "wt");
        f.printf("%s", "");
        f.printf("%d\t%s\n", -12, "表ソ");
        f.printf("%s\n", longText.c_str());
        f.printf("\n");
    }
    EXPECT_EQ(t.Read("out.txt"), "-12\t表ソ\r\n" + longText + "\r\n\r\n");
    EXPECT_EQ(ReadAll(path, 256 * 1024), (std::vector<std::string>{"-12\t表ソ", longText, ""}));

    {
        LFile f(path, "wt");
        f.printf("%s", "");
    }
    EXPECT_EQ(t.Read("out.txt"), "");
}

TEST(LFile, FailuresNameTheFile) {
    test::TempTree t;
    t.Write("a.txt", "a\n");
    t.Folder("dir");
    const std::string a = t.Path("a.txt");
    const std::string missing = t.Path("missing.txt");
    char buffer[8];

    EXPECT_EQ(MessageOf([&] { LFile f(missing, "rt"); }), missing + " open failed");
#ifdef _WIN32
    const std::string folderFailure = t.Path("dir") + " open failed";  // a folder is no stream there
#else
    const std::string folderFailure = t.Path("dir") + " gets() failed";
#endif
    EXPECT_EQ(MessageOf([&] {
                  LFile f(t.Path("dir"), "rt");
                  f.gets(buffer, sizeof buffer);
              }),
              folderFailure);
    EXPECT_EQ(MessageOf([&] {
                  LFile f(a, "rt");
                  f.printf("x");
              }),
              a + " printf() failed");

    LFile f(a, "rt");
    EXPECT_EQ(MessageOf([&] { f.open(missing, "wt"); }), a + " already opened");
    ASSERT_TRUE(f.gets(buffer, sizeof buffer));  // the open file stays as it was
    EXPECT_STREQ(buffer, "a");
    f.close();
    f.close();
    EXPECT_EQ(MessageOf([&] { f.gets(buffer, sizeof buffer); }), a + " not opened");
    EXPECT_EQ(MessageOf([&] { f.printf("x"); }), a + " not opened");
    // The new name is stored before the stream is opened.
    EXPECT_EQ(MessageOf([&] { f.open(missing, "rt"); }), missing + " open failed");
    EXPECT_EQ(MessageOf([&] { f.printf("x"); }), missing + " not opened");
    f.open(a, "rt");
    EXPECT_TRUE(f.gets(buffer, sizeof buffer));
}

TEST(LFile, CloseFailureReachesTheCaller) {
#ifdef _WIN32
    GTEST_SKIP() << "no device there that takes text and refuses it when the stream is flushed";
#endif
    // /dev/full accepts the buffered text and refuses it when the stream is flushed.
    EXPECT_EQ(MessageOf([] {
                  LFile f("/dev/full", "wt");
                  f.printf("x\n");
                  EXPECT_EQ(MessageOf([&] { f.close(); }), "/dev/full close failed");
                  f.close();  // given up after the failure, nothing left to close
              }),
              "(no exception)");
    EXPECT_EQ(MessageOf([] {
                  LFile f("/dev/full", "wt");
                  f.printf("x\n");
              }),
              "/dev/full close failed");
}

TEST(LFile, DestructionWhileUnwindingDoesNotEndTheProgram) {
#ifdef _WIN32
    GTEST_SKIP() << "no device there that takes text and refuses it when the stream is flushed";
#endif
    const std::string big(1 << 20, 'q');
    EXPECT_EQ(MessageOf([&] {
                  LFile f("/dev/full", "wt");
                  f.printf("x\n");
                  f.printf("%s", big.c_str());
              }),
              "/dev/full printf() failed");
}

TEST(LFile, DestroyingAClosedFileThrowsNothing) {
    test::TempTree t;
    EXPECT_NO_THROW({
        LFile f(t.Path("x.txt"), "wt");
        f.close();
    });
    EXPECT_TRUE(t.Exists("x.txt"));
}

}  // namespace
}  // namespace stowra

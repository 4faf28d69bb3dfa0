#include <gtest/gtest.h>

#include <clocale>

#include "platform/Text.h"

namespace stowra {
namespace {

// 表 and ソ in code page 932: their second byte is the backslash's code.
const std::string kHyo = "\x95\x5C";
const std::string kSo = "\x83\x5C";

struct DelimiterCase {
    std::string text;
    std::string expected;
};

TEST(AddTrailingDelimiter, FollowsTheDoubleByteRuleOfCodePage932) {
    const DelimiterCase cases[] = {
        {"", ""},
        {"C:", "C:\\"},
        {"C:\\", "C:\\"},
        {"C:\\data", "C:\\data\\"},
        {"C:\\" + kHyo, "C:\\" + kHyo + "\\"},
        {"C:\\" + kSo, "C:\\" + kSo + "\\"},
        {"C:\\" + kHyo + "\\", "C:\\" + kHyo + "\\"},
        {"\\\\server\\share", "\\\\server\\share\\"},
        {kHyo + kSo, kHyo + kSo + "\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AddTrailingDelimiter(c.text, '\\', Codepage::Cp932), c.expected) << c.text;
    }
}

TEST(AddTrailingDelimiter, TrailByteIsADelimiterOutsideCodePage932) {
    // In UTF-8 the same bytes are not a double-byte character, so the 0x5C is a backslash.
    EXPECT_EQ(AddTrailingDelimiter(kHyo, '\\', Codepage::Utf8), kHyo);
}

TEST(AddTrailingBackslash, UsesTheNativeDelimiter) {
    const std::string d(1, kPathDelimiter);
    EXPECT_EQ(AddTrailingBackslash(""), "");
    EXPECT_EQ(AddTrailingBackslash("/data"), "/data" + d);
    EXPECT_EQ(AddTrailingBackslash("/data" + d), "/data" + d);
    EXPECT_EQ(AddTrailingBackslash("/写真"), "/写真" + d);
}

TEST(CountDelimiters, SkipsTrailBytes) {
    EXPECT_EQ(CountDelimiters(kHyo + "\\", '\\', Codepage::Cp932), 1u);
    EXPECT_EQ(CountDelimiters(kHyo + "\\" + kSo + "\\", '\\', Codepage::Cp932), 2u);
    EXPECT_EQ(CountDelimiters("a\\b\\", '\\', Codepage::Cp932), 2u);
    EXPECT_EQ(CountDelimiters("", '\\', Codepage::Cp932), 0u);
    // A lead byte at the very end has no trail byte and is a character of its own.
    EXPECT_EQ(CountDelimiters("a\\\x95", '\\', Codepage::Cp932), 1u);
    // Replacing them for another form of the path leaves the trail bytes as they are.
    std::string path = kHyo + "\\" + kSo + "\\a";
    ReplaceDelimiters(path, '\\', '/', Codepage::Cp932);
    EXPECT_EQ(path, kHyo + "/" + kSo + "/a");
}

TEST(Format, ProducesTextOfAnyLength) {
    std::string longArg(5000, 'x');
    std::string out = Format("[%s] %d", longArg.c_str(), 42);
    EXPECT_EQ(out.size(), 5000u + 5u);
    EXPECT_EQ(out.substr(out.size() - 3), " 42");
    EXPECT_EQ(Format("%s", ""), "");
    // Around the size of the buffer a short text is formatted in.
    for (std::size_t size : {254, 255, 256, 257}) {
        std::string text(size - 1, 'y');
        text += 'z';
        EXPECT_EQ(Format("%s", text.c_str()), text) << size;
    }
}

TEST(Format, WritesADecimalPointWhateverTheLocale) {
#ifdef _WIN32
    GTEST_SKIP() << "the Windows programs never take the user's LC_NUMERIC";
#endif
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "scripts/setup.sh makes this locale";
    std::string text = Format("%.4f KiB", 600.0);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(text, "600.0000 KiB");
}

}  // namespace
}  // namespace stowra

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "platform/ConfigFolder.h"
#include "platform/PrivateProfile.h"
#include "support/TempTree.h"
#include "support/Unprivileged.h"

namespace stowra {
namespace {

TEST(ParseProfileInteger, DecimalWithMinusAndHexadecimalAfter0x) {
    const std::pair<std::string, std::optional<std::int32_t>> cases[] = {
        {"0", 0},
        {"00012", 12},
        {"-5", -5},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"0x57DAA", 359850},
        {"0X57daa", 359850},
        {"0x0", 0},
        {"0xFFFFFFFF", -1},
        {"0x000000000010", 16},
        {"0x100000000", std::nullopt},
        {"0x", std::nullopt},
        {"0x-1", std::nullopt},
        {"-0x10", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+5", std::nullopt},
        {"12a", std::nullopt},
        {"1 2", std::nullopt},
        {"１２", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ParseProfileInteger(text), expected) << text;
    }
}

TEST(SameNameIgnoringCase, FoldsAsciiLettersButNotTrailBytes) {
    EXPECT_TRUE(SameNameIgnoringCase("CD-R 700MiB", "cd-r 700mib"));
    EXPECT_TRUE(SameNameIgnoringCase("Stowra", "STOWRA"));
    EXPECT_TRUE(SameNameIgnoringCase("AZaz", "azAZ"));
    EXPECT_FALSE(SameNameIgnoringCase("Stowra", "Stowra "));
    // ア is 0x83 0x41 and チ is 0x83 0x61 in code page 932: their trail bytes are "A" and "a".
    EXPECT_FALSE(SameNameIgnoringCase("\x83\x41", "\x83\x61", Codepage::Cp932));
    EXPECT_TRUE(SameNameIgnoringCase("\x83\x41X", "\x83\x41x", Codepage::Cp932));
    EXPECT_TRUE(SameNameIgnoringCase("\x83\x41", "\x83\x61", Codepage::Utf8));  // plain bytes there
}

TEST(ProfileReader, SectionsKeysAndFirstOccurrence) {
    const ProfileReader r(
        "\xEF\xBB\xBF[Stowra]\r\n"
        "Option=5\r\n"
        "option=6\r\n"
        "  MinSize = 0x10  \r\n"
        "; Media=3\n"
        "SrcFolder=  /a b  \n"
        "DstFolder=\" /quoted \"\n"
        "Empty=\n"
        "Quoted=\"\"\n"
        "Single=''\n"
        "Zone=z\n"
        "NoEquals\n"
        "=orphan\n"
        "[CD-R 700MiB]\n"
        "Total=junk\n"
        "[stowra]\n"
        "Media=2\n"
        "Option=7\n"
        "[ spaced ] trailing\n"
        "Cluster=4\n"
        "[a]b]\n"
        "[broken\n"
        "Total=1\n"
        "[last]");
    EXPECT_EQ(r.SectionNames(),
              (std::vector<std::string>{"Stowra", "CD-R 700MiB", " spaced ", "a]b", "last"}));
    EXPECT_EQ(r.ReadInteger("STOWRA", "OPTION", -1), 5);
    EXPECT_EQ(r.ReadInteger("Stowra", "MinSize", -1), 16);
    EXPECT_EQ(r.ReadInteger("Stowra", "Media", -1), 2);  // from the repeated section
    EXPECT_EQ(r.ReadString("Stowra", "SrcFolder", "-"), "/a b");
    EXPECT_EQ(r.ReadString("Stowra", "DstFolder", "-"), " /quoted ");
    EXPECT_EQ(r.ReadString("Stowra", "Empty", "-"), "");
    EXPECT_EQ(r.ReadInteger("Stowra", "Empty", -1), -1);
    EXPECT_EQ(r.ReadString("Stowra", "Quoted", "-"), "");
    EXPECT_EQ(r.ReadString("Stowra", "Single", "-"), "");
    EXPECT_EQ(r.ReadString("STOWRA", "zONE", "-"), "z");
    EXPECT_EQ(r.ReadString("Stowra", "NoEquals", "-"), "-");
    EXPECT_EQ(r.ReadInteger("CD-R 700MiB", "Total", 359850), 359850);
    EXPECT_EQ(r.ReadInteger(" spaced ", "Cluster", 0), 4);
    EXPECT_EQ(r.ReadInteger("a]b", "Total", 0), 0);  // keys below the broken header go nowhere
    EXPECT_EQ(r.ReadInteger("missing", "Total", 9), 9);
}

TEST(ProfileReader, MissingFileHasNoSections) {
    test::TempTree t;
    EXPECT_TRUE(ProfileReader::Load(t.Path("none.ini")).SectionNames().empty());
    EXPECT_TRUE(ProfileReader::Load(t.Root()).SectionNames().empty());  // a folder
}

TEST(ProfileReader, RandomBytesNeverCrash) {
    std::mt19937 random(20240601);
    const std::string alphabet = "[]=;\r\n\t x0X9-\"'\xEF\x83\x41";
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 600, '\0');
        bool structured = round % 2 == 0;
        for (char& c : text) {
            c = structured ? alphabet[random() % alphabet.size()] : static_cast<char>(random() & 0xFF);
        }
        ProfileReader r(text);
        for (const std::string& name : r.SectionNames()) {
            r.ReadInteger(name, "Total", 0);
            EXPECT_EQ(r.ReadString(name, "no such key", "d"), "d");
        }
    }
}

TEST(ProfileReader, HugeInputsStayCheap) {
    std::string oneLine(8 << 20, 'x');
    EXPECT_TRUE(ProfileReader(oneLine).SectionNames().empty());
    oneLine[0] = '[';
    EXPECT_TRUE(ProfileReader(oneLine).SectionNames().empty());
    std::string many;
    for (int i = 0; i < 200000; ++i) {
        many += "[s" + std::to_string(i % 100000) + "]\nk=" + std::to_string(i) + "\n";
    }
    ProfileReader r(many);
    EXPECT_EQ(r.SectionNames().size(), 100000u);
    EXPECT_EQ(r.ReadInteger("S99999", "K", -1), 99999);
}

TEST(ProfileWriter, WritesInOrderWithCrLfAndReadsBack) {
    ProfileWriter w;
    w.WriteInteger("Stowra", "Option", -1);
    w.WriteString("Stowra", "SrcFolder", "C:\\表\\");
    w.WriteInteger("CD-R 700MiB", "Total", 359850);
    w.WriteInteger("stowra", "option", 3);  // same section and key: replaced in place
    EXPECT_EQ(w.Text(),
              "[Stowra]\r\nOption=3\r\nSrcFolder=C:\\表\\\r\n"
              "[CD-R 700MiB]\r\nTotal=359850\r\n");
}

TEST(ProfileWriter, TextsSurviveTheRoundTrip) {
    const std::string values[] = {"",   " lead", "trail ", "\"quoted\"", "'q'",
                                  "\"", "a=b;c", "[x]",    "表ソ\\",     "\t"};
    ProfileWriter w;
    for (std::size_t i = 0; i < std::size(values); ++i) {
        w.WriteString("S", "k" + std::to_string(i), values[i]);
    }
    w.WriteString("S", "broken", std::string("one\r\ntwo\0three", 14));
    w.WriteString("evil\n[Stowra]", "k", "v");
    const ProfileReader r(w.Text());
    for (std::size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(r.ReadString("S", "k" + std::to_string(i), "-"), values[i]) << i;
    }
    EXPECT_EQ(r.ReadString("S", "broken", "-"), "onetwothree");
    EXPECT_EQ(r.SectionNames(), (std::vector<std::string>{"S", "evil[Stowra]"}));
}

TEST(ReplaceFileContent, ReplacesInOneStepAndKeepsTheMode) {
    test::TempTree t;
    t.Write("s.ini", "old");
    ::chmod(t.Path("s.ini").c_str(), 0640);
    ASSERT_TRUE(ReplaceFileContent(t.Path("s.ini"), "new"));
    EXPECT_EQ(t.Read("s.ini"), "new");
    struct stat st {};
    ASSERT_EQ(::stat(t.Path("s.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    ASSERT_TRUE(ReplaceFileContent(t.Path("fresh.ini"), ""));
    EXPECT_EQ(t.Read("fresh.ini"), "");

    t.Link("link.ini", t.Path("s.ini"));
    ASSERT_TRUE(ReplaceFileContent(t.Path("link.ini"), "via link"));
    EXPECT_TRUE(std::filesystem::is_symlink(t.Path("link.ini")));
    EXPECT_EQ(t.Read("s.ini"), "via link");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.Root()), {}), 3);  // no leftovers
}

TEST(ReplaceFileContent, RefusedWritesLeaveTheOldFile) {
    test::TempTree t;
    t.Write("plain", "x");
    t.Folder("folder.ini");
    EXPECT_FALSE(ReplaceFileContent(t.Path("plain/s.ini"), "new"));
    EXPECT_FALSE(ReplaceFileContent(t.Path("missing/s.ini"), "new"));
    EXPECT_FALSE(ReplaceFileContent(t.Path("folder.ini"), "new"));
    EXPECT_FALSE(ReplaceFileContent("/proc/stowra-settings.ini", "new"));

    // A folder the user may not write: run as an unprivileged user, since root may write anywhere.
    t.Folder("locked");
    t.Write("locked/s.ini", "old");
    ::chmod(t.Path("locked").c_str(), 0755);
    ::chmod(t.Root().c_str(), 0755);
    EXPECT_EQ(test::RunAsNobody([&] { return ReplaceFileContent(t.Path("locked/s.ini"), "new") ? 1 : 0; }),
              0);
    EXPECT_EQ(t.Read("locked/s.ini"), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.Path("locked")), {}), 1);
}

TEST(UserConfigFolder, FollowsXdgConfigHome) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string before = saved ? saved : "";
    ::setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
    EXPECT_EQ(UserConfigFolder(), "/somewhere/config");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_TRUE(UserConfigFolder().ends_with("/.config"));
    if (saved) {
        ::setenv("XDG_CONFIG_HOME", before.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

}  // namespace
}  // namespace stowra

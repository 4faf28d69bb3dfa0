#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/ConfigFolder.h"
#include "platform/Folder.h"
#include "platform/PrivateProfile.h"
#include "platform/SystemProfile.h"
#include "support/TempTree.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/Unprivileged.h"
#endif

namespace stowra {
namespace {

// The settings' integer rule, and what the system's GetPrivateProfileInt makes of the same value
// with the default -7: it reads a number at the start of any text, 0 when there is none, wraps
// around on overflow, and knows only a lower-case "0x".
struct IntegerCase {
    std::string text;
    std::optional<std::int32_t> value;
    std::int32_t system;
};
const IntegerCase kIntegerCases[] = {
    {"0", 0, 0},
    {"00012", 12, 12},
    {"-5", -5, -5},
    {"2147483647", 2147483647, 2147483647},
    {"-2147483648", INT32_MIN, INT32_MIN},
    {"2147483648", std::nullopt, INT32_MIN},
    {"-2147483649", std::nullopt, INT32_MAX},
    {"99999999999999999999999", std::nullopt, -159383553},
    {"0x57DAA", 359850, 359850},
    {"0X57daa", 359850, 0},
    {"0x0", 0, 0},
    {"0xFFFFFFFF", -1, -1},
    {"0x000000000010", 16, 16},
    {"0x100000000", std::nullopt, 0},
    {"0x", std::nullopt, 0},
    {"0x-1", std::nullopt, 0},
    {"-0x10", std::nullopt, -16},
    {"", std::nullopt, -7},
    {"-", std::nullopt, 0},
    {"+5", std::nullopt, 5},
    {"12a", std::nullopt, 12},
    {"1 2", std::nullopt, 1},
    {"１２", std::nullopt, 0},
};

TEST(ParseProfileInteger, DecimalWithMinusAndHexadecimalAfter0x) {
    for (const IntegerCase& c : kIntegerCases) {
        EXPECT_EQ(ParseProfileInteger(c.text), c.value) << c.text;
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

// The reader's rules in one file, and what each query gives (strings with the default "-",
// integers with the default -1). On Windows the system's own profile functions must agree.
const char kReaderText[] =
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
    "[last]";
const char* const kReaderSections[] = {"Stowra", "CD-R 700MiB", " spaced ", "a]b", "last"};
// The system lists a repeated section again and trims the blanks inside the brackets.
const char* const kSystemSections[] = {"Stowra", "CD-R 700MiB", "stowra", "spaced", "a]b", "last"};

struct ReaderQuery {
    const char* section;
    const char* key;
    const char* text;
    std::int32_t integer;
    // Where the system's functions differ: the repeated section is not read at all, the keys below
    // a broken header go into the section before it, and a text is an integer of its leading digits.
    const char* systemText = nullptr;
    std::optional<std::int32_t> systemInteger = {};
};
const ReaderQuery kReaderQueries[] = {
    {"STOWRA", "OPTION", "5", 5},
    {"Stowra", "MinSize", "0x10", 16},
    {"Stowra", "Media", "2", 2, "-", -1},  // from the repeated section
    {"Stowra", "SrcFolder", "/a b", -1, nullptr, 0},
    {"Stowra", "DstFolder", " /quoted ", -1, nullptr, 0},
    {"Stowra", "Empty", "", -1},
    {"Stowra", "Quoted", "", -1},
    {"Stowra", "Single", "", -1},
    {"STOWRA", "zONE", "z", -1, nullptr, 0},
    {"Stowra", "NoEquals", "-", -1},
    {"CD-R 700MiB", "Total", "junk", -1, nullptr, 0},
    {" spaced ", "Cluster", "4", 4},
    {"a]b", "Total", "-", -1, "1", 1},  // keys below the broken header go nowhere
    {"missing", "Total", "-", -1},
};

TEST(ProfileReader, SectionsKeysAndFirstOccurrence) {
    const ProfileReader r(kReaderText);
    EXPECT_EQ(r.SectionNames(),
              std::vector<std::string>(std::begin(kReaderSections), std::end(kReaderSections)));
    for (const ReaderQuery& q : kReaderQueries) {
        EXPECT_EQ(r.ReadString(q.section, q.key, "-"), q.text) << q.section << "/" << q.key;
        EXPECT_EQ(r.ReadInteger(q.section, q.key, -1), q.integer) << q.section << "/" << q.key;
    }
}

TEST(ProfileReader, MissingFileHasNoSections) {
    test::TempTree t;
    EXPECT_TRUE(ProfileReader::Load(t.Path("none.ini")).SectionNames().empty());
    EXPECT_TRUE(ProfileReader::Load(t.Root()).SectionNames().empty());  // a folder
}

TEST(ProfileReader, AFileInUtf8GivesTheNamesInTheSystemsText) {
    // 表ソフト in UTF-8, as today's editors save it, with and without a byte order mark; a file in
    // the system's own text stays as it is.
    const std::string utf8 = "\xE8\xA1\xA8\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88";
    test::TempTree t;
    for (const std::string& head : {std::string("\xEF\xBB\xBF"), std::string()}) {
        t.Write("u.ini", head + "[" + utf8 + "]\r\nTotal=5\r\n");
        const ProfileReader r = ProfileReader::Load(t.Path("u.ini"));
        EXPECT_EQ(r.SectionNames(), std::vector<std::string>{"表ソフト"}) << head.size();
        EXPECT_EQ(r.ReadInteger("表ソフト", "Total", -1), 5);
    }
    t.Write("n.ini", "[表ソフト]\r\nTotal=6\r\n");
    EXPECT_EQ(ProfileReader::Load(t.Path("n.ini")).ReadInteger("表ソフト", "Total", -1), 6);
#ifndef _WIN32
    // A pipe would keep the reader waiting for a writer that never comes.
    ASSERT_EQ(::mkfifo(t.Path("fifo").c_str(), 0600), 0);
    EXPECT_TRUE(ProfileReader::Load(t.Path("fifo")).SectionNames().empty());
#endif
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

const std::string kRoundTripValues[] = {"",   " lead", "trail ", "\"quoted\"", "'q'",
                                        "\"", "a=b;c", "[x]",    "表ソ\\",     "\t"};

ProfileWriter RoundTripWriter() {
    ProfileWriter w;
    for (std::size_t i = 0; i < std::size(kRoundTripValues); ++i) {
        w.WriteString("S", "k" + std::to_string(i), kRoundTripValues[i]);
    }
    w.WriteString("S", "broken", std::string("one\r\ntwo\0three", 14));
    w.WriteString("evil\n[Stowra]", "k", "v");
    return w;
}

TEST(ProfileWriter, TextsSurviveTheRoundTrip) {
    const ProfileReader r(RoundTripWriter().Text());
    for (std::size_t i = 0; i < std::size(kRoundTripValues); ++i) {
        EXPECT_EQ(r.ReadString("S", "k" + std::to_string(i), "-"), kRoundTripValues[i]) << i;
    }
    EXPECT_EQ(r.ReadString("S", "broken", "-"), "onetwothree");
    EXPECT_EQ(r.SectionNames(), (std::vector<std::string>{"S", "evil[Stowra]"}));
}

#ifdef _WIN32
TEST(ProfileReader, ComparedWithTheSystemFunctions) {
    test::TempTree t;
    t.Write("reader.ini", kReaderText);
    const test::SystemProfile system(t.Path("reader.ini"));
    EXPECT_EQ(system.SectionNames(),
              std::vector<std::string>(std::begin(kSystemSections), std::end(kSystemSections)));
    for (const ReaderQuery& q : kReaderQueries) {
        EXPECT_EQ(system.ReadString(q.section, q.key, "-"), q.systemText ? q.systemText : q.text)
            << q.section << "/" << q.key;
        EXPECT_EQ(system.ReadInteger(q.section, q.key, -1), q.systemInteger.value_or(q.integer))
            << q.section << "/" << q.key;
    }
}

TEST(ParseProfileInteger, ComparedWithTheSystemFunctions) {
    test::TempTree t;
    int n = 0;
    for (const IntegerCase& c : kIntegerCases) {
        // A file of its own each time: the system may keep the last file it read.
        const std::string name = "int" + std::to_string(n++) + ".ini";
        t.Write(name, "[s]\r\nk=" + c.text + "\r\n");
        EXPECT_EQ(test::SystemProfile(t.Path(name)).ReadInteger("s", "k", -7), c.system) << c.text;
    }
}

TEST(ProfileWriter, TheSystemFunctionsReadWhatWeWrite) {
    test::TempTree t;
    t.Write("written.ini", RoundTripWriter().Text());
    const test::SystemProfile system(t.Path("written.ini"));
    for (std::size_t i = 0; i < std::size(kRoundTripValues); ++i) {
        EXPECT_EQ(system.ReadString("S", "k" + std::to_string(i), "-"), kRoundTripValues[i]) << i;
    }
    EXPECT_EQ(system.ReadString("S", "broken", "-"), "onetwothree");
    EXPECT_EQ(system.SectionNames(), (std::vector<std::string>{"S", "evil[Stowra]"}));
}
#endif

TEST(ReplaceFileContent, ReplacesInOneStepAndKeepsTheMode) {
    test::TempTree t;
    t.Write("s.ini", "old");
#ifdef _WIN32
    ::SetFileAttributesA(t.Path("s.ini").c_str(), FILE_ATTRIBUTE_HIDDEN);
#else
    ::chmod(t.Path("s.ini").c_str(), 0640);
#endif
    ASSERT_TRUE(ReplaceFileContent(t.Path("s.ini"), "new"));
    EXPECT_EQ(t.Read("s.ini"), "new");
#ifdef _WIN32
    EXPECT_EQ(::GetFileAttributesA(t.Path("s.ini").c_str()) & FILE_ATTRIBUTE_HIDDEN,
              DWORD{FILE_ATTRIBUTE_HIDDEN});
#else
    struct stat st {};
    ASSERT_EQ(::stat(t.Path("s.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif

    ASSERT_TRUE(ReplaceFileContent(t.Path("fresh.ini"), ""));
    EXPECT_EQ(t.Read("fresh.ini"), "");

#ifdef _WIN32
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.Root()), {}), 2);  // no leftovers
#else
    t.Link("link.ini", t.Path("s.ini"));
    ASSERT_TRUE(ReplaceFileContent(t.Path("link.ini"), "via link"));
    EXPECT_TRUE(std::filesystem::is_symlink(t.Path("link.ini")));
    EXPECT_EQ(t.Read("s.ini"), "via link");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.Root()), {}), 3);  // no leftovers
#endif
}

TEST(ReplaceFileContent, RefusedWritesLeaveTheOldFile) {
    test::TempTree t;
    t.Write("plain", "x");
    t.Folder("folder.ini");
    EXPECT_FALSE(ReplaceFileContent(t.Path("plain/s.ini"), "new"));
    EXPECT_FALSE(ReplaceFileContent(t.Path("missing/s.ini"), "new"));
    EXPECT_FALSE(ReplaceFileContent(t.Path("folder.ini"), "new"));
    EXPECT_FALSE(ReplaceFileContent("/proc/stowra-settings.ini", "new"));

    t.Folder("locked");
    t.Write("locked/s.ini", "old");
#ifdef _WIN32
    // A read-only file, and one that another program holds open without sharing it.
    const std::string path = t.Path("locked/s.ini");
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(ReplaceFileContent(path, "new"));
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(ReplaceFileContent(path, "new"));
    ::CloseHandle(held);
#else
    // A folder the user may not write: run as an unprivileged user, since root may write anywhere.
    ::chmod(t.Path("locked").c_str(), 0755);
    ::chmod(t.Root().c_str(), 0755);
    EXPECT_EQ(test::RunAsNobody([&] { return ReplaceFileContent(t.Path("locked/s.ini"), "new") ? 1 : 0; }),
              0);
#endif
    EXPECT_EQ(t.Read("locked/s.ini"), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.Path("locked")), {}), 1);
}

#ifdef _WIN32
TEST(UserConfigFolder, IsTheUsersApplicationData) {
    const std::string folder = UserConfigFolder();
    ASSERT_GT(folder.size(), 3u);
    EXPECT_EQ(folder.substr(1, 2), ":\\") << folder;
    EXPECT_TRUE(CanWriteInFolder(folder)) << folder;
    test::TempTree t;
    t.Write("file", "x");
    EXPECT_TRUE(MakeFolders(t.Path("\x95\x5C\\\x83\x5C")));  // 表\ソ: trail bytes are no delimiters
    EXPECT_NE(::GetFileAttributesA(t.Path("\x95\x5C").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(CanWriteInFolder(t.Path("\x95\x5C\\\x83\x5C")));
    EXPECT_FALSE(CanWriteInFolder(t.Path("missing")));
    EXPECT_FALSE(CanWriteInFolder(t.Path("file")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.Root()), {}), 2);  // no probe left
}
#else
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
#endif

}  // namespace
}  // namespace stowra

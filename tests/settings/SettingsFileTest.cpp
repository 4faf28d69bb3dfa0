#include <gtest/gtest.h>

#include <optional>

#include "platform/SystemProfile.h"
#include "platform/Text.h"
#include "settings/SettingsFile.h"
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

using namespace std::string_literals;

// The loaded state as lines of text, so a whole expectation reads at a glance.
std::string Describe(const AppSettings& s) {
    std::string out =
        Format("Options=%d MinSize=%d System=%d Slack=%d Media=%zu Src=[%s] Dst=[%s]\n", s.Options, s.MinSize,
               s.DefaultSystem, s.DefaultSlack, s.selected, s.SrcFolder.c_str(), s.DstFolder.c_str());
    for (const ProfileList::Entry& e : s.profiles) {
        const MediaProfile& p = *e.profile;
        out += Format("%s %d/%d/%d/%d%s\n", e.name.c_str(), p.Cluster, p.Total, p.System, p.Slack,
                      p.fileSystem == FileSystem::None      ? ""
                      : p.fileSystem == FileSystem::Iso9660 ? " iso"
                                                            : " udf");
    }
    return out;
}

const char* const kDefaults = "Options=1 MinSize=0 System=256 Slack=3840 Media=0 Src=[] Dst=[]\n";
// Built-ins added at load pack for ISO 9660 + Joliet; a section read from the file keeps its own.
const char* const kBuiltins =
    "CD-R 700MiB 2048/359850/256/3840 iso\n"
    "DVD-R 4.7GB(4.38GiB) 2048/2298496/256/3840 iso\n";

struct LoadCase {
    const char* title;
    std::optional<std::string> file;  // none: no settings file at all
    std::string expected;
    // Where the system's profile functions read the file otherwise: they list a repeated section
    // again and read only its first occurrence.
    std::vector<std::string> systemDiffers = {};
};

const LoadCase kLoadCases[] = {
    {"no settings file", std::nullopt, std::string(kDefaults) + kBuiltins},
    {"empty file", "", std::string(kDefaults) + kBuiltins},
    {"Stowra without Option", "[Stowra]\r\nMinSize=5\r\n",
     std::string("Options=0 MinSize=5 System=256 Slack=3840 Media=0 Src=[] Dst=[]\n") + kBuiltins},
    {"Media beyond the end", "[Stowra]\nOption=1\nMedia=7\n",
     std::string("Options=1 MinSize=0 System=256 Slack=3840 Media=1 Src=[] Dst=[]\n") + kBuiltins},
    {"negative Media", "[Stowra]\nOption=1\nMedia=-3\n", std::string(kDefaults) + kBuiltins},
    {"Media not a number", "[Stowra]\nOption=1\nMedia=one\n", std::string(kDefaults) + kBuiltins},
    {"deleted built-in comes back at the end with the current defaults",
     "[Stowra]\nOption=1\nMedia=1\nDefaultSystem=100\nDefaultSlack=200\n"
     "[DVD-R 4.7GB(4.38GiB)]\nCluster=2048\nTotal=2298496\nSystem=256\nSlack=3840\n"
     "[My disc]\nCluster=2048\nTotal=1000\nSystem=10\nSlack=5\n",
     "Options=1 MinSize=0 System=100 Slack=200 Media=1 Src=[] Dst=[]\n"
     "DVD-R 4.7GB(4.38GiB) 2048/2298496/256/3840\n"
     "My disc 2048/1000/10/5\n"
     "CD-R 700MiB 2048/359850/100/200 iso\n"},
    {"defaults as they stand when each section is read",
     "[Before]\nTotal=1000\n[Stowra]\nOption=0x41\nDefaultSystem=300\nDefaultSlack=4000\n[After]\nTotal="
     "2000\n",
     "Options=65 MinSize=0 System=300 Slack=4000 Media=0 Src=[] Dst=[]\n"
     "Before 2048/1000/256/3840\n"
     "After 2048/2000/300/4000\n"
     "CD-R 700MiB 2048/359850/300/4000 iso\n"
     "DVD-R 4.7GB(4.38GiB) 2048/2298496/300/4000 iso\n"},
    {"built-in test ignores letter case; hexadecimal total", "[cd-r 700MIB]\r\nTotal=0x57DAA\r\n",
     std::string(kDefaults) + "cd-r 700MIB 2048/359850/256/3840\n"
                              "DVD-R 4.7GB(4.38GiB) 2048/2298496/256/3840 iso\n"},
    {"empty profile section", "[Stowra]\nOption=1\nDefaultSystem=50\nDefaultSlack=60\n[Empty]\n",
     "Options=1 MinSize=0 System=50 Slack=60 Media=0 Src=[] Dst=[]\n"
     "Empty 2048/359850/50/60\n"
     "CD-R 700MiB 2048/359850/50/60 iso\n"
     "DVD-R 4.7GB(4.38GiB) 2048/2298496/50/60 iso\n"},
    {"folders byte for byte, all 32 option bits",
     "[Stowra]\nOption=-1\nMinSize=0xFFFFFFFF\nSrcFolder=/データ/in \"x\"\nDstFolder=C:\\out\\\n",
     std::string(
         "Options=-1 MinSize=-1 System=256 Slack=3840 Media=0 Src=[/データ/in \"x\"] Dst=[C:\\out\\]\n") +
         kBuiltins},
    {"junk and a header without its bracket", "\x01\xff\0zz\n[Stowra\nOption=5\n[P]]\nSlack=x\n"s,
     std::string(kDefaults) + "P] 2048/359850/256/3840\n" + kBuiltins},
    {"file systems: 1 and 2 are known, anything else is none",
     "[I]\nFileSystem=1\n[U]\nfilesystem=2\n"
     "[X]\nFileSystem=3\n[Y]\nFileSystem=-1\n",
     std::string(kDefaults) +
         "I 2048/359850/256/3840 iso\nU 2048/359850/256/3840 udf\n"
         "X 2048/359850/256/3840\nY 2048/359850/256/3840\n" +
         kBuiltins},
    {"repeated sections and keys: the first wins",
     "[A]\nTotal=1\nTotal=2\n[a]\nTotal=3\nSlack=4\n",
     std::string(kDefaults) + "A 2048/1/256/4\n" + kBuiltins,
     {"section names differ", "A/Slack: [4] system [\x01]"}},
};

std::string LoadText(const test::TempTree& t, const std::optional<std::string>& file, AppSettings& s) {
    std::remove(t.Path("s.ini").c_str());
    if (file) {
        t.Write("s.ini", *file);
    }
    LoadSettings(t.Path("s.ini"), s);
    return Describe(s);
}

TEST(LoadSettings, FollowsEveryRuleOfTheFile) {
    test::TempTree t;
    for (const LoadCase& c : kLoadCases) {
        AppSettings s;
        EXPECT_EQ(LoadText(t, c.file, s), c.expected) << c.title;
    }
}

TEST(LoadSettings, WithoutTheSectionTheFieldsKeepTheirValues) {
    test::TempTree t;
    AppSettings s;
    s.Options = 0x41;
    s.MinSize = 7;
    s.DefaultSystem = 10;
    EXPECT_EQ(LoadText(t, "[Mine]\nTotal=500\n[stowra]\nOption=5\n", s),
              "Options=65 MinSize=7 System=10 Slack=3840 Media=0 Src=[] Dst=[]\n"
              "Mine 2048/500/10/3840\n"
              "stowra 2048/359850/10/3840\n"
              "CD-R 700MiB 2048/359850/10/3840 iso\n"
              "DVD-R 4.7GB(4.38GiB) 2048/2298496/10/3840 iso\n");
}

TEST(SaveSettings, WritesStowraFirstThenTheProfilesInListOrder) {
    test::TempTree t;
    AppSettings s;
    LoadSettings(t.Path("s.ini"), s);
    s.SrcFolder = "/in ";
    s.profiles.Append("Blu-ray", MediaProfile{2048, 12219392, 256, 3840, FileSystem::Udf});
    s.selected = 2;
    SaveSettings(t.Path("s.ini"), s);
    EXPECT_EQ(
        t.Read("s.ini"),
        "[Stowra]\r\nOption=1\r\nMinSize=0\r\nDefaultSystem=256\r\nDefaultSlack=3840\r\nMedia=2\r\n"
        "SrcFolder=\"/in \"\r\nDstFolder=\r\n"
        "[CD-R 700MiB]\r\nCluster=2048\r\nTotal=359850\r\nSystem=256\r\nSlack=3840\r\nFileSystem=1\r\n"
        "[DVD-R "
        "4.7GB(4.38GiB)]\r\nCluster=2048\r\nTotal=2298496\r\nSystem=256\r\nSlack=3840\r\nFileSystem=1\r\n"
        "[Blu-ray]\r\nCluster=2048\r\nTotal=12219392\r\nSystem=256\r\nSlack=3840\r\nFileSystem=2\r\n");
}

TEST(SaveSettings, LoadSaveLoadIsStableAndSavingTwiceGivesTheSameBytes) {
    test::TempTree t;
    for (const LoadCase& c : kLoadCases) {
        AppSettings first;
        std::string loaded = LoadText(t, c.file, first);
        SaveSettings(t.Path("s.ini"), first);
        const std::string once = t.Read("s.ini");
        SaveSettings(t.Path("s.ini"), first);
        EXPECT_EQ(t.Read("s.ini"), once) << c.title;

        AppSettings second;
        LoadSettings(t.Path("s.ini"), second);
        EXPECT_EQ(Describe(second), loaded) << c.title;
        SaveSettings(t.Path("s.ini"), second);
        EXPECT_EQ(t.Read("s.ini"), once) << c.title;
    }
}

#ifdef _WIN32
// The system's own profile functions read every key of the settings as our reader does, in the
// files of the load cases and in the files we write from them.
TEST(LoadSettings, ComparedWithTheSystemFunctions) {
    const std::vector<std::string> keys = {"Option", "MinSize",   "DefaultSystem", "DefaultSlack",
                                           "Media",  "SrcFolder", "DstFolder",     "Cluster",
                                           "Total",  "System",    "Slack",         "FileSystem"};
    test::TempTree t;
    int n = 0;
    for (const LoadCase& c : kLoadCases) {
        // Files of their own: the system may keep the last file it read.
        const std::string name = "read" + std::to_string(n);
        const std::string read = t.Path(name), written = t.Path("written" + std::to_string(n++));
        AppSettings s;
        if (c.file) {
            t.Write(name, *c.file);
            EXPECT_EQ(test::DifferencesFromSystem(read, keys), c.systemDiffers) << c.title;
        }
        LoadSettings(read, s);
        SaveSettings(written, s);
        EXPECT_EQ(test::DifferencesFromSystem(written, keys), std::vector<std::string>()) << c.title;
    }
}
#endif

TEST(SaveSettings, RefusedWriteReportsThePathAndKeepsTheOldFile) {
    test::TempTree t;
    t.Write("plain", "x");
    AppSettings s;
    LoadSettings(t.Path("none.ini"), s);
    const std::string blocked = t.Path("plain/s.ini");
    try {
        SaveSettings(blocked, s);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), blocked + " に書き込めません");
    }

    t.Folder("locked");
    t.Write("locked/s.ini", "[Stowra]\r\nOption=3\r\n");
    const std::string path = t.Path("locked/s.ini");
    const auto refusedAs = [&] {
        try {
            SaveSettings(path, s);
        } catch (const std::runtime_error& e) {
            return e.what() == path + " に書き込めません" ? 0 : 2;
        }
        return 1;
    };
#ifdef _WIN32
    // A read-only file.
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(refusedAs(), 0);
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
    // A folder the user may not write, as an unprivileged user (root may write anywhere).
    ::chmod(t.Root().c_str(), 0755);
    EXPECT_EQ(test::RunAsNobody(refusedAs), 0);
#endif
    EXPECT_EQ(t.Read("locked/s.ini"), "[Stowra]\r\nOption=3\r\n");
}

TEST(SaveSettings, CreatesTheMissingPerUserFolder) {
    test::TempTree t;
    AppSettings s;
    LoadSettings(t.Path("none.ini"), s);
    SaveSettings(t.Path("config/stowra/stowra.ini"), s);
    EXPECT_TRUE(t.Exists("config/stowra/stowra.ini"));
}

TEST(SettingsPath, BesideTheProgramWithItsExtensionReplaced) {
    test::TempTree t;
    t.Folder("bin.d");
    const std::string bin = t.Path("bin.d") + kPathDelimiter;
    const std::string cfg = std::string("/cfg") + kPathDelimiter + "stowra" + kPathDelimiter;
    // Windows names each program's file after it; elsewhere the window and the command line
    // share "stowra.ini".
#ifdef _WIN32
    auto named = [](const char* ownName) { return std::string(ownName); };
#else
    auto named = [](const char*) { return std::string("stowra.ini"); };
#endif
    const struct {
        std::string program, expected, installedFolder = {};
    } cases[] = {
        {bin + "stowra", bin + "stowra.ini"},
        {bin + "Stowra.exe", bin + named("Stowra.ini")},
        {bin + "a.b.c", bin + named("a.b.ini")},
        {bin + ".hidden", bin + named(".hidden.ini")},
        {t.Path("missing/stowra"), cfg + "stowra.ini"},
        {"", cfg + "stowra.ini"},
        // Installed for all users: never beside the program, though root could write there.
        {bin + "stowra-cli", cfg + named("stowra-cli.ini"), t.Path("bin.d")},
        {bin + "stowra-cli", cfg + named("stowra-cli.ini"), bin},
        {bin + "stowra", bin + "stowra.ini", t.Path("bin")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SettingsPathFor(c.program, "/cfg", c.installedFolder), c.expected) << c.program;
    }
    EXPECT_TRUE(SettingsPath().ends_with(kPathDelimiter + named("settings_tests.ini"))) << SettingsPath();
}

#ifndef _WIN32  // a folder that cannot be written needs permissions that bind the user
TEST(SettingsPath, FolderThatCannotBeWrittenUsesTheUserConfiguration) {
    test::TempTree t;
    t.Folder("system");
    ::chmod(t.Root().c_str(), 0755);
    EXPECT_EQ(test::RunAsNobody([&] {
                  return SettingsPathFor(t.Path("system/stowra"), "/home/u/.config") ==
                                 "/home/u/.config/stowra/stowra.ini"
                             ? 0
                             : 1;
              }),
              0);
}
#endif

}  // namespace
}  // namespace stowra

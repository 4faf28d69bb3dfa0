#include <gtest/gtest.h>

#include <filesystem>

#include "support/Recorders.h"
#include "support/TempTree.h"
#include "ui/FolderChooser.h"
#include "ui/MainWindowModel.h"
#include "ui/MoveProgress.h"
#include "ui/NumberText.h"
#include "ui/OptionBits.h"

namespace stowra {
namespace {

TEST(NumberText, WhatLeavingANumericFieldMakesOfItsText) {
    const struct {
        const char* text;
        bool minimumSize;
        const char* shown;
        std::optional<std::int32_t> value;
    } cases[] = {
        {"", false, "0", 0},
        {"2048", false, "2048", 2048},
        {"+7", false, "+7", 7},
        {"-5", false, "-5", -5},
        {"-5", true, "0", 0},
        {"2147483647", false, "2147483647", 2147483647},
        {"-2147483648", false, "-2147483648", INT32_MIN},
        {"2147483648", false, "2147483648", std::nullopt},
        {"99999999999999999999999", true, "99999999999999999999999", std::nullopt},
        {" 5", false, " 5", std::nullopt},
        {"5 ", false, "5 ", std::nullopt},
        {"-", false, "-", std::nullopt},
        {"1,000", false, "1,000", std::nullopt},
        {"１２", false, "１２", std::nullopt},  // the field turns them into ASCII before this
    };
    for (const auto& c : cases) {
        const NumberTaken t = c.minimumSize ? TakeMinimumSize(c.text) : TakeNumber(c.text);
        EXPECT_EQ(t.text, c.shown) << c.text;
        EXPECT_EQ(t.value, c.value) << c.text;
        EXPECT_EQ(t.problem.empty(), c.value.has_value()) << c.text;
    }
    EXPECT_EQ(TakeNumber("4294967296").problem, "'4294967296' は整数ではありません");
    EXPECT_EQ(AsciiDigit(U'７'), '7');
    EXPECT_EQ(AsciiDigit(U'x'), std::nullopt);
}

TEST(MediaForm, ChecksRunInOrderAndNameTheFieldToFocus) {
    const struct {
        const char* name;
        std::int32_t cluster, total, system, slack;
        const char* message;  // nullptr: OK closes the dialog
        MediaField focus;
    } cases[] = {
        {"", 0, 0, 0, 0, "メディア名を入れてください", MediaField::Name},
        {"Stowra", 0, 0, 0, 0, "そのメディア名は使用できません", MediaField::Name},
        {"CD-R 700MiB", 0, 0, 0, 0, "そのメディア名はすでに使用されています", MediaField::Name},
        {"A[1]", 0, 0, 0, 0, "bad name", MediaField::Name},
        {"BD-R", 0, 0, 0, 0, "クラスタサイズを入れてください", MediaField::Cluster},
        {"BD-R", 2048, 0, 0, 0, "総サイズを入れてください", MediaField::Total},
        {"BD-R", 2048, 1000, 0, 0, "システムサイズはゼロより大きくしてください", MediaField::System},
        {"BD-R", 2048, 1000, 1000, 0, "システムサイズは総サイズより小さくなければいけません",
         MediaField::System},
        {"BD-R", 2048, 1000, 256, 1000, "スラックサイズは総サイズより小さくなければいけません",
         MediaField::Slack},
        {"cd-r 700mib", 2048, 1000, 256, 10, nullptr, MediaField::Name},
        {"BD-R", 2048, 12219392, 256, 3840, nullptr, MediaField::Name},
    };
    for (const bool addMode : {true, false}) {
        for (const auto& c : cases) {
            MediaForm form;
            form.addMode = addMode;
            // In edit mode the entry being edited keeps its own name.
            form.profileNames = {"DVD-R 4.7GB(4.38GiB)", "CD-R 700MiB"};
            form.selectedIndex = addMode ? 1 : 0;
            form.nameProblem = [](const std::string& name) {
                return name.find('[') != std::string::npos ? std::string("bad name") : std::string();
            };
            form.values = {c.name, c.cluster, c.total, c.system, c.slack, FileSystem::None};
            const std::optional<FormProblem> problem = form.Validate();
            ASSERT_EQ(problem.has_value(), c.message != nullptr) << c.name;
            if (problem) {
                EXPECT_EQ(problem->message, c.message);
                EXPECT_EQ(problem->focus, c.focus) << c.message;
            }
        }
    }
    MediaForm edit;
    edit.profileNames = {"CD-R 700MiB", "DVD"};
    edit.selectedIndex = 0;
    edit.values = {"CD-R 700MiB", 2048, 359850, 256, 3840, FileSystem::Iso9660};
    EXPECT_FALSE(edit.Validate()) << "the entry being edited may keep its name";
    edit.values.name = "DVD";
    EXPECT_TRUE(edit.Validate());

    MediaForm preset;
    preset.values.system = 300;
    EXPECT_FALSE(preset.PickPreset(0));
    EXPECT_FALSE(preset.PickPreset(static_cast<int>(kDiscPresets.size()) + 1));
    ASSERT_TRUE(preset.PickPreset(8));
    EXPECT_EQ(preset.values.name, "BD-R 25GB");
    EXPECT_EQ(preset.values.total, 12219392);
    EXPECT_EQ(preset.values.system, 300) << "the user's own figures stay";
    EXPECT_EQ(PresetItems().size(), kDiscPresets.size() + 1);
    EXPECT_EQ(SizeTip(3840, 2048), "7.5000 MiB");
}

TEST(OptionBits, EachDialogChangesOnlyItsOwnBits) {
    const std::int32_t high = 0x12340000;
    // All six boxes cleared: bits 3, 7 and the high bits stay.
    EXPECT_EQ(ApplyOptionChecks(high | 0xFF, {}), high | 0x88);
    EXPECT_EQ(ApplyOptionChecks(high, {true, false, true, false, true, false}), high | 0x01 | 0x04 | 0x20);
    EXPECT_EQ(ApplyOptionChecks(0, {false, false, false, false, false, true}), 0x40);
    EXPECT_EQ(ApplyOptionChecks(0x88, {false, false, false, false, false, false, true}), 0x288);
    EXPECT_EQ(ApplyOptionChecks(0x288, {false, false, false, false, false, false, false, true}), 0x188);

    struct GroupCase {
        std::int32_t options;
        int item;
    } items[] = {{0, 0}, {0x08, 1}, {0x80, 2}, {0x88, 1}, {high | 0x80, 2}};
    for (const auto& c : items) {
        EXPECT_EQ(GroupItemOf(c.options), c.item) << c.options;
    }
    EXPECT_EQ(ApplyGroupItem(0x88 | 0x41 | high, 1), 0x08 | 0x41 | high);
    EXPECT_EQ(ApplyGroupItem(0x80 | 0x7F, 0), 0x77);
    EXPECT_EQ(ApplyGroupItem(0x08, 2), 0x80);
}

// A window that records what its model shows and answers its dialogs from a script.
struct FakeView : MainWindowView {
    LogRecorder log;
    test::ScriptedPrompter prompter;
    std::vector<std::string> profiles;
    std::size_t shownSelection = 0;
    std::vector<TreeNode> tree;
    int treeShows = 0;
    bool moveEnabled = false;
    std::function<bool(MediaForm&)> media;
    std::function<bool(OptionsForm&)> options;
    std::function<bool(int&)> grouping;

    void ShowProfiles(const std::vector<std::string>& names, std::size_t selected) override {
        profiles = names;
        shownSelection = selected;
    }
    void ShowTree(const std::vector<TreeNode>& nodes) override {
        tree = nodes;
        ++treeShows;
    }
    void ShowList(ListMode) override {}
    void SetMoveEnabled(bool enabled) override { moveEnabled = enabled; }
    void ShowScanProgress(const std::string& text, bool done) override {
        scanProgress.push_back(done ? "done: " + text : text);
    }
    std::vector<std::string> scanProgress;
    LogPane& Log() override { return log; }
    Prompter& Messages() override { return prompter; }
    bool EditMedia(MediaForm& form) override { return media && media(form); }
    bool EditOptions(OptionsForm& form) override { return options && options(form); }
    bool EditGrouping(int& item) override { return grouping && grouping(item); }
};

struct ModelFixture {
    test::TempTree dir;
    FakeView view;
    MainWindowModel model{view};

    explicit ModelFixture(const std::string& settings = "[Stowra]\r\nMedia=0\r\n[A]\r\n[B]\r\n[C]\r\n") {
        dir.Write("stowra.ini", settings);
        model.Load(dir.Path("stowra.ini"));
    }
    // Pretends a scan left a result, so what clears it shows.
    void FakeResult() {
        model.state.result.media.resize(1);
        view.moveEnabled = true;
    }
};

TEST(MainWindowModel, WhatEachProfileActionSelectsAndWhetherItKeepsTheResult) {
    enum class Act { Select0, Select2, Delete, DeleteRefused, Add, AddCancelled, Edit };
    const std::string cd = "CD-R 700MiB", dvd = "DVD-R 4.7GB(4.38GiB)";  // added to every list
    const struct {
        std::size_t start;
        Act act;
        std::vector<std::string> profiles;
        std::size_t selected;
        bool resultKept;
    } cases[] = {
        {0, Act::Select0, {"A", "B", "C", cd, dvd}, 0, true},  // the current one again: nothing changes
        {0, Act::Select2, {"A", "B", "C", cd, dvd}, 2, false},
        {0, Act::Delete, {"B", "C", cd, dvd}, 0, false},  // the first goes: the former second
        {1, Act::Delete, {"A", "C", cd, dvd}, 0, false},  // else the one before
        {4, Act::Delete, {"A", "B", "C", cd}, 3, false},
        {1, Act::DeleteRefused, {"A", "B", "C", cd, dvd}, 1, true},
        {1, Act::Add, {"A", "B", "C", cd, dvd, "BD-R 25GB"}, 5, false},
        {1, Act::AddCancelled, {"A", "B", "C", cd, dvd}, 1, true},
        {1, Act::Edit, {"A", "B2", "C", cd, dvd}, 1, true},
    };
    for (const auto& c : cases) {
        ModelFixture f;
        f.model.SelectProfile(c.start);
        f.FakeResult();
        f.view.media = [&](MediaForm& form) {
            EXPECT_EQ(form.addMode, c.act != Act::Edit);
            EXPECT_EQ(form.values.fileSystem, c.act == Act::Edit ? FileSystem::None : FileSystem::Iso9660);
            form.values.name = c.act == Act::Edit ? "B2" : "BD-R 25GB";
            form.values.total = 12219392;
            return c.act != Act::AddCancelled;
        };
        if (c.act == Act::DeleteRefused) {
            f.view.prompter.answers = {MessageAnswer::No};
        }
        switch (c.act) {
            case Act::Select0:
                f.model.SelectProfile(0);
                break;
            case Act::Select2:
                f.model.SelectProfile(2);
                break;
            case Act::Delete:
            case Act::DeleteRefused:
                f.model.DeleteProfile();
                break;
            case Act::Add:
            case Act::AddCancelled:
                f.model.AddProfile();
                break;
            case Act::Edit:
                f.model.EditProfile();
                break;
        }
        EXPECT_EQ(f.view.profiles, c.profiles) << static_cast<int>(c.act);
        EXPECT_EQ(f.model.Selected(), c.selected) << static_cast<int>(c.act);
        // A pick is the selector's own; what the model changes itself, it shows.
        const bool shown = c.act == Act::Delete || c.act == Act::Add || c.act == Act::Edit;
        EXPECT_EQ(f.view.shownSelection, shown ? c.selected : 0) << static_cast<int>(c.act);
        EXPECT_EQ(f.model.state.HasResult(), c.resultKept) << static_cast<int>(c.act);
        EXPECT_EQ(f.view.moveEnabled, c.resultKept) << static_cast<int>(c.act);
    }
    ModelFixture one;
    for (int i = 0; i < 5; ++i) one.model.DeleteProfile();
    EXPECT_EQ(one.view.profiles, std::vector<std::string>{dvd});
    EXPECT_EQ(one.view.prompter.asked.back().text, "最低でも１つのメディア情報が必要です");
}

TEST(MainWindowModel, ASettingsFileThatCannotBeReadOrWrittenIsSaidAtStart) {
    enum class Kind { Settings, MarkedSettings, Folder, Binary, NoHeader, FolderIsAFile };
    const struct {
        Kind kind;
        const char* problem;  // the start of the question; nullptr: none is asked
        bool kept;            // the file is left as it was when the window closes
    } cases[] = {
        {Kind::Settings, nullptr, false},
        {Kind::MarkedSettings, nullptr, false},  // saved by an editor with a byte order mark
        {Kind::Folder, "設定ファイルは通常のファイルでなければなりません: ", true},
        {Kind::Binary, "設定ファイルとして読めない内容です: ", true},
        {Kind::NoHeader, "設定ファイルとして読めない内容です: ", true},
        {Kind::FolderIsAFile, "", false},
    };
    for (const auto& c : cases) {
        for (const MessageAnswer answer : {MessageAnswer::Yes, MessageAnswer::No}) {
            test::TempTree dir;
            std::string path = dir.Path("stowra.ini");
            const std::string content = c.kind == Kind::Binary     ? std::string("PK\x03\x04\0\0[x]", 10)
                                        : c.kind == Kind::NoHeader ? "Option=1\nMedia=0\n"
                                        : c.kind == Kind::MarkedSettings
                                            ? "\xEF\xBB\xBF[Stowra]\r\nOption=0\r\n"
                                            : "[Stowra]\r\nOption=0\r\n";
            if (c.kind == Kind::Folder) {
                dir.Folder("stowra.ini");
            } else if (c.kind == Kind::FolderIsAFile) {
                dir.Write("file", "x");
                path = dir.Path("file/stowra.ini");
            } else {
                dir.Write("stowra.ini", content);
            }
            FakeView view;
            view.prompter.answers = {answer};
            MainWindowModel model(view);
            const bool opens = model.Load(path);
            EXPECT_EQ(opens, c.problem == nullptr || answer == MessageAnswer::Yes)
                << static_cast<int>(c.kind);
            ASSERT_EQ(view.prompter.asked.size(), c.problem == nullptr ? 0u : 1u) << static_cast<int>(c.kind);
            if (c.problem != nullptr) {
                EXPECT_EQ(view.prompter.asked[0].text.rfind(c.problem, 0), 0u) << view.prompter.asked[0].text;
                EXPECT_NE(view.prompter.asked[0].text.find(path), std::string::npos);
                EXPECT_EQ(view.prompter.asked[0].buttons, MessageButtons::YesNo);
            }
            if (opens) {
                EXPECT_GE(view.profiles.size(), 2u) << "the built-in discs at least";
            }
            if (opens && c.kind != Kind::FolderIsAFile) {
                model.Save(path, "/src", "/dst");
                const bool same = c.kind == Kind::Folder ? std::filesystem::is_directory(path)
                                                         : dir.Read("stowra.ini") == content;
                EXPECT_EQ(same, c.kept) << static_cast<int>(c.kind);
            }
        }
    }
}

TEST(MainWindowModel, TheScanShowsItsCountsAFewTimesASecondAndTheirEnd) {
    ModelFixture f;
    for (int i = 0; i < 1000; ++i) {
        f.model.ScanProgress("found " + std::to_string(i), false);
    }
    f.model.ScanProgress("found 1000", true);
    EXPECT_EQ(f.view.scanProgress, (std::vector<std::string>{"found 0", "done: found 1000"}));
}

TEST(MainWindowModel, OptionsAndGroupingChangeOnlyTheirBits) {
    ModelFixture f("[Stowra]\r\nOption=0x10088\r\nMinSize=0\r\n");
    const struct {
        bool index, ok;
        std::int32_t options;
        bool resultKept;
        bool checksums = false;
    } cases[] = {
        {false, false, 0x10088, true},
        {false, true, 0x10088 | 0x02, true},                 // hidden files change the next scan only
        {true, true, 0x10088 | 0x02 | 0x10, false},          // the index file changes what goes onto a disc
        {false, true, 0x10088 | 0x02 | 0x100, false, true},  // and so does the checksum file
    };
    for (const auto& c : cases) {
        f.FakeResult();
        f.view.options = [&](OptionsForm& form) {
            form.checks[1] = true;
            form.checks[3] = c.index;
            form.checks[7] = c.checksums;
            form.minSize = 1024;
            return c.ok;
        };
        f.model.EditOptions();
        EXPECT_EQ(f.model.settings.Options, c.options);
        EXPECT_EQ(f.model.settings.MinSize, c.ok ? 1024 : 0);
        EXPECT_EQ(f.model.state.HasResult(), c.resultKept);
    }
    // Both grouping bits set: the dialog opens on item 1, and OK clears bit 7.
    f.view.grouping = [](int& item) {
        EXPECT_EQ(item, 1);
        return true;
    };
    f.model.EditGrouping();
    EXPECT_EQ(f.model.settings.Options, 0x10008 | 0x02 | 0x100);
}

TEST(ResultView, TreeCollapseAndColumnWidths) {
    ScanState state;
    state.scanStamp = "20261209-101500";
    state.result.media.resize(2);
    const std::vector<TreeNode> tree = ResultTree(state);
    ASSERT_EQ(tree.size(), 4u);
    EXPECT_EQ(tree[0].caption, "20261209-101500");
    EXPECT_EQ(tree[2].caption, "2");
    EXPECT_EQ(tree[2].parent, 0);
    EXPECT_EQ(tree[3].caption, "残り");
    EXPECT_EQ(tree[3].parent, -1);
    const struct {
        int selected, collapsed, after;
    } collapses[] = {{2, 0, 0}, {0, 0, 0}, {3, 0, 3}, {1, 3, 1}, {9, 0, 9}};
    for (const auto& c : collapses) {
        EXPECT_EQ(SelectionAfterCollapse(tree, c.selected, c.collapsed), c.after) << c.selected;
    }
    // Wide enough: as designed; too narrow: each narrowed in proportion, never below the least.
    EXPECT_EQ(FitWidths({30, 80, 100, 100}, {20, 40, 50, 60}, 400), (std::array<int, 4>{30, 80, 100, 100}));
    EXPECT_EQ(FitWidths({30, 80, 100, 100}, {20, 40, 50, 60}, 100), (std::array<int, 4>{20, 40, 50, 60}));
    EXPECT_EQ(FitWidths({30, 80, 100, 100}, {20, 40, 50, 60}, 250), (std::array<int, 4>{25, 62, 78, 82}));
    EXPECT_EQ(FileColumnWidths(300, 6.0), (std::array<int, 2>{200, 84}));
    EXPECT_EQ(FileColumnWidths(300, 9.0), (std::array<int, 2>{150, 126}));
    EXPECT_EQ(FileColumnWidths(50, 6.0)[0], 0);
}

// A progress window that records what it was told.
struct FakeProgress : ProgressView {
    std::vector<std::string> labels;
    int closes = 0;
    bool cancel = false;
    void ShowProgress(const std::string& label, int) override { labels.push_back(label); }
    bool CancelRequested() override { return cancel; }
    void CloseProgress() override { ++closes; }
};

TEST(MoveProgress, TheReplaceQuestionIsAskedOverTheProgressAnyOtherMessageAfterIt) {
    const struct {
        MessageButtons buttons;
        int closes;
    } cases[] = {{MessageButtons::YesAllNoCancel, 0}, {MessageButtons::Ok, 1}, {MessageButtons::YesNo, 1}};
    for (const auto& c : cases) {
        FakeProgress view;
        test::ScriptedPrompter messages;
        MoveProgressModel progress(view, messages, std::chrono::milliseconds(0));
        EXPECT_TRUE(progress.Progress({0, 0, 3, 0, 0}));
        progress.Ask("question", "", MessageIcon::Question, c.buttons);
        EXPECT_EQ(view.closes, c.closes);
        EXPECT_EQ(messages.asked.size(), 1u);
        progress.Progress({3, 0, 3, 0, 0});
        EXPECT_EQ(view.closes, 1) << "the last file closes it, once";
        EXPECT_EQ(view.labels.size(), c.closes == 0 ? 2u : 1u) << "nothing shows after it closed";
    }
}

TEST(MoveProgress, DrawnAFewTimesASecondCancelHeardAtEveryFile) {
    FakeProgress view;
    test::ScriptedPrompter messages;
    MoveProgressModel progress(view, messages, std::chrono::hours(1));
    for (std::uint64_t i = 0; i < 1000; ++i) {
        EXPECT_TRUE(progress.Progress({i, 0, 2000, 0, 0}));
    }
    EXPECT_EQ(view.labels.size(), 1u) << "the first file opens it; the rest wait for the interval";
    view.cancel = true;
    EXPECT_FALSE(progress.Progress({1000, 1, 2000, 1 << 20, 4 << 20}));
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(
        MoveProgressLabel({1, 1, 3, 1 << 20, 4 << 20}),
        "ファイルを移動しています・・・\n移動済み 1 / 3 ファイル、移動しなかったファイル 1  (1.0000 MiB / "
        "4.0000 MiB)");
    EXPECT_EQ(MoveProgressPermille({1, 1, 3, 1 << 20, 4 << 20}), 250);
    EXPECT_EQ(MoveProgressPermille({1, 1, 3, 0, 0}), 666);
    EXPECT_EQ(MoveProgressPermille({}), 0);
}

TEST(MainWindowModel, AMoveThatLeavesFilesBehindListsEachWithItsReason) {
    for (const std::size_t failures : {std::size_t{2}, kListedMoveFailures + 5}) {
        ModelFixture f;
        std::vector<BatchMoveFailure> list(failures, {"/src/a.jpg", "/proc/1/a.jpg", "Permission denied"});
        f.model.ShowMoveFailures(list);
        const std::vector<std::string> lines = f.view.log.Lines();
        ASSERT_EQ(lines.size(), std::min(failures, kListedMoveFailures + 1));
        EXPECT_EQ(lines[0], "移動しなかったファイル: /src/a.jpg -> /proc/1/a.jpg: Permission denied");
        if (failures > kListedMoveFailures) {
            EXPECT_EQ(lines.back(), "ほかに移動しなかったファイル 5");
        }
        EXPECT_EQ(f.view.log.Runs().front().color, LogColor::Red);
    }
    // A file gone since the scan: its line stands in the log when the message shows.
    ModelFixture f;
    for (int s : {95, 50, 45, 40, 30, 20, 12, 8})
        f.dir.File("src/s" + std::to_string(s) + ".bin", s * 2048ull);
    f.model.settings.profiles.Append("Example", {2048, 100, 10, 4, FileSystem::None});
    f.model.SelectProfile(f.model.settings.profiles.size() - 1);
    f.model.Scan(f.dir.Path("src"));
    ASSERT_TRUE(f.model.state.HasResult());
    std::filesystem::remove(f.dir.Path("src/s45.bin"));
    f.dir.Folder("out");
    std::vector<std::string> linesAtMessage;
    f.view.prompter.onAsk = [&] { linesAtMessage = f.view.log.Lines(); };
    FakeProgress progress;
    MoveProgressModel sink(progress, f.view.prompter);
    f.model.Move(f.dir.Path("out"), sink, sink);
    EXPECT_EQ(f.view.prompter.asked.back().text, "移動に失敗したファイルがありました");
    ASSERT_EQ(linesAtMessage.size(), 1u);
    EXPECT_EQ(linesAtMessage[0].rfind("移動しなかったファイル: " + f.dir.Path("src/s45.bin") + " -> ", 0),
              0u);
    EXPECT_FALSE(f.model.state.HasResult());
}

class ScriptedChooser : public FolderChooser {
public:
    std::string answer;
    std::vector<std::string> titles;
    std::string SelectFolder(std::string_view title) override {
        titles.emplace_back(title);
        return answer;
    }
};

TEST(SelectFolder, ChoosingASourceClearsTheResultsChoosingADestinationDoesNot) {
    struct Case {
        bool source;
        std::string answer;
        std::string text;  // the field afterwards
        int clears;
    } cases[] = {
        {true, "/chosen", "/chosen", 1},
        {true, "", "typed", 0},
        {false, "/chosen", "/chosen", 0},
        {false, "", "typed", 0},
    };
    for (const Case& c : cases) {
        ScriptedChooser chooser;
        chooser.answer = c.answer;
        test::RecordingWindow w;
        std::string field = "typed";
        bool chosen =
            c.source ? ChooseSourceFolder(chooser, field, w) : ChooseDestinationFolder(chooser, field);
        EXPECT_EQ(chosen, !c.answer.empty());
        EXPECT_EQ(field, c.text);
        EXPECT_EQ(w.clears, c.clears);
        ASSERT_EQ(chooser.titles.size(), 1u);
        EXPECT_EQ(chooser.titles[0],
                  c.source ? "入力フォルダを指定してください" : "出力フォルダを指定してください");
    }
}

TEST(VerifyMenu, TheChosenFolderIsCheckedIntoTheLogWithProgress) {
    const struct {
        const char* what;
        std::string content;                                 // of a.txt when checked
        std::string answer;                                  // the folder chosen; empty: cancelled
        std::vector<std::pair<LogColor, std::string>> runs;  // after the "verify" line
    } cases[] = {
        {"as written",
         "abc",
         "disc",
         {{LogColor::Blue,
           "1 ファイルを確認しました: OK 1、変更 0、見つからない 0、読めない 0、一覧にない 0\n"}}},
        {"changed",
         "abd",
         "disc",
         {{LogColor::Red,
           "変更されています: a.txt\n"
           "1 ファイルを確認しました: OK 0、変更 1、見つからない 0、読めない 0、一覧にない 0\n"}}},
        {"cancelled", "abc", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ModelFixture f;
        f.dir.Write("disc/a.txt", c.content);
        f.dir.Write("disc/_sha256_x-1.txt",
                    "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  a.txt\n");
        ScriptedChooser chooser;
        chooser.answer = c.answer.empty() ? "" : f.dir.Path(c.answer);
        FakeProgress view;
        MoveProgressModel sink(view, f.view.prompter, std::chrono::milliseconds(0));
        f.view.log.Clear();
        f.model.Verify(chooser, sink);
        EXPECT_EQ(chooser.titles,
                  std::vector<std::string>{"確認するメディアまたはメディアフォルダを指定してください"});
        std::vector<std::pair<LogColor, std::string>> runs;
        for (const auto& r : f.view.log.Runs()) {
            runs.emplace_back(r.color, r.text);
        }
        if (c.answer.empty()) {
            EXPECT_TRUE(runs.empty());
            continue;
        }
        ASSERT_FALSE(runs.empty());
        EXPECT_EQ(runs[0].second, "\n確認: " + chooser.answer + "\n");
        runs.erase(runs.begin());
        EXPECT_EQ(runs, c.runs);
        EXPECT_FALSE(view.labels.empty()) << "the progress was shown";
        EXPECT_GE(view.closes, 1);
    }
}

}  // namespace
}  // namespace stowra

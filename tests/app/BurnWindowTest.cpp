#include <gtest/gtest.h>

#include <QMenuBar>
#include <QTest>
#include <QTextBlock>

#include "app/BurnFromWindow.h"
#include "app/TMainForm.h"
#include "burn/BurnLibraries.h"
#include "burn/ImageFile.h"
#include "frontend/LogRecorder.h"
#include "support/Recorders.h"
#include "support/TempTree.h"

namespace stowra {
namespace {

using test::TempTree;

// One line per disc in the log: blue when verified, red with the reason when refused; nothing
// when the user does not insert the disc.
TEST(BurnFromWindow, OneLogLinePerDisc) {
    const struct {
        const char* what;
        bool written;  // the target already holds a disc
        bool udf;
        MessageAnswer insert;
        std::size_t lines;
        LogColor color;
    } rows[] = {
        {"verified", false, false, MessageAnswer::Ok, 1, LogColor::Blue},
        {"UDF, verified", false, true, MessageAnswer::Ok, 1, LogColor::Blue},
        {"not blank", true, false, MessageAnswer::Ok, 1, LogColor::Red},
        {"no disc inserted", false, false, MessageAnswer::Cancel, 0, LogColor::WindowText},
    };
    for (const auto& row : rows) {
        TempTree t;
        t.Write("20261209-120000/1/a.txt", "ab\n");
        t.Write("20261209-120000/1/sub/b.bin", std::string(300000, 'b'));
        if (row.written) {
            t.Write("disc.iso", "x");
        }
        BurnChoice choice;
        choice.folders = {t.Path("20261209-120000/1")};
        choice.device = "stdio:" + t.Path("disc.iso");
        choice.udf = row.udf;
        test::ScriptedPrompter prompter;
        prompter.answers = {row.insert};
        LogRecorder log;
        BurnFromWindow(nullptr, choice, prompter, log);
        std::size_t lines = 0;
        for (const LogRecorder::Run& r : log.Runs()) {
            if (r.text.find("1") != std::string::npos && r.color != LogColor::WindowText) {
                ++lines;
                EXPECT_EQ(r.color, row.color) << row.what << ": " << r.text;
            }
        }
        EXPECT_EQ(lines, row.lines) << row.what;
        EXPECT_EQ(prompter.asked.size(), 1u) << row.what;
    }
}

class CountingView : public ProgressView {
public:
    int shown = 0;
    int closed = 0;
    bool cancel = false;
    void ShowProgress(const std::string&, int) override { ++shown; }
    bool CancelRequested() override { return cancel; }
    void CloseProgress() override { ++closed; }
};

// One line in the log for an image or a drive's disc: blue when verified, red naming the damaged
// file, the file that differs from the folder, or the stop.
TEST(VerifyDiscFromWindow, OneLogLine) {
    const struct {
        const char* what;
        bool flip;        // one byte of big.bin's data flipped in the image
        bool drive;       // read through libburn's file pseudo-drive
        bool withFolder;  // compared with the disc folder, whose a.txt changed meanwhile
        bool cancel;
        LogColor color;
        const char* named;  // in the line
    } rows[] = {
        {"good image", false, false, false, false, LogColor::Blue, "disc.iso"},
        {"flipped byte", true, false, false, false, LogColor::Red, "big.bin"},
        {"flipped byte, through the drive", true, true, false, false, LogColor::Red, "big.bin"},
        {"changed in the folder", false, false, true, false, LogColor::Red, "a.txt"},
        {"cancelled", false, false, false, true, LogColor::Red, "disc.iso"},
    };
    for (const auto& row : rows) {
        TempTree t;
        t.Write("disc/a.txt", "ab\n");
        t.Write("disc/big.bin", std::string(3000000, 'b'));
        {
            // Shut down again before the check sets the libraries up for itself.
            burning::BurnLibraries libraries;
            std::string error;
            auto image = burning::OpenImage({t.Path("disc"), FileSystem::Iso9660, {}}, error);
            ASSERT_TRUE(image && burning::WriteImageFile(*image, t.Path("disc.iso"), {}, error)) << error;
        }
        if (row.flip) {
            std::string bytes = t.Read("disc.iso");
            bytes[bytes.find(std::string(2048, 'b')) + 1000] = 'X';
            t.Write("disc.iso", bytes);
        }
        if (row.withFolder) {
            t.Write("disc/a.txt", "xy\n");
        }
        burning::DiscCheckRequest request;
        (row.drive ? request.device : request.image) = t.Path("disc.iso");
        request.folder = row.withFolder ? t.Path("disc") : std::string();
        CountingView view;
        view.cancel = row.cancel;
        LogRecorder log;
        VerifyDiscFromWindow(request, view, log);
        std::size_t lines = 0;
        for (const LogRecorder::Run& r : log.Runs()) {
            if (r.color != LogColor::WindowText) {
                ++lines;
                EXPECT_EQ(r.color, row.color) << row.what << ": " << r.text;
                EXPECT_NE(r.text.find(row.named), std::string::npos) << row.what << ": " << r.text;
            }
        }
        EXPECT_EQ(lines, 1u) << row.what;
        EXPECT_GT(view.shown, 0) << row.what;
        EXPECT_EQ(view.closed, 1) << row.what;
    }
}

// The window's entry: the image from the file browser, the question whether to compare with a
// folder, and the line in the log pane, in the check's colour.
TEST(VerifyDiscFromWindow, TheWindowsImageEntry) {
    TempTree t;
    t.Write("disc/a.txt", "ab\n");
    {
        burning::BurnLibraries libraries;
        std::string error;
        auto image = burning::OpenImage({t.Path("disc"), FileSystem::Iso9660, {}}, error);
        ASSERT_TRUE(image && burning::WriteImageFile(*image, t.Path("disc.iso"), {}, error)) << error;
    }
    t.Write("disc/a.txt", "xy\n");
    test::ScriptedPrompter prompter;
    TMainForm::Services s;
    s.settingsPath = t.Path("stowra.ini");
    s.prompter = &prompter;
    s.selectFile = [&](const QString&, const QString&) { return ToQt(t.Path("disc.iso")); };
    s.selectFolder = [&](const QString&, const QString&) { return ToQt(t.Path("disc")); };
    TMainForm form(std::move(s));
    const struct {
        MessageAnswer compare;
        QColor color;
    } rows[] = {{MessageAnswer::No, QColor(0, 0, 255)}, {MessageAnswer::Yes, QColor(255, 0, 0)}};
    for (const auto& row : rows) {
        prompter.answers = {row.compare};
        form.MenuVerifyImage->trigger();
        ASSERT_FALSE(prompter.asked.empty());
        EXPECT_EQ(prompter.asked.back().buttons, MessageButtons::YesNo);
        const QTextBlock last = form.RichEdit->document()->lastBlock().previous();
        EXPECT_TRUE(last.text().contains(QStringLiteral("disc.iso"))) << last.text().toStdString();
        QTextCursor c(last);
        c.setPosition(last.position() + 2);
        EXPECT_EQ(c.charFormat().foreground().color(), row.color) << last.text().toStdString();
        EXPECT_TRUE(form.menuBar()->isEnabled());
    }
}

}  // namespace
}  // namespace stowra

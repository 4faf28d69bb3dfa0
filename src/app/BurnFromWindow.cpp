#include "app/BurnFromWindow.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "burn/BurnLibraries.h"
#include "burn/Burner.h"
#include "burn/DiscCheck.h"
#include "dialogs/QtPrompter.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

namespace {

// The progress of one disc; Cancel only raises a flag, which the burn's progress call reads.
class BurnProgressWindow : public QDialog {
public:
    explicit BurnProgressWindow(QWidget* owner) : QDialog(owner) {
        setWindowTitle(QTr("書き込み"));
        setWindowModality(Qt::WindowModal);
        label_ = new QLabel(this);
        bar_ = new QProgressBar(this);
        bar_->setRange(0, 1000);
        auto* cancel = new QPushButton(QTr("キャンセル"), this);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(label_);
        layout->addWidget(bar_);
        layout->addWidget(cancel);
        connect(cancel, &QPushButton::clicked, this, [this] { cancelAsked_ = true; });
        setMinimumWidth(420);
    }
    void Show(const burning::BurnProgress& p) {
        const double part = p.total > 0 ? static_cast<double>(p.bytes) / static_cast<double>(p.total) : 0;
        bar_->setValue(static_cast<int>(part * 1000));
        const std::string text =
            p.verifying
                ? Format(Tr("確認中 %5.1f %%"), part * 100)
                : Format(Tr("書き込み中 %5.1f %%  %.1f MB/s  残り %d 秒  バッファ %d %%"), part * 100,
                         p.megabytesPerSecond, p.secondsLeft < 0 ? 0 : p.secondsLeft, p.bufferPercent);
        label_->setText(QString::fromUtf8(text.c_str()));
    }
    bool TakeCancel() {
        const bool asked = cancelAsked_;
        cancelAsked_ = false;
        return asked;
    }

protected:
    void reject() override { cancelAsked_ = true; }  // Escape and the close box ask too

private:
    QLabel* label_;
    QProgressBar* bar_;
    bool cancelAsked_ = false;
};

}  // namespace

void BurnFromWindow(QWidget* owner, const BurnChoice& choice, Prompter& prompter, LogPane& log) {
    burning::BurnLibraries libraries;
    if (!libraries.Ready()) {
        prompter.Ask(libraries.Error(), "", MessageIcon::Stop, MessageButtons::Ok);
        return;
    }
    burning::BurnOptions options;
    options.device = choice.device;
    options.speedKBs = choice.speedKBs;
    options.writeType = choice.writeType == 1   ? burning::WriteType::Tao
                        : choice.writeType == 2 ? burning::WriteType::Sao
                                                : burning::WriteType::Auto;
    options.verify = choice.verify;
    options.simulate = choice.simulate;
    const std::size_t count = choice.folders.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& folder = choice.folders[i];
        const std::string ask =
            Format(Tr("空のディスク %zu / %zu を入れてください:\n%s"), i + 1, count, folder.c_str());
        if (prompter.Ask(ask, Tr("書き込み"), MessageIcon::Information, MessageButtons::OkCancel) !=
            MessageAnswer::Ok) {
            return;
        }
        BurnProgressWindow window(owner);
        window.show();
        const auto open = [&](std::string& error) {
            return burning::OpenImage({folder, choice.udf ? FileSystem::Udf : FileSystem::Iso9660, {}},
                                      error);
        };
        const auto progress = [&](const burning::BurnProgress& p) {
            window.Show(p);
            QApplication::processEvents();
            if (window.TakeCancel()) {
                const MessageAnswer a =
                    prompter.Ask(Tr("中止するとこのディスクは使えなくなります。中止しますか？"), Tr("確認"),
                                 MessageIcon::Exclamation, MessageButtons::YesNo);
                return a != MessageAnswer::Yes;
            }
            return true;
        };
        const burning::BurnResult r = burning::BurnDisc(open, options, progress);
        window.hide();
        for (const std::string& note : r.notes) {
            log.SetColor(LogColor::WindowText);
            log.Insert(note + "\n");
        }
        switch (r.outcome) {
            case burning::BurnOutcome::Verified:
                log.SetColor(LogColor::Blue);
                log.Insert(Format(Tr("ディスク %zu: 書き込み、確認しました: %s"), i + 1, folder.c_str()) +
                           "\n");
                break;
            case burning::BurnOutcome::Written:
                log.SetColor(LogColor::WindowText);
                log.Insert(Format(Tr("ディスク %zu: 書き込みました (確認なし): %s"), i + 1, folder.c_str()) +
                           "\n");
                break;
            case burning::BurnOutcome::Simulated:
                log.SetColor(LogColor::WindowText);
                log.Insert(Format(Tr("ディスク %zu: 書き込みを試しました (何も書き込んでいません): %s"),
                                  i + 1, folder.c_str()) +
                           "\n");
                break;
            default:
                log.SetColor(LogColor::Red);
                log.Insert(Format(Tr("ディスク %zu: 失敗しました: %s: %s"), i + 1, folder.c_str(),
                                  r.reason.c_str()) +
                           "\n");
                for (const burning::ImageFileCheck& d : r.damaged) {
                    log.Insert(Format(Tr("  壊れたファイル: %s"), d.path.c_str()) + "\n");
                }
                break;
        }
        log.SetColor(LogColor::WindowText);
        log.Repaint();
        if (r.outcome == burning::BurnOutcome::Cancelled) {
            return;
        }
    }
}

void VerifyDiscFromWindow(const burning::DiscCheckRequest& request, ProgressView& view, LogPane& log) {
    burning::BurnLibraries libraries;
    burning::ImageCheckReport report;
    if (!libraries.Ready()) {
        report.error = libraries.Error();
    } else {
        // Redrawn a few times a second: the check reads thousands of blocks a second.
        std::chrono::steady_clock::time_point shown{};
        const auto progress = [&](std::uint64_t blocks, std::uint64_t total) {
            const auto now = std::chrono::steady_clock::now();
            if (now - shown >= std::chrono::milliseconds(100)) {
                shown = now;
                const auto permille = static_cast<int>(total > 0 ? blocks * 1000 / total : 0);
                view.ShowProgress(Format(Tr("確認しています・・・\n%s"), request.What().c_str()),
                                  std::min(permille, 1000));
            }
            return !view.CancelRequested();
        };
        report = burning::CheckDisc(request, progress);
        view.CloseProgress();
    }
    const burning::CheckOutcome outcome = burning::DiscCheckOutcome(request, report);
    log.SetColor(outcome.verdict == burning::CheckVerdict::Verified ? LogColor::Blue
                 : outcome.verdict == burning::CheckVerdict::Failed ? LogColor::Red
                                                                    : LogColor::WindowText);
    log.Insert(outcome.line + "\n");
    log.SetColor(LogColor::WindowText);
    log.Repaint();
}

}  // namespace stowra

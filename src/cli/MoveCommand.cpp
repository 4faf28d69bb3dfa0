#include "cli/MoveCommand.h"

#include <chrono>
#include <cstdio>

#include "cli/JsonWriter.h"
#include "packing/PackResult.h"
#include "platform/Folder.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "platform/Translation.h"
#include "relocate/IndexFiles.h"
#include "relocate/MoveFiles.h"

namespace stowra::cli {

namespace {

// One progress line on standard error, rewritten in place on a terminal.
class TerminalProgress : public ProgressSink {
public:
    TerminalProgress() : tty_(IsConsole(2)) {}
    bool Progress(const MoveProgress& p) override {
        const std::uint64_t files = p.filesMoved, filesTotal = p.filesTotal, bytes = p.bytesDone,
                            bytesTotal = p.bytesTotal;
        auto now = std::chrono::steady_clock::now();
        // Nobody reads what follows once the output is gone (a pipe into `head`): the move stops
        // after the current file, as on Ctrl-C, rather than going on unseen. (One poll without a
        // wait per call: little beside a rename or a copied chunk.)
        if (OutputGone(1) || OutputGone(2)) {
            Interrupt();
        }
        if (p.checksums && !checksums_) {
            checksums_ = true;
            Finish();  // the move's last line stays; the checksums get lines of their own
            shown_ = {};
        }
        bool last = files + p.filesFailed == filesTotal;
        if (last || now - shown_ >= (tty_ ? std::chrono::milliseconds(100) : std::chrono::seconds(2))) {
            shown_ = now;
            // The first line starts below the log's "moving" line, which has no line feed of its own.
            // Bytes are counted only for copies to another file system; renames show files alone.
            std::string size =
                bytesTotal == 0 ? std::string() : ", " + SizeText(bytes, 1) + " / " + SizeText(bytesTotal, 1);
            std::string failed = p.filesFailed == 0
                                     ? std::string()
                                     : Format(p.checksums ? Tr("（読めなかったファイル %llu）")
                                                          : Tr("（移動できなかったファイル %llu）"),
                                              static_cast<unsigned long long>(p.filesFailed));
            std::fprintf(stderr,
                         p.checksums ? Tr("%sチェックサム %llu / %llu ファイル%s%s%s")
                                     : Tr("%s%llu / %llu ファイル%s%s%s"),
                         !started_ ? "\n"
                         : tty_    ? "\r"
                                   : "",
                         static_cast<unsigned long long>(files), static_cast<unsigned long long>(filesTotal),
                         failed.c_str(), size.c_str(), tty_ ? "\033[K" : "\n");
            if (std::fflush(stderr) != 0 || std::ferror(stderr) != 0) {
                Interrupt();
            }
            open_ = tty_;
            started_ = true;
        }
        return !Interrupted();  // Ctrl-C is the Cancel button of the terminal
    }
    // Ends the line that is rewritten in place, so that what follows starts on a line of its own.
    void Finish() {
        if (open_) {
            std::fputc('\n', stderr);
            open_ = false;
        }
    }

private:
    bool tty_;
    bool open_ = false;
    bool started_ = false;
    bool checksums_ = false;
    std::chrono::steady_clock::time_point shown_{};
};

// The confirmations follow --yes; a question about replacing an existing file is always a real
// question, and without a console to answer it under --yes the file is skipped rather than
// replaced: --yes agrees to the move, not to losing what already lies at the destination, and a
// question it cannot ask never cancels the batch.
class MovePrompter : public Prompter {
public:
    MovePrompter(bool assumeYes, TerminalProgress& progress)
        : assumeYes_(assumeYes),
          confirm_(assumeYes),
          ask_(false, assumeYes ? MessageAnswer::No : MessageAnswer::Cancel),
          progress_(progress) {
        confirm_.beforePrint = ask_.beforePrint = [this] { progress_.Finish(); };
    }
    MessageAnswer Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                      MessageButtons buttons) override {
        if (buttons != MessageButtons::YesAllNoCancel) {
            return confirm_.Ask(text, caption, icon, buttons);
        }
        if (assumeYes_ && !IsConsole(0)) {
            progress_.Finish();
            std::string question = ForStream(2, text, true);
            std::fprintf(stderr, "\n[%.*s] %s\n%s\n", static_cast<int>(caption.size()), caption.data(),
                         question.c_str(), Tr("  -> 尋ねる端末がないため、飛ばしました"));
            return MessageAnswer::No;
        }
        return ask_.Ask(text, caption, icon, buttons);
    }

private:
    bool assumeYes_;
    TerminalPrompter confirm_;
    TerminalPrompter ask_;
    TerminalProgress& progress_;
};

// Keeps the log like the scan does, and once the report is printed also shows what the move adds
// to it (the moving line, failed index files) on standard error as it happens.
class EchoLog : public LogPane {
public:
    explicit EchoLog(LogPane& inner) : inner_(inner) {}
    void Clear() override { inner_.Clear(); }
    void SetColor(LogColor color) override { inner_.SetColor(color); }
    void Insert(std::string_view text) override {
        inner_.Insert(text);
        if (echo) {
            std::string shown = ForStream(2, text, true);
            std::fwrite(shown.data(), 1, shown.size(), stderr);
        }
    }
    void Repaint() override {
        inner_.Repaint();
        std::fflush(stderr);
    }
    bool echo = false;

private:
    LogPane& inner_;
};

class MoveWindow : public CliWindow {
public:
    explicit MoveWindow(bool assumeYes)
        : CliWindow(assumeYes), echo_(CliWindow::Log()), prompter_(assumeYes, progress) {}
    LogPane& Log() override { return echo_; }
    Prompter& Messages() override { return prompter_; }
    void EchoFromNowOn() { echo_.echo = true; }
    TerminalProgress progress;

private:
    EchoLog echo_;
    MovePrompter prompter_;
};

constexpr int kExitMoved = 0;
constexpr int kExitNotMoved = 1;
constexpr int kExitIndexFailed = 4;  // every file moved, but an index file could not be written
constexpr int kExitOverfull = 5;     // every file moved, but a disc folder no longer fits its disc

// A path as text, and beside it as raw bytes when it is not valid UTF-8.
void WriteText(JsonWriter& json, const char* key, const std::string& text) {
    json.Key(key).String(text);
    if (!JsonWriter::IsText(text)) {
        json.Key(std::string(key) + "Bytes").String(JsonWriter::Base64(text));
    }
}

// The catalogue's lines, read back from the file the move wrote: the same per file.
void WriteCatalogueFiles(JsonWriter& json, const std::string& catalogue) {
    json.Key("files").BeginArray();
    std::FILE* in = std::fopen(catalogue.c_str(), "rb");
    std::string line;
    CatalogueLine entry;
    for (int c = 0; in != nullptr && (c = std::fgetc(in)) != EOF;) {
        if (c != '\n') {
            line.push_back(static_cast<char>(c));
            continue;
        }
        if (ParseCatalogueLine(line, entry)) {
#ifdef _WIN32
            // The catalogue is UTF-8 on every system; the document takes the system's own text.
            std::string ansi;
            if (Utf8ToAnsi(entry.path, ansi)) {
                entry.path = std::move(ansi);
            }
#endif
            json.BeginObject();
            json.Key("disc").Unsigned(entry.disc);
            WriteText(json, "path", entry.path);
            json.Key("size").Unsigned(entry.size);
            json.Key("modified").String(entry.modified);
            if (!entry.sha256.empty()) {
                json.Key("sha256").String(entry.sha256);
            }
            json.EndObject();
        }
        line.clear();
    }
    if (in != nullptr) {
        std::fclose(in);
    }
    json.EndArray();
}

const char* OutcomeName(MoveOutcome outcome) {
    switch (outcome) {
        case MoveOutcome::Moved:
            return "moved";
        case MoveOutcome::Cancelled:
        case MoveOutcome::Declined:
            return "cancelled";
        case MoveOutcome::Failed:
            return "failed";
        case MoveOutcome::Refused:
            return "refused";
        case MoveOutcome::NothingToMove:
            break;
    }
    return "nothing";
}

}  // namespace

void AddMoveOptions(CLI::App& command, MoveOptions& o) {
    AddScanOptions(command, o.scan);
    command.add_option("DESTINATION", o.destination, "Folder below which the discs' folders are made")
        ->required();
    command.add_flag("--index", o.index, "Write a list of its files into each disc's folder");
    command.add_flag("--checksums", o.checksums,
                     "Write a SHA-256 checksum file into each disc's folder (sha256sum -c checks it)");
    command.add_flag("--remove-empty", o.removeEmpty, "Remove the source folders that the move emptied");
    command.add_flag("--yes", o.yes, "Do not ask before moving");
}

int RunMoveCommand(const MoveOptions& o) {
    CatchInterrupts();
    MoveWindow window(o.yes);
    ScanInput scan = MakeScanInput(o.scan);
    // The index and checksum files go onto the discs: the packing counts them in.
    if (o.checksums) {
        scan.options |= OptionFlags::WriteChecksums;
    }
    if (o.index) {
        scan.options |= OptionFlags::WriteIndex;
    }
    window.writesIndex = (scan.options & OptionFlags::WriteIndex) != 0;
    window.writesChecksums = (scan.options & OptionFlags::WriteChecksums) != 0;
    if (!RunScan(scan, window.state, window)) {
        return 1;
    }
    // The scan's part of the document goes out now; the move's keys follow once it is done.
    JsonWriter json(stdout);
    if (o.scan.json) {
        json.BeginObject();
        WriteScanJson(window, json);
    } else {
        PrintScanText(window, stdout);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || OutputGone(1)) {
        Interrupt();  // the report went nowhere: nobody saw what would be moved
    }
    if (!window.state.HasResult() && !window.state.cancelled) {
        std::fputs(Tr("詰め込めたメディアがないため、何も移動しませんでした。\n"), stderr);
        // Copies left by a killed move would otherwise stay until a move packs something.
        if (FolderExists(o.destination)) {
            RemoveUnfinishedCopies(o.destination);
        }
    }

    if (Interrupted()) {
        std::fputs(Tr("移動の前に中断されました。何も移動していません。\n"), stderr);
        if (o.scan.json) {
            json.Key("outcome").String("cancelled");
            json.EndObject();
            json.Finish();
        }
        return kExitCancelled;
    }
    MoveInput input{o.destination, scan.options};
    input.options |= (o.index ? OptionFlags::WriteIndex : 0) |
                     (o.removeEmpty ? OptionFlags::RemoveEmptied : 0) |
                     (o.checksums ? OptionFlags::WriteChecksums : 0);
    window.EchoFromNowOn();
    MoveReport report = MoveFiles(input, window.state, window, window.progress);
    window.progress.Finish();

    for (const BatchMoveFailure& f : report.failures) {
        std::fputs(ForStream(2,
                             Format(Tr("移動しなかったファイル: %s -> %s: %s"), f.source.c_str(),
                                    f.destination.c_str(), f.reason.c_str()),
                             false)
                       .c_str(),
                   stderr);
        std::fputc('\n', stderr);
    }
    if (o.scan.json) {
        json.Key("outcome").String(OutcomeName(report.outcome));
        WriteText(json, "destination", report.destinationRoot);
        json.Key("failures").BeginArray();
        for (const BatchMoveFailure& f : report.failures) {
            json.BeginObject();
            WriteText(json, "source", f.source);
            WriteText(json, "destination", f.destination);
            json.Key("reason").String(f.reason);
            json.EndObject();
        }
        json.EndArray();
        json.Key("indexFailures").BeginArray();
        for (const std::string& name : report.indexFailures) {
            json.String(name);
        }
        json.EndArray();
        json.Key("overfull").BeginArray();
        for (std::size_t n : report.overfull) {
            json.Unsigned(n);
        }
        json.EndArray();
        if (!report.catalogue.empty()) {
            WriteText(json, "catalogue", report.catalogue);
            WriteCatalogueFiles(json, report.catalogue);
        }
        json.EndObject();
        json.Finish();
    }
    switch (report.outcome) {
        case MoveOutcome::Moved:
            return !report.overfull.empty()       ? kExitOverfull
                   : report.indexFailures.empty() ? kExitMoved
                                                  : kExitIndexFailed;
        case MoveOutcome::Cancelled:
            return kExitCancelled;
        default:
            return kExitNotMoved;
    }
}

}  // namespace stowra::cli

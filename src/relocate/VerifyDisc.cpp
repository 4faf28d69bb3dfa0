#include "relocate/VerifyDisc.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include "fileio/Sha256.h"
#include "platform/Folder.h"
#include "platform/PathInfo.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

namespace {

bool IsOwnFile(const std::string& name) {
    const bool text = name.size() > 4 && name.ends_with(".txt");
    return text && (name.starts_with("_sha256_") || name.starts_with("_index_"));
}

// One line as sha256sum writes it; false for a line that is not one.
bool ParseLine(std::string line, std::string& digest, std::string& path) {
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    const bool escaped = !line.empty() && line.front() == '\\';
    const std::size_t start = escaped ? 1 : 0;
    if (line.size() < start + 66 || (line[start + 64] != ' ') ||
        (line[start + 65] != ' ' && line[start + 65] != '*')) {
        return false;
    }
    digest = line.substr(start, 64);
    if (!std::all_of(digest.begin(), digest.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); })) {
        return false;
    }
    path.clear();
    for (std::size_t i = start + 66; i < line.size(); ++i) {
        char c = line[i];
        if (escaped && c == '\\' && i + 1 < line.size()) {
            c = line[++i] == 'n' ? '\n' : line[i];
        }
        path.push_back(c == '/' ? kPathDelimiter : c);
    }
#ifdef _WIN32
    // Written in UTF-8, as other systems show the disc's names; a file in the code page stays so.
    std::string ansi;
    if (Utf8ToAnsi(path, ansi)) {
        path = std::move(ansi);
    }
#endif
    return !path.empty();
}

// The digest of a file read in chunks, each told to `progress`; nothing when it cannot be read.
std::optional<std::string> CheckedDigest(const std::string& path, ProgressSink* progress, MoveProgress& p,
                                         bool& stopped) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        return std::nullopt;
    }
    Sha256 hash;
    std::vector<char> chunk(std::size_t{4} << 20);
    std::size_t n = 0;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0) {
        hash.Update(chunk.data(), n);
        p.bytesDone += n;
        if (progress != nullptr && n == chunk.size() && !progress->Progress(p)) {
            stopped = true;
            return std::nullopt;
        }
    }
    if (std::ferror(file.get()) != 0) {
        return std::nullopt;
    }
    return Sha256::Hex(hash.Final());
}

}  // namespace

bool VerifyReport::AllOk() const {
    return error.empty() && !stopped && std::all_of(entries.begin(), entries.end(), [](const VerifyEntry& e) {
               return e.state == VerifyState::Ok;
           });
}

VerifyReport VerifyDisc(const std::string& folder, ProgressSink* progress) {
    VerifyReport report;
    if (!FolderExists(folder)) {
        report.error = Format(Tr("フォルダが見つかりません: %s"), folder.c_str());
        return report;
    }
    const std::string root = AddTrailingBackslash(folder);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(root), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("_sha256_") && name.ends_with(".txt") && entry.is_regular_file(ec)) {
            report.checksumFiles.push_back(name);
        }
    }
    std::sort(report.checksumFiles.begin(), report.checksumFiles.end());
    if (report.checksumFiles.empty()) {
        report.error = Format(Tr("チェックサムファイル（_sha256_*.txt）がありません: %s"), folder.c_str());
        return report;
    }
    struct Listed {
        std::string digest, path;
    };
    std::vector<Listed> lines;
    std::set<std::string> listed;
    MoveProgress p;
    p.checksums = true;
    for (const std::string& name : report.checksumFiles) {
        std::ifstream in(root + name, std::ios::binary);
        std::string line, digest, path;
        while (std::getline(in, line)) {
            if (line.empty()) {
                continue;
            }
            if (!ParseLine(line, digest, path)) {
                report.error =
                    Format(Tr("チェックサムファイルの形式が正しくありません: %s"), (root + name).c_str());
                return report;
            }
            listed.insert(path);
            if (const auto facts = FileFactsOf(root + path)) {
                p.bytesTotal += facts->size;
            }
            lines.push_back({digest, path});
        }
    }
    p.filesTotal = lines.size();
    if (progress != nullptr && !progress->Progress(p)) {
        report.stopped = true;
        return report;
    }
    for (const Listed& l : lines) {
        const std::string full = root + l.path;
        VerifyState state = VerifyState::Ok;
        if (!FileExists(full)) {
            state = VerifyState::Missing;
        } else if (const auto actual = CheckedDigest(full, progress, p, report.stopped); !actual) {
            if (report.stopped) {
                return report;
            }
            state = VerifyState::Unreadable;
        } else if (*actual != l.digest) {
            state = VerifyState::Changed;
        }
        report.entries.push_back({l.path, state});
        ++(state == VerifyState::Ok ? p.filesMoved : p.filesFailed);
        if (progress != nullptr && !progress->Progress(p)) {
            report.stopped = report.entries.size() < lines.size();
            if (report.stopped) {
                return report;
            }
        }
    }
    std::vector<std::string> unlisted;
    const std::filesystem::path base(root);
    for (auto it = std::filesystem::recursive_directory_iterator(base, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec) || it->is_symlink(ec)) {
            continue;
        }
        const std::string rel = it->path().lexically_relative(base).string();
        if ((it.depth() == 0 && IsOwnFile(rel)) || listed.contains(rel)) {
            continue;
        }
        unlisted.push_back(rel);
    }
    std::sort(unlisted.begin(), unlisted.end());
    for (std::string& rel : unlisted) {
        report.entries.push_back({std::move(rel), VerifyState::Unlisted});
    }
    return report;
}

const char* VerifyStateText(VerifyState s) {
    switch (s) {
        case VerifyState::Changed:
            return Tr("変更されています");
        case VerifyState::Missing:
            return Tr("見つかりません");
        case VerifyState::Unreadable:
            return Tr("読めません");
        case VerifyState::Unlisted:
            return Tr("チェックサムファイルにありません");
        default:
            return "OK";
    }
}

std::string VerifySummary(const VerifyReport& report) {
    std::array<std::size_t, 5> counts{};
    for (const VerifyEntry& e : report.entries) {
        ++counts[static_cast<std::size_t>(e.state)];
    }
    return Format(
        Tr("%zu ファイルを確認しました: OK %zu、変更 %zu、見つからない %zu、読めない %zu、一覧にない %zu"),
        report.entries.size(), counts[0], counts[1], counts[2], counts[3], counts[4]);
}

void LogVerifyReport(const std::string& folder, const VerifyReport& report, LogPane& log) {
    log.SetColor(LogColor::WindowText);
    log.Insert(Format(Tr("\n確認: %s\n"), folder.c_str()));
    if (!report.error.empty()) {
        log.SetColor(LogColor::Red);
        log.Insert(report.error + "\n");
        return;
    }
    log.SetColor(LogColor::Red);
    for (const VerifyEntry& e : report.entries) {
        if (e.state != VerifyState::Ok) {
            log.Insert(Format("%s: %s\n", VerifyStateText(e.state), e.path.c_str()));
        }
    }
    if (report.stopped) {
        log.Insert(std::string(Tr("確認は途中で中断されました。")) + "\n");
    }
    log.SetColor(report.AllOk() ? LogColor::Blue : LogColor::Red);
    log.Insert(VerifySummary(report) + "\n");
}

}  // namespace stowra

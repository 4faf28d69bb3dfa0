#include "relocate/VerifyDisc.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "fileio/Sha256.h"
#include "platform/Folder.h"
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
    return !path.empty();
}

}  // namespace

bool VerifyReport::AllOk() const {
    return error.empty() && std::all_of(entries.begin(), entries.end(),
                                        [](const VerifyEntry& e) { return e.state == VerifyState::Ok; });
}

VerifyReport VerifyDisc(const std::string& folder) {
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
    std::set<std::string> listed;
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
            const std::string full = root + path;
            VerifyState state = VerifyState::Ok;
            if (!FileExists(full)) {
                state = VerifyState::Missing;
            } else if (const auto actual = FileSha256(full); !actual) {
                state = VerifyState::Unreadable;
            } else if (Sha256::Hex(*actual) != digest) {
                state = VerifyState::Changed;
            }
            report.entries.push_back({path, state});
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

}  // namespace stowra

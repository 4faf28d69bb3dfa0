#include "relocate/IndexFiles.h"

#include <charconv>
#include <optional>
#include <vector>

#include "fileio/LFile.h"
#include "fileio/Sha256.h"
#include "packing/DiscImage.h"
#include "platform/PathInfo.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

std::string IndexFileName(const std::string& destinationRoot, const std::string& scanStamp,
                          std::size_t medium) {
    return destinationRoot + std::to_string(medium) + kPathDelimiter + IndexLeafName(scanStamp, medium);
}

namespace {

// Writes one file the move adds to each disc folder: `content(n, files)` gives disc n's text (none:
// no file for that disc), a new file only, so that whatever stands at the name (a link planted in a shared
// destination, a file of the source named like it) is never written through or replaced. A file that cannot
// be written gets a red line (its name says enough); the other discs are still written.
template <class Name, class Content>
std::vector<std::string> WriteDiscFiles(const ScanState& state, LogPane& log, const char* mode, Name name,
                                        Content content) {
    std::vector<std::string> failed;
    std::vector<const FileItem*> files;
    const MediaList& media = state.result.media;
    for (std::size_t n = 1; n <= media.size(); ++n) {
        BuildFileList(media[n - 1], files);
        const std::optional<std::string> text = content(n, files);
        if (!text) {
            continue;
        }
        const std::string file = name(n);
        try {
            LFile out(file, mode);
            out.write(text->data(), text->size());
            out.close();
        } catch (const LExcept&) {
            log.SetColor(LogColor::Red);
            log.Insert(Format(Tr("\"%s\"の作成に失敗しました。\n"), file.c_str()));
            failed.push_back(file);
        }
        log.Repaint();
    }
    return failed;
}

}  // namespace

std::vector<std::string> WriteIndexFiles(const std::string& destinationRoot, const ScanState& state,
                                         LogPane& log) {
    return WriteDiscFiles(
        state, log, "wtx", [&](std::size_t n) { return IndexFileName(destinationRoot, state.scanStamp, n); },
        [](std::size_t, const std::vector<const FileItem*>& files) -> std::optional<std::string> {
            std::string lines;
            for (const FileItem* f : files) {
                lines.append(f->path()).push_back('\n');  // CR LF in the file: it is written as text
            }
            return lines;
        });
}

std::string ChecksumFileName(const std::string& destinationRoot, const std::string& scanStamp,
                             std::size_t medium) {
    return destinationRoot + std::to_string(medium) + kPathDelimiter + ChecksumLeafName(scanStamp, medium);
}

std::vector<std::string> WriteChecksumFiles(const std::string& destinationRoot, const ScanState& state,
                                            const MoveChecksums& sums, LogPane& log) {
    std::size_t first = 0;  // the disc's first entry in the transfer lists
    // Binary: the lines end in a line feed alone, as sha256sum writes and reads them.
    return WriteDiscFiles(
        state, log, "wbx",
        [&](std::size_t n) { return ChecksumFileName(destinationRoot, state.scanStamp, n); },
        [&](std::size_t n, const std::vector<const FileItem*>& files) -> std::optional<std::string> {
            const std::size_t k0 = first;
            first += files.size();
            if (!sums.AllTried(k0, first)) {
                log.SetColor(LogColor::Red);
                log.Insert(Format(Tr("メディア %zu は、チェックサムの計算が途中で止められたため、チェックサム"
                                     "ファイルを作成しませんでした。\n"),
                                  n));
                return std::nullopt;
            }
            const std::string folder = destinationRoot + std::to_string(n) + kPathDelimiter;
            std::string lines;
            for (std::size_t i = 0; i < files.size(); ++i) {
                const std::string_view path = files[i]->path();
                if (const auto& digest = sums.DigestOf(k0 + i)) {
                    lines += ChecksumLine(Sha256::Hex(*digest), path);
                } else {
                    log.SetColor(LogColor::Red);
                    log.Insert(Format(Tr("\"%s\"を読めないため、チェックサムファイルに含めませんでした。\n"),
                                      (folder + std::string(path)).c_str()));
                }
            }
            return lines;
        });
}

std::string CatalogueFileName(const std::string& destinationRoot, const std::string& scanStamp) {
    return destinationRoot + "_catalog_" + scanStamp + ".tsv";
}

namespace {

void AppendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out.push_back(c);
        }
    }
}

// The path as the disc shows it to any system: '/' between folders, UTF-8.
std::string CataloguePath(std::string_view path) {
    std::string text(path);
#ifdef _WIN32
    ReplaceDelimiters(text, kPathDelimiter, '/', kNativeCodepage);
    std::string utf8;
    if (AnsiToUtf8(text, utf8)) {
        text = std::move(utf8);
    }
#endif
    return text;
}

}  // namespace

std::string FormatCatalogueLine(const CatalogueLine& line) {
    std::string out = std::to_string(line.disc);
    out.push_back('\t');
    AppendEscaped(out, line.path);
    out += Format("\t%llu\t", static_cast<unsigned long long>(line.size));
    out += line.modified;
    out.push_back('\t');
    out += line.sha256;
    out.push_back('\n');
    return out;
}

bool ParseCatalogueLine(std::string_view text, CatalogueLine& line) {
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    std::string_view fields[5];
    for (int i = 0; i < 5; ++i) {
        const std::size_t tab = i < 4 ? text.find('\t') : text.size();
        if (tab == std::string_view::npos) {
            return false;
        }
        fields[i] = text.substr(0, tab);
        text.remove_prefix(i < 4 ? tab + 1 : tab);
    }
    auto number = [](std::string_view s, auto& value) {
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
        return ec == std::errc() && end == s.data() + s.size() && !s.empty();
    };
    if (!number(fields[0], line.disc) || !number(fields[2], line.size)) {
        return false;
    }
    line.path.clear();
    for (std::size_t i = 0; i < fields[1].size(); ++i) {
        char c = fields[1][i];
        if (c == '\\' && i + 1 < fields[1].size()) {
            c = fields[1][++i];
            c = c == 't' ? '\t' : c == 'n' ? '\n' : c;
        }
        line.path.push_back(c);
    }
    line.modified = fields[3];
    line.sha256 = fields[4];
    return !line.path.empty();
}

std::string WriteCatalogue(const std::string& destinationRoot, const ScanState& state,
                           const MoveChecksums* sums, LogPane& log) {
    std::string text;
    if constexpr (kPathDelimiter != '/') {
        // Spreadsheets on Windows take a file without this mark for the ANSI code page.
        static constexpr char kByteOrderMark[] = {'\xEF', '\xBB', '\xBF', '\0'};
        text += kByteOrderMark;
    }
    text += kCatalogueHeader;
    std::vector<const FileItem*> files;
    std::size_t k = 0;
    for (std::size_t n = 1; n <= state.result.media.size(); ++n) {
        BuildFileList(state.result.media[n - 1], files);
        const std::string folder = destinationRoot + std::to_string(n) + kPathDelimiter;
        for (const FileItem* f : files) {
            CatalogueLine line;
            line.disc = n;
            line.path = CataloguePath(f->path());
            if (const auto facts = FileFactsOf(folder + std::string(f->path()))) {
                const LocalTime& t = facts->modified;
                line.size = facts->size;
                line.modified = Format("%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                                       t.minute, t.second);
            }
            if (sums != nullptr && k < sums->Count() && sums->DigestOf(k)) {
                line.sha256 = Sha256::Hex(*sums->DigestOf(k));
            }
            text += FormatCatalogueLine(line);
            ++k;
        }
    }
    const std::string file = CatalogueFileName(destinationRoot, state.scanStamp);
    try {
        LFile out(file, "wbx");
        out.write(text.data(), text.size());
        out.close();
    } catch (const LExcept&) {
        log.SetColor(LogColor::Red);
        log.Insert(Format(Tr("\"%s\"の作成に失敗しました。\n"), file.c_str()));
        return file;
    }
    return {};
}

}  // namespace stowra

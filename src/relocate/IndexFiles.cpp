#include "relocate/IndexFiles.h"

#include <vector>

#include "fileio/LFile.h"
#include "fileio/Sha256.h"
#include "packing/DiscImage.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

std::string IndexFileName(const std::string& destinationRoot, const std::string& scanStamp,
                          std::size_t medium) {
    return destinationRoot + std::to_string(medium) + kPathDelimiter + IndexLeafName(scanStamp, medium);
}

namespace {

// Writes one file the move adds to each disc folder: `content(n, files)` gives disc n's text, a
// new file only, so that whatever stands at the name (a link planted in a shared destination, a
// file of the source named like it) is never written through or replaced. A file that cannot be
// written gets a red line (its name says enough); the other discs are still written.
template <class Name, class Content>
std::vector<std::string> WriteDiscFiles(const ScanState& state, LogPane& log, const char* mode, Name name,
                                        Content content) {
    std::vector<std::string> failed;
    std::vector<const FileItem*> files;
    const MediaList& media = state.result.media;
    for (std::size_t n = 1; n <= media.size(); ++n) {
        BuildFileList(media[n - 1], files);
        const std::string text = content(n, files);
        const std::string file = name(n);
        try {
            LFile out(file, mode);
            out.printf("%s", text.c_str());
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
        [](std::size_t, const std::vector<const FileItem*>& files) {
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
                                            LogPane& log) {
    // Binary: the lines end in a line feed alone, as sha256sum writes and reads them.
    return WriteDiscFiles(
        state, log, "wbx",
        [&](std::size_t n) { return ChecksumFileName(destinationRoot, state.scanStamp, n); },
        [&](std::size_t n, const std::vector<const FileItem*>& files) {
            const std::string folder = destinationRoot + std::to_string(n) + kPathDelimiter;
            std::string lines;
            for (const FileItem* f : files) {
                const std::string path(f->path());
                if (const auto digest = FileSha256(folder + path)) {
                    lines += ChecksumLine(Sha256::Hex(*digest), path);
                } else {
                    log.SetColor(LogColor::Red);
                    log.Insert(Format(Tr("\"%s\"を読めないため、チェックサムファイルに含めませんでした。\n"),
                                      (folder + path).c_str()));
                }
            }
            return lines;
        });
}

}  // namespace stowra

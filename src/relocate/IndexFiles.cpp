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

std::vector<std::string> WriteIndexFiles(const std::string& destinationRoot, const ScanState& state,
                                         LogPane& log) {
    std::vector<std::string> failed;
    std::vector<const FileItem*> files;
    const MediaList& media = state.result.media;
    for (std::size_t n = 1; n <= media.size(); ++n) {
        BuildFileList(media[n - 1], files);
        std::string name = IndexFileName(destinationRoot, state.scanStamp, n);
        try {
            // A new file only: whatever stands at that name (a link planted in a shared destination, a file
            // of the source named like it) is never written through or replaced.
            LFile file(name, "wtx");
            for (const FileItem* f : files) {
                file.printf("%.*s\n", static_cast<int>(f->pathSize), f->pathData);
            }
            file.close();
        } catch (const LExcept&) {
            // The exception's own text is not shown: the file name says enough.
            log.SetColor(LogColor::Red);
            log.Insert(Format(Tr("\"%s\"の作成に失敗しました。\n"), name.c_str()));
            log.Repaint();
            failed.push_back(name);
        }
    }
    return failed;
}

std::string ChecksumFileName(const std::string& destinationRoot, const std::string& scanStamp,
                             std::size_t medium) {
    return destinationRoot + std::to_string(medium) + kPathDelimiter + ChecksumLeafName(scanStamp, medium);
}

std::vector<std::string> WriteChecksumFiles(const std::string& destinationRoot, const ScanState& state,
                                            LogPane& log) {
    std::vector<std::string> failed;
    std::vector<const FileItem*> files;
    const MediaList& media = state.result.media;
    for (std::size_t n = 1; n <= media.size(); ++n) {
        BuildFileList(media[n - 1], files);
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
        const std::string name = ChecksumFileName(destinationRoot, state.scanStamp, n);
        try {
            // A new file only, as the index file: nothing at that name is written through. Its
            // lines end in a line feed alone, as sha256sum writes and reads them.
            LFile file(name, "wbx");
            file.printf("%s", lines.c_str());
            file.close();
        } catch (const LExcept&) {
            log.SetColor(LogColor::Red);
            log.Insert(Format(Tr("\"%s\"の作成に失敗しました。\n"), name.c_str()));
            failed.push_back(name);
        }
        log.Repaint();
    }
    return failed;
}

}  // namespace stowra

#pragma once
// The per-medium index file: a list of the medium's files, one path per line, left in the medium
// folder so that it is burned together with the files it lists.

#include <cstddef>
#include <string>
#include <vector>

#include "frontend/FrontEnd.h"
#include "packing/ScanSession.h"
#include "relocate/MoveChecksums.h"

namespace stowra {

// destination root + N + delimiter + "_index_" + stamp + "-" + N + ".txt"
std::string IndexFileName(const std::string& destinationRoot, const std::string& scanStamp,
                          std::size_t medium);

// Writes the index file of every medium of the packing result. A file that cannot be written gets
// a red line in the log; the other media are still written. Returns the names of the files that
// failed.
std::vector<std::string> WriteIndexFiles(const std::string& destinationRoot, const ScanState& state,
                                         LogPane& log);

// destination root + N + delimiter + "_sha256_" + stamp + "-" + N + ".txt"
std::string ChecksumFileName(const std::string& destinationRoot, const std::string& scanStamp,
                             std::size_t medium);

// Writes the checksum file of every medium from the move's digests (in the order of its transfer
// lists), one line per file as sha256sum writes them. A file that could not be read is named in red
// and left out of its disc's file (the file itself stays moved); a disc whose files were not all
// hashed, because the user stopped it, gets no checksum file and a line saying so; a checksum file
// that cannot be written gets a red line, and the other media are still written. Returns the names
// of the files that failed.
std::vector<std::string> WriteChecksumFiles(const std::string& destinationRoot, const ScanState& state,
                                            const MoveChecksums& sums, LogPane& log);

// destination root + "_catalog_" + stamp + ".tsv": beside the disc folders, not on a disc.
std::string CatalogueFileName(const std::string& destinationRoot, const std::string& scanStamp);
inline constexpr char kCatalogueHeader[] = "disc\tpath\tsize\tmodified\tsha256\n";

// Writes the catalogue of the whole set: a header line, then a line per file: disc number, path
// (with '/' between folders, as on the disc), size in bytes and time of last writing as the file
// is now, and its SHA-256 when `sums` has it; tab-separated UTF-8. A tab, line feed or backslash in
// a name is written as \t, \n or \\. Empty, or the file's name when it could not be written.
std::string WriteCatalogue(const std::string& destinationRoot, const ScanState& state,
                           const MoveChecksums* sums, LogPane& log);

// One line of a catalogue, and back; false for a line that is not one (the header among them).
struct CatalogueLine {
    std::size_t disc = 0;
    std::string path;  // as written: '/' between folders, UTF-8
    std::uint64_t size = 0;
    std::string modified;
    std::string sha256;  // empty when not computed
};
std::string FormatCatalogueLine(const CatalogueLine& line);
bool ParseCatalogueLine(std::string_view text, CatalogueLine& line);

}  // namespace stowra

#pragma once
// The per-medium index file: a list of the medium's files, one path per line, left in the medium
// folder so that it is burned together with the files it lists.

#include <cstddef>
#include <string>
#include <vector>

#include "frontend/FrontEnd.h"
#include "packing/ScanSession.h"

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

// Writes the checksum file of every medium: each file read where the move put it, one line per
// file as sha256sum writes them. A file that cannot be read is named in red and left out of its
// disc's file (the file itself stays moved); a checksum file that cannot be written gets a red
// line, and the other media are still written. Returns the names of the files that failed.
std::vector<std::string> WriteChecksumFiles(const std::string& destinationRoot, const ScanState& state,
                                            LogPane& log);

}  // namespace stowra

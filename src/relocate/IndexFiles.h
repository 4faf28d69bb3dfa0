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

}  // namespace stowra

#pragma once
// Finding files in the catalogues that moves leave beside their disc folders: which disc of which
// set holds a file, without opening every disc's index.

#include <string>
#include <string_view>
#include <vector>

#include "relocate/IndexFiles.h"

namespace stowra {

// The catalogues in the set folders directly below a destination folder, sorted by name.
std::vector<std::string> FindCatalogues(const std::string& destinationFolder);

// Whether a path (with '/' between folders) matches: a pattern with *, ? or [...] is a glob over
// the whole path ('*' crosses folders), or over the file name alone when it has no '/'; any other
// pattern is a part of the path. Letters A to Z match either case.
bool PathMatches(std::string_view pattern, std::string_view path);

struct CatalogueHit {
    std::string set;  // the set's folder name: the move's time stamp
    std::size_t disc = 0;
    std::string path;  // in the system's own form (delimiter, code page)
    std::uint64_t size = 0;
    std::string sha256;
};

struct CatalogueSearch {
    std::vector<CatalogueHit> hits;
    std::vector<std::string> unreadable;  // catalogues that could not be read
};

// Every file of the catalogues whose path matches `pattern` (in the system's own form).
CatalogueSearch SearchCatalogues(const std::vector<std::string>& catalogues, std::string_view pattern);

}  // namespace stowra

#include "burn/MovedFiles.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <unordered_map>

#include "relocate/IndexFiles.h"

namespace stowra::burning {

namespace {

// The stamp in "_sha256_<stamp>-<N>.txt" or "_index_<stamp>-<N>.txt" for disc number `disc`.
std::string StampOf(const std::string& name, const std::string& disc) {
    const std::string tail = "-" + disc + ".txt";
    for (const char* prefix : {"_sha256_", "_index_"}) {
        const std::string p(prefix);
        if (name.size() > p.size() + tail.size() && name.starts_with(p) && name.ends_with(tail)) {
            return name.substr(p.size(), name.size() - p.size() - tail.size());
        }
    }
    return {};
}

}  // namespace

std::vector<std::string> FilesChangedSinceMove(const std::string& folder,
                                               const std::vector<ImageFile>& files) {
    namespace fs = std::filesystem;
    const fs::path dir(folder);
    const std::string disc = dir.filename().string();
    std::error_code ec;
    std::string stamp;
    std::vector<fs::path> checksumFiles;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (const std::string s = StampOf(name, disc); !s.empty() && entry.is_regular_file(ec)) {
            stamp = s;
            if (name.starts_with("_sha256_")) {
                checksumFiles.push_back(entry.path());
            }
        }
    }
    if (stamp.empty()) {
        return {};
    }
    std::unordered_map<std::string, std::uint64_t> sizes;
    for (const ImageFile& f : files) {
        sizes.emplace(f.path, f.bytes);
    }
    std::vector<std::string> changed;
    std::set<std::string> named;
    const auto name = [&](const std::string& path) {
        if (named.insert(path).second) {
            changed.push_back(path);
        }
    };
    // The catalogue beside the disc folders holds each file's size as the move left it.
    std::ifstream catalogue(dir.parent_path() / ("_catalog_" + stamp + ".tsv"), std::ios::binary);
    std::string text;
    CatalogueLine line;
    while (std::getline(catalogue, text)) {
        if (!ParseCatalogueLine(text, line) || std::to_string(line.disc) != disc) {
            continue;
        }
        const auto it = sizes.find(line.path);
        if (it == sizes.end() || it->second != line.size) {
            name(line.path);
        }
    }
    // The checksum file names every file the move hashed; one that is gone has changed too.
    for (const fs::path& file : checksumFiles) {
        std::ifstream in(file, std::ios::binary);
        while (std::getline(in, text)) {
            // sha256sum's form: 64 hex digits, two characters, the path (escaped ones left to verify).
            if (text.size() > 66 && text.front() != '\\' && !sizes.contains(text.substr(66))) {
                name(text.substr(66));
            }
        }
    }
    return changed;
}

}  // namespace stowra::burning

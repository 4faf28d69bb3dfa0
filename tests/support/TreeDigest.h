#pragma once
// Checksums of real files for the move tests: every file's content is known before the move, and
// afterwards each file must be found whole exactly where it belongs.

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Text.h"

namespace stowra::test {

// Content that differs from file to file, so a file moved to the wrong place is noticed.
inline std::string RandomContent(std::size_t size, std::uint32_t seed) {
    std::mt19937_64 gen(seed);
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        std::uint64_t word = gen();
        std::memcpy(s.data() + i, &word, std::min<std::size_t>(8, size - i));
    }
    return s;
}

// A path the engine made, with '/' between its folders as the tests write paths (on Windows the
// engine's delimiter is '\\'; the trail byte of a double-byte character is left alone).
inline std::string Generic(std::string_view path) {
    std::string out(path);
    ReplaceDelimiters(out, kPathDelimiter, '/', kNativeCodepage);
    return out;
}

// A path written with '/' in a test, with the engine's delimiter instead.
inline std::string Native(std::string path) {
    std::replace(path.begin(), path.end(), '/', kPathDelimiter);  // '/' is never a trail byte
    return path;
}

inline std::uint64_t Digest(std::string_view data) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : data) {
        h = (h ^ c) * 1099511628211ull;
    }
    return h;
}

// Checksums of files by their paths relative to a root ('/' between folders).
using Digests = std::map<std::string, std::uint64_t>;

// Writes files of the given sizes below root, making the folders on the way, each with content of
// its own (seeds from `firstSeed` on); returns their digests by relative path.
inline Digests WriteRandomFiles(const std::string& root,
                                const std::vector<std::pair<std::string, std::size_t>>& files,
                                std::uint32_t firstSeed = 1) {
    Digests digests;
    std::uint32_t seed = firstSeed;
    for (const auto& [rel, size] : files) {
        std::string content = RandomContent(size, seed++);
        std::filesystem::path p = root + "/" + rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
        digests[rel] = Digest(content);
    }
    return digests;
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every regular file below root (links are neither followed nor listed), by relative path.
inline std::map<std::string, std::uint64_t> DigestTree(const std::string& root) {
    namespace fs = std::filesystem;
    std::map<std::string, std::uint64_t> digests;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && !it->is_symlink(ec)) {
            digests[fs::relative(it->path(), root).generic_string()] = Digest(ReadAll(it->path().string()));
        }
    }
    return digests;
}

// Relative paths of the leftovers of interrupted copies below root.
inline std::map<std::string, std::uint64_t> TempLeftovers(const std::map<std::string, std::uint64_t>& tree) {
    std::map<std::string, std::uint64_t> temps;
    for (const auto& [path, digest] : tree) {
        std::string_view name(path);
        name = name.substr(name.rfind('/') == std::string_view::npos ? 0 : name.rfind('/') + 1);
        if (name.starts_with(".stowra-tmp-")) {
            temps.emplace(path, digest);
        }
    }
    return temps;
}

}  // namespace stowra::test

#include "support/TempTree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace stowra::test {

TempTree::TempTree() {
    std::string base = fs::temp_directory_path().string() + "/stowra-test-XXXXXX";
    if (::mkdtemp(base.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = base;
}

TempTree::~TempTree() {
    RemoveTree(root_);
}

std::string TempTree::Path(std::string_view relative) const {
    return relative.empty() ? root_ : root_ + "/" + std::string(relative);
}

void TempTree::Folder(std::string_view relative) const {
    fs::create_directories(Path(relative));
}

void TempTree::File(std::string_view relative, std::uint64_t size) const {
    fs::path p = Path(relative);
    fs::create_directories(p.parent_path());
    int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("cannot create " + p.string());
    }
    ::close(fd);
}

void TempTree::Write(std::string_view relative, std::string_view content) const {
    fs::path p = Path(relative);
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string TempTree::Read(std::string_view relative) const {
    std::ifstream in(Path(relative), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void TempTree::Link(std::string_view relative, const std::string& target) const {
    fs::path p = Path(relative);
    fs::create_directories(p.parent_path());
    fs::create_symlink(target, p);
}

bool TempTree::Exists(std::string_view relative) const {
    std::error_code ec;
    return fs::symlink_status(Path(relative), ec).type() != fs::file_type::not_found;
}

void RemoveTree(const std::string& path) {
    std::error_code ec;
    // Give back search and write permission everywhere first, or the removal would stop short.
    for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            ::chmod(it->path().c_str(), 0755);
        }
    }
    ::chmod(path.c_str(), 0755);
    fs::remove_all(path, ec);
    if (ec) {
        // A folder made unreadable before the iterator could enter it: try once more.
        for (auto it = fs::recursive_directory_iterator(path, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            ::chmod(it->path().c_str(), 0755);
        }
        fs::remove_all(path, ec);
    }
}

}  // namespace stowra::test

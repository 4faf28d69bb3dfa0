#pragma once
// A folder on a second file system (tmpfs at /dev/shm; under wine, drive Z:'s view of it), for the
// moves that cross file systems. Removed with everything in it afterwards.

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>

#include <cstdlib>
#endif

#include "support/TempTree.h"

namespace stowra::test {

// A folder on a second file system (tmpfs), when the machine has one apart from the temp folder.
class OtherFileSystem {
public:
#ifdef _WIN32
    // Under wine, drive Z: is the Linux root and its tmpfs another file system for the move.
    OtherFileSystem() {
        std::string base = "Z:\\dev\\shm\\stowra-test-" + std::to_string(::GetCurrentProcessId());
        if (::CreateDirectoryA(base.c_str(), nullptr)) {
            root_ = base;
        }
    }
    std::string Root(const TempTree&) const {
        return root_;
    }
    ~OtherFileSystem() {
        if (!root_.empty()) {
            RemoveTree(root_);
        }
    }
#else
    OtherFileSystem() {
        char base[] = "/dev/shm/stowra-test-XXXXXX";
        if (::mkdtemp(base) != nullptr) {
            root_ = base;
        }
    }
    ~OtherFileSystem() {
        if (!root_.empty()) {
            RemoveTree(root_);
        }
    }
    // Empty when there is no second file system to use.
    std::string Root(const TempTree& near) const {
        struct stat a {
        }, b{};
        if (root_.empty() || ::stat(root_.c_str(), &a) != 0 || ::stat(near.Root().c_str(), &b) != 0 ||
            a.st_dev == b.st_dev) {
            return {};
        }
        return root_;
    }
#endif

private:
    std::string root_;
};

}  // namespace stowra::test

#pragma once
// What the Windows platform files share beyond Folder.h.

#include <string>

namespace stowra {

// The folder part of a path: everything before its last delimiter (a trail byte of a double-byte
// character is not one).
std::string FolderOf(const char* path);

}  // namespace stowra

#pragma once

#include <string>

namespace stowra {

// Removes every folder below `folder` (which ends in the delimiter) that holds no file anywhere
// below it, children before their parents; `folder` itself always stays. Any entry that is not a
// folder keeps its folder: hidden files, and symbolic links, which are never followed, so nothing
// outside the tree is ever touched. Failures are silent. Returns true when `folder` held nothing
// but folders.
bool RemoveEmptyFolders(const std::string& folder);

}  // namespace stowra

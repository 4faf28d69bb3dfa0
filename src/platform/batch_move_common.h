#pragma once
// What both systems' batch moves share.

#include <string_view>
#include <vector>

namespace stowra {

// Splits a list of NUL-terminated paths closed by one more NUL byte, which must be the list's last
// byte. The entries point into the list. False when the list is not closed that way.
bool SplitList(std::string_view list, std::vector<const char*>& out);

}  // namespace stowra

#pragma once

#include <cstdint>
#include <string>

namespace stowra {

// The manufacturer of a recordable CD from its ATIP lead-in start time, looked up in "cdrid.ini"
// of the current folder; "(ATIP=…m…s…f)" when there is no such file or no matching line.
// Throws LExcept when the table exists but cannot be read.
std::string LookupAtip(std::uint8_t minute, std::uint8_t second, std::uint8_t frame);

}  // namespace stowra

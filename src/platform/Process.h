#pragma once

#include <string>

namespace stowra {

// A walk keeps one open handle per folder level; deep trees need more than the usual soft limit.
void RaiseOpenFileLimit();

// Full path of the running program file.
std::string ProgramPath();

}  // namespace stowra

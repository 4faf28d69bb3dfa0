#pragma once

#include <cstdint>
#include <string>

namespace stowra {

// More open handles for the walk and the move where the system allows them (the walk itself keeps
// only a few levels open, whatever the limit).
void RaiseOpenFileLimit();

// From now on, an interrupt (Ctrl-C) or a termination request only sets a flag that long work
// polls, so that it can stop cleanly (no half-copied file left behind) instead of dying mid-way.
void CatchInterrupts();
bool Interrupted();

// This process's id, and whether the process with the id still runs (this one always does).
std::uint64_t ProcessId();
bool ProcessRuns(std::uint64_t id);

// Full path of the running program file.
std::string ProgramPath();

}  // namespace stowra

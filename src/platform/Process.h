#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stowra {

// More open handles for the walk and the move where the system allows them (the walk itself keeps
// only a few levels open, whatever the limit).
void RaiseOpenFileLimit();

// From now on, an interrupt (Ctrl-C), a termination request or a hang-up (the terminal closed)
// only sets a flag that long work polls, so that it can stop cleanly (no half-copied file left
// behind) instead of dying mid-way. A write to a closed pipe fails instead of ending the process;
// the writer notices and stops the same way.
void CatchInterrupts();
bool Interrupted();
// A write to a closed pipe fails instead of ending the program part-way; the writer notices.
void IgnoreClosedOutput();
// Stops long work as an interrupt would (the output it reports to has gone).
void Interrupt();

// Whether the standard stream (0, 1 or 2) is a console a person reads or types at. On Windows the
// C runtime's isatty is also true for NUL and other character devices; the console's own mode
// tells.
bool IsConsole(int stream);
// Whether the standard output stream (1 or 2) leads to a pipe or socket whose reader has gone, so
// that nothing written there will be read.
bool OutputGone(int stream);

// This process's id (part of the names of its unfinished copies).
std::uint64_t ProcessId();

// The program's arguments as the system's text (argv[0] included). Windows hands `main` its command
// line in the ANSI code page with look-alikes for what the code page lacks ("café" as "cafe", "¥"
// as the delimiter), which would name other folders; the arguments are taken from the wide command
// line instead. False, with the argument in `refused`, when one holds a character the code page
// cannot spell exactly.
bool ProgramArguments(int argc, char** argv, std::vector<std::string>& out, std::string& refused);

// Full path of the running program file.
std::string ProgramPath();

}  // namespace stowra

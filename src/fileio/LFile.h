#pragma once
// A named file over a buffered standard I/O stream that reports every failure as LExcept: the
// file name as given to open, followed by a fixed English phrase.

#include <cstddef>
#include <cstdio>
#include <string>

#include "fileio/LExcept.h"

namespace stowra {

class LFile {
public:
    // Opens the file or throws; no LFile exists for a file that could not be opened.
    LFile(const std::string& name, const char* mode);
    // Closes the file. A close failure reaches the code that destroyed the object, except while
    // another exception is already unwinding the stack: then it is dropped, so the program does
    // not end and the first failure is the one that gets handled.
    virtual ~LFile() noexcept(false);

    LFile(const LFile&) = delete;
    LFile& operator=(const LFile&) = delete;

    // Modes are those of fopen. Without "b" the file is a text file: every line feed written
    // becomes CR LF, and CR LF read back becomes a line feed, on every platform alike. "x" with
    // "w" fails when the name exists in any form, a symbolic link included.
    void open(const std::string& name, const char* mode);
    void close();

    // Reads one line into buffer (size bytes, terminator included): at most size - 1 bytes,
    // stopping after the first line feed, which is then removed. A longer line comes in pieces.
    // Returns false at the end of the file, with the buffer empty.
    bool gets(char* buffer, std::size_t size);

    // Writes printf-style formatted text of any length.
    void printf(const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
    // Writes the bytes as they are (in a text file each line feed as CR LF).
    void write(const char* data, std::size_t size);

private:
    [[noreturn]] void Fail(const char* phrase) const;
    void RequireOpen() const;

    std::FILE* stream_ = nullptr;
    std::string name_;
    bool text_ = true;
};

}  // namespace stowra

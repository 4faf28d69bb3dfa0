#include "fileio/LFile.h"

#include <cstdarg>
#include <exception>
#include <string_view>

#include "platform/Folder.h"
#include "platform/Text.h"

namespace stowra {

namespace {

// The stream itself is always binary; text mode is done here, so that files are the same bytes
// on every platform. "b" goes right after the first letter, where every fopen accepts it.
std::string BinaryMode(const char* mode) {
    std::string rest;
    for (const char* p = mode + (*mode != '\0' ? 1 : 0); *p != '\0'; ++p) {
        if (*p != 't' && *p != 'b') {
            rest += *p;
        }
    }
    return *mode == '\0' ? std::string() : std::string(1, *mode) + "b" + rest;
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

}  // namespace

LFile::LFile(const std::string& name, const char* mode) {
    open(name, mode);
}

LFile::~LFile() noexcept(false) {
    if (std::uncaught_exceptions() > 0) {
        // A second failure while the first one travels would end the program.
        if (stream_ != nullptr) {
            std::fclose(stream_);
        }
        return;
    }
    close();
}

void LFile::Fail(const char* phrase) const {
    throw LExcept(0, name_ + phrase);
}

void LFile::RequireOpen() const {
    if (stream_ == nullptr) {
        Fail(" not opened");
    }
}

void LFile::open(const std::string& name, const char* mode) {
    if (stream_ != nullptr) {
        Fail(" already opened");
    }
    name_ = name;
    std::string binary = BinaryMode(mode);
    text_ = std::string_view(mode).find('b') == std::string_view::npos;
    // "x" after "w" (as C11 has it) creates a new file and never writes through an existing name,
    // a planted link included; not every C library knows the letter, so the platform does it.
    const bool exclusive = mode[0] == 'w' && std::string_view(mode).find('x') != std::string_view::npos;
    stream_ = binary.empty() ? nullptr
              : exclusive    ? CreateNewFile(name_)
                             : std::fopen(name_.c_str(), binary.c_str());
    if (stream_ == nullptr) {
        Fail(" open failed");
    }
}

void LFile::close() {
    if (stream_ == nullptr) {
        return;
    }
    // fclose gives the stream up whether or not it succeeds; keeping it "open" after a failure
    // would only lead to a second fclose on a stream that no longer exists.
    std::FILE* stream = stream_;
    stream_ = nullptr;
    if (std::fclose(stream) != 0) {
        Fail(" close failed");
    }
}

bool LFile::gets(char* buffer, std::size_t size) {
    RequireOpen();
    if (size == 0) {
        return false;
    }
    std::size_t n = 0;
    while (n + 1 < size) {
        int c = std::getc(stream_);
        if (c == EOF) {
            break;
        }
        if (c == '\r' && text_) {
            int next = std::getc(stream_);
            if (next == '\n') {
                c = '\n';
            } else if (next != EOF) {
                std::ungetc(next, stream_);
            }
        }
        buffer[n++] = static_cast<char>(c);
        if (c == '\n') {
            break;
        }
    }
    buffer[n] = '\0';
    if (std::ferror(stream_)) {
        // Like fgets: after a read error the line is not trusted.
        buffer[0] = '\0';
        Fail(" gets() failed");
    }
    if (n == 0) {
        return false;
    }
    if (buffer[n - 1] == '\n') {
        buffer[n - 1] = '\0';
    }
    return true;
}

void LFile::printf(const char* format, ...) {
    RequireOpen();
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    if (text_) {
        text = WithCrLf(text);
    }
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream_) != text.size()) {
        Fail(" printf() failed");
    }
}

void LFile::write(const char* data, std::size_t size) {
    RequireOpen();
    if (text_) {
        const std::string text = WithCrLf(std::string(data, size));
        if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream_) != text.size()) {
            Fail(" write() failed");
        }
    } else if (size > 0 && std::fwrite(data, 1, size, stream_) != size) {
        Fail(" write() failed");
    }
}

}  // namespace stowra

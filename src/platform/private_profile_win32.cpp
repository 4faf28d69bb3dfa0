#include <windows.h>

#include "platform/PrivateProfile.h"

namespace stowra {

namespace {

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }
    bool Close() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h == INVALID_HANDLE_VALUE || ::CloseHandle(h) != 0;
    }

private:
    HANDLE h_;
};

bool WriteAll(HANDLE file, std::string_view content) {
    while (!content.empty()) {
        const DWORD chunk = content.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(content.size());
        DWORD written = 0;
        if (!::WriteFile(file, content.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        content.remove_prefix(written);
    }
    return true;
}

// A new file of its own beside the target.
HANDLE CreateTemporary(const std::string& target, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".tmp" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt);
        HANDLE h = ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
        if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) {
            return h;
        }
    }
    return INVALID_HANDLE_VALUE;
}

// Whether this process may write into the existing file, as writing it in place would need: the
// read-only attribute, the file's access rights and another program's sharing all refuse it.
bool MayWriteInto(const std::string& path) {
    Handle h(::CreateFileA(path.c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    return h.Valid();
}

}  // namespace

bool ReplaceFileContent(const std::string& path, std::string_view content) {
    const DWORD old = ::GetFileAttributesA(path.c_str());
    const bool exists = old != INVALID_FILE_ATTRIBUTES;
    if (exists &&
        ((old & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0 || !MayWriteInto(path))) {
        return false;  // a read-only file is refused, as the system would refuse writing into it
    }
    std::string temporary;
    Handle file(CreateTemporary(path, temporary));
    if (!file.Valid()) {
        return false;
    }
    bool ok = WriteAll(file.Get(), content) && ::FlushFileBuffers(file.Get()) != 0;
    ok = file.Close() && ok;
    // The new file keeps what the user set on the old one (hidden, for instance).
    constexpr DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (ok && exists && (old & kept) != 0) {
        ok = ::SetFileAttributesA(temporary.c_str(), old & kept) != 0;
    }
    if (!ok ||
        !::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace stowra

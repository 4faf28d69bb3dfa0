#include <windows.h>

#include "platform/DynamicLibrary.h"

namespace stowra {

namespace {

// The system's library search: the program's folder first, then the system folders and PATH. A
// library that is missing or broken is a failed load, never a message box of the system's.
HMODULE Load(const std::string& name) {
    DWORD old = 0;
    const bool quiet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old) != 0;
    HMODULE module = ::LoadLibraryA(name.c_str());
    if (quiet) {
        ::SetThreadErrorMode(old, nullptr);
    }
    return module;
}

}  // namespace

DynamicLibrary::DynamicLibrary(const std::string& name) : handle_(Load(name)) {}

DynamicLibrary::~DynamicLibrary() {
    Free();
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.handle_) {
    other.handle_ = nullptr;
}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Free();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (handle_ == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::Free() {
    if (handle_ != nullptr) {
        ::FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = nullptr;
    }
}

}  // namespace stowra

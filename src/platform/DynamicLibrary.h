#pragma once
// A library loaded at run time by name through the system's library search.

#include <string>

namespace stowra {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    explicit DynamicLibrary(const std::string& name);
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    void* Symbol(const char* name) const;
    void Free();

private:
    void* handle_ = nullptr;
};

}  // namespace stowra

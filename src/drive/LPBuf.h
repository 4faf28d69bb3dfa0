#pragma once
// A heap buffer whose usable start is aligned to 16 bytes, as direct pass-through transfers need.

#include <cstdint>
#include <memory>

namespace stowra {

class LPBuf {
public:
    LPBuf() = default;
    explicit LPBuf(std::int32_t size) { alloc(size); }
    LPBuf(const LPBuf&) = delete;
    LPBuf& operator=(const LPBuf&) = delete;

    // Releases the old allocation, allocates size + 15 bytes and returns the aligned start.
    std::uint8_t* alloc(std::int32_t size);
    void release();

    std::uint8_t* data() const { return data_; }
    std::int32_t size() const { return size_; }

private:
    std::unique_ptr<std::uint8_t[]> raw_;
    std::uint8_t* data_ = nullptr;
    std::int32_t size_ = 0;
};

}  // namespace stowra

#include "drive/LPBuf.h"

#include <cstring>

namespace stowra {

std::uint8_t* LPBuf::alloc(std::int32_t size) {
    release();
    if (size < 0) {
        return nullptr;
    }
    raw_ = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(size) + 15);
    auto address = reinterpret_cast<std::uintptr_t>(raw_.get());
    data_ = raw_.get() + ((16 - address % 16) % 16);
    size_ = size;
    return data_;
}

void LPBuf::release() {
    raw_.reset();
    data_ = nullptr;
    size_ = 0;
}

}  // namespace stowra

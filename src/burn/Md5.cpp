#include "burn/Md5.h"

#include <libisofs/libisofs.h>
#include <stdint.h>  // libisofs.h needs it first

#include <climits>

namespace stowra::burning {

Md5::Md5() {
    iso_md5_start(&context_);
}

Md5::~Md5() {
    if (context_ != nullptr) {
        char unused[16];
        iso_md5_end(&context_, unused);
    }
}

void Md5::Add(const void* data, std::size_t size) {
    auto* p = static_cast<char*>(const_cast<void*>(data));
    while (size > 0) {
        const std::size_t n = size > INT_MAX ? INT_MAX : size;
        iso_md5_compute(context_, p, static_cast<int>(n));
        p += n;
        size -= n;
    }
}

std::array<char, 16> Md5::End() {
    std::array<char, 16> out{};
    if (context_ != nullptr) {
        iso_md5_end(&context_, out.data());
    }
    return out;
}

}  // namespace stowra::burning

#pragma once
// MD5 as libisofs computes it for its checksum records; also the hash of a burn's stream and its
// read-back, where it is several times faster than SHA-256 and guards against damage, not forgery.

#include <array>
#include <cstddef>
#include <cstdint>

namespace stowra::burning {

class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;
    void Add(const void* data, std::size_t size);
    // The digest of everything added; the object is spent afterwards.
    std::array<char, 16> End();

private:
    void* context_ = nullptr;
};

}  // namespace stowra::burning

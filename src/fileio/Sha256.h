#pragma once
// SHA-256 (FIPS 180-4), for the checksum file that goes onto each disc: standard tools check it
// years later without this program.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace stowra {

class Sha256 {
public:
    // Portable: the plain code even where the processor has SHA instructions (to test both).
    enum class Engine { Fastest, Portable };
    explicit Sha256(Engine engine = Engine::Fastest);
    void Update(const void* data, std::size_t size);
    // The digest of everything given so far; the object is spent afterwards.
    std::array<std::uint8_t, 32> Final();

    // Lower-case hexadecimal, as sha256sum prints it.
    static std::string Hex(const std::array<std::uint8_t, 32>& digest);

private:
    void Blocks(const std::uint8_t* data, std::size_t blocks);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;  // bytes given so far
    bool accelerated_ = false;  // through the processor's SHA instructions
};

// The digest of a whole file, read in large chunks, or nothing when it cannot be read.
std::optional<std::array<std::uint8_t, 32>> FileSha256(const std::string& path);

}  // namespace stowra

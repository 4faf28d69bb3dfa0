#include "fileio/Sha256.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#define STOWRA_SHA_NI 1
#endif

namespace stowra {

namespace {

constexpr std::array<std::uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

void PortableBlock(std::array<std::uint32_t, 8>& state, const std::uint8_t* p) {
    std::array<std::uint32_t, 64> w{};
    for (int i = 0; i < 16; ++i) {
        w[i] = std::uint32_t{p[4 * i]} << 24 | std::uint32_t{p[4 * i + 1]} << 16 |
               std::uint32_t{p[4 * i + 2]} << 8 | std::uint32_t{p[4 * i + 3]};
    }
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t t1 =
            h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
        const std::uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

#ifdef STOWRA_SHA_NI
// Most processors since about 2017 have the SHA instructions, which hash three to four times as
// fast as the plain code: the checksums of a move then cost less than reading the files again.
bool HasShaInstructions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_SSE4_1) == 0 || (c & bit_SSSE3) == 0) {
        return false;
    }
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (b & bit_SHA) != 0;
}

// Four rounds per step: the state as ABEF and CDGH, the message four words at a time, each group
// of four words after the first four computed from the four before it.
__attribute__((target("sha,sse4.1,ssse3"))) void ShaNiBlocks(std::array<std::uint32_t, 8>& state,
                                                             const std::uint8_t* data, std::size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0])), 0xB1);
    __m128i state1 = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4])), 0x1B);
    __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);  // ABEF
    state1 = _mm_blend_epi16(state1, tmp, 0xF0);       // CDGH
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abef = state0;
        const __m128i cdgh = state1;
        __m128i w[4];
        for (int group = 0; group < 16; ++group) {
            __m128i& m = w[group % 4];
            if (group < 4) {
                m = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * group)),
                                     byteSwap);
            } else {
                const __m128i& last = w[(group + 3) % 4];
                m = _mm_sha256msg1_epu32(m, w[(group + 1) % 4]);
                m = _mm_add_epi32(m, _mm_alignr_epi8(last, w[(group + 2) % 4], 4));
                m = _mm_sha256msg2_epu32(m, last);
            }
            __m128i k =
                _mm_add_epi32(m, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRound[4 * group])));
            state1 = _mm_sha256rnds2_epu32(state1, state0, k);
            state0 = _mm_sha256rnds2_epu32(state0, state1, _mm_shuffle_epi32(k, 0x0E));
        }
        state0 = _mm_add_epi32(state0, abef);
        state1 = _mm_add_epi32(state1, cdgh);
    }
    tmp = _mm_shuffle_epi32(state0, 0x1B);        // FEBA
    state1 = _mm_shuffle_epi32(state1, 0xB1);     // DCHG
    state0 = _mm_blend_epi16(tmp, state1, 0xF0);  // DCBA
    state1 = _mm_alignr_epi8(state1, tmp, 8);     // HGFE
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), state1);
}
#endif

}  // namespace

Sha256::Sha256(Engine engine)
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {
#ifdef STOWRA_SHA_NI
    static const bool has = HasShaInstructions();
    accelerated_ = engine == Engine::Fastest && has;
#else
    (void)engine;
#endif
}

void Sha256::Blocks(const std::uint8_t* data, std::size_t blocks) {
#ifdef STOWRA_SHA_NI
    if (accelerated_) {
        ShaNiBlocks(state_, data, blocks);
        return;
    }
#endif
    for (; blocks > 0; --blocks, data += 64) {
        PortableBlock(state_, data);
    }
}

void Sha256::Update(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    length_ += size;
    if (buffered_ > 0) {
        const std::size_t take = std::min(size, buffer_.size() - buffered_);
        std::memcpy(buffer_.data() + buffered_, p, take);
        buffered_ += take;
        p += take;
        size -= take;
        if (buffered_ < buffer_.size()) {
            return;
        }
        Blocks(buffer_.data(), 1);
        buffered_ = 0;
    }
    Blocks(p, size / 64);
    p += size / 64 * 64;
    size %= 64;
    std::memcpy(buffer_.data(), p, size);
    buffered_ = size;
}

std::array<std::uint8_t, 32> Sha256::Final() {
    const std::uint64_t bits = length_ * 8;
    const std::uint8_t one = 0x80;
    Update(&one, 1);
    const std::uint8_t zero = 0;
    while (buffered_ != 56) {
        Update(&zero, 1);
    }
    std::uint8_t tail[8];
    for (int i = 0; i < 8; ++i) {
        tail[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    }
    Update(tail, 8);
    std::array<std::uint8_t, 32> digest{};
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j) {
            digest[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * j));
        }
    }
    return digest;
}

std::string Sha256::Hex(const std::array<std::uint8_t, 32>& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(64);
    for (std::uint8_t byte : digest) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 15]);
    }
    return hex;
}

std::optional<std::array<std::uint8_t, 32>> FileSha256(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        return std::nullopt;
    }
    Sha256 hash;
    std::vector<char> chunk(std::size_t{1} << 20);
    std::size_t n = 0;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0) {
        hash.Update(chunk.data(), n);
    }
    if (std::ferror(file.get()) != 0) {
        return std::nullopt;
    }
    return hash.Final();
}

}  // namespace stowra

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "fileio/Sha256.h"
#include "packing/DiscImage.h"
#include "support/TempTree.h"

namespace stowra {
namespace {

std::string HexOf(const std::string& data, std::size_t chunk, Sha256::Engine engine) {
    Sha256 h(engine);
    for (std::size_t i = 0; i < data.size(); i += chunk) {
        h.Update(data.data() + i, std::min(chunk, data.size() - i));
    }
    return Sha256::Hex(h.Final());
}

TEST(Sha256, TheStandardsVectorsInAnyChunking) {
    const struct {
        std::string data;
        const char* hex;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",  // padding spills into a block
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{63}, std::size_t{64}, std::size_t{1} << 20}) {
            if (chunk == 1 && c.data.size() > 1000) {
                continue;
            }
            for (Sha256::Engine e : {Sha256::Engine::Fastest, Sha256::Engine::Portable}) {
                EXPECT_EQ(HexOf(c.data, chunk, e), c.hex)
                    << c.data.size() << " bytes in chunks of " << chunk << ", engine " << static_cast<int>(e);
            }
        }
    }
    test::TempTree t;
    t.Write("abc", "abc");
    const auto digest = FileSha256(t.Path("abc"));
    ASSERT_TRUE(digest);
    EXPECT_EQ(Sha256::Hex(*digest), cases[1].hex);
    EXPECT_FALSE(FileSha256(t.Path("missing")));
}

TEST(ChecksumLine, WrittenAsSha256sumWritesIt) {
    const std::string d(64, '0');
    const struct {
        const char* path;
        std::string line;
    } cases[] = {
        {"a.jpg", d + "  a.jpg\n"},
#ifdef _WIN32
        {"2004\\IMG 1.jpg", d + "  2004/IMG 1.jpg\n"},
        {"写真\\表.jpg",
         d + "  \xe5\x86\x99\xe7\x9c\x9f/\xe8\xa1\xa8.jpg\n"},  // UTF-8, as Linux shows the disc
#else
        {"2004/IMG 1.jpg", d + "  2004/IMG 1.jpg\n"},
        {"a\\b", "\\" + d + "  a\\\\b\n"},
        {"line\nfeed", "\\" + d + "  line\\nfeed\n"},
        {"\xff\xfe.bin", d + "  \xff\xfe.bin\n"},  // bytes that are not text stay as they are
#endif
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChecksumLine(d, c.path), c.line) << c.path;
        EXPECT_EQ(ChecksumLineSize(c.path), ChecksumLine(d, c.path).size()) << c.path;
    }
    EXPECT_EQ(ChecksumLeafName("20261209-101500", 3), "_sha256_20261209-101500-3.txt");
}

}  // namespace
}  // namespace stowra

#include "packing/PackResult.h"

#include <charconv>
#include <stdexcept>

#include "platform/Text.h"

namespace stowra {

void BuildFileList(const UnitRecord& record, std::vector<const FileItem*>& fileList) {
    fileList.clear();
    fileList.reserve(record.files);
    ForEachFile(record.units, [&](const FileItem* f) { fileList.push_back(f); });
    if (fileList.size() != record.files) {
        throw std::logic_error("file list does not match the medium's file count");
    }
}

namespace {

// "%.4f" and a unit, written without printf: the same correctly rounded digits, a decimal point
// whatever the locale, and cheap enough for a list of a million files.
std::string Fixed4(double value, const char* unit) {
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4);
    std::string out(text, ec == std::errc() ? end : text);
    out += unit;
    return out;
}

}  // namespace

// A sector count times the sector size, and bytes times 10000, can need more than 64 bits.
__extension__ typedef unsigned __int128 Wide;

// bytes / 2^shift with four decimals, rounded as printf rounds the exact value (half to even),
// in integers: the quotient of a byte count by a power of two is exact in binary.
std::string Fixed4Exact(std::uint64_t bytes, int shift, const char* unit) {
    const Wide scaled = static_cast<Wide>(bytes) * 10000;
    const Wide half = static_cast<Wide>(1) << (shift - 1);
    std::uint64_t q = static_cast<std::uint64_t>(scaled >> shift);
    const Wide r = scaled & ((half << 1) - 1);
    if (r > half || (r == half && (q & 1) != 0)) {
        ++q;
    }
    char text[48];
    char* end = std::to_chars(text, text + 24, q / 10000).ptr;
    *end++ = '.';
    const std::uint64_t frac = q % 10000;
    for (std::uint64_t d = 1000; d > 0; d /= 10) {
        *end++ = static_cast<char>('0' + frac / d % 10);
    }
    std::string out(text, end);
    out += unit;
    return out;
}

std::string SizeText(std::uint64_t sectors, std::uint32_t sectorSize) {
    Wide wide = static_cast<Wide>(sectors) * sectorSize;
    if (wide < 1024) {
        return std::to_string(static_cast<int>(wide)) + " Byte";
    }
    if (wide < (static_cast<Wide>(1) << 53)) {  // where the double of the division is exact
        const auto bytes = static_cast<std::uint64_t>(wide);
        return wide < (1u << 20)   ? Fixed4Exact(bytes, 10, " KiB")
               : wide < (1u << 30) ? Fixed4Exact(bytes, 20, " MiB")
                                   : Fixed4Exact(bytes, 30, " GiB");
    }
    long double b = static_cast<long double>(wide);
    return Fixed4(static_cast<double>(b / 1073741824.0L), " GiB");
}

std::string PercentText(float ratio) {
    return Format("%.4f %%", static_cast<double>(ratio) * 100.0);
}

}  // namespace stowra

#include "packing/PackResult.h"

#include <charconv>
#include <stdexcept>

#include "platform/Text.h"

namespace stowra {

void BuildFileList(const UnitRecord& record, std::vector<const FileItem*>& fileList) {
    fileList.clear();
    fileList.reserve(record.files);
    for (const FileItem* unit : record.units) {
        if (unit->IsGroup()) {
            for (const FileItem* m = unit->link.group->first; m != nullptr; m = m->link.nextMember) {
                fileList.push_back(m);
            }
        } else {
            fileList.push_back(unit);
        }
    }
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

std::string SizeText(std::uint64_t sectors, std::uint32_t sectorSize) {
    unsigned __int128 wide = static_cast<unsigned __int128>(sectors) * sectorSize;
    if (wide < 1024) {
        return std::to_string(static_cast<int>(wide)) + " Byte";
    }
    long double b = static_cast<long double>(wide);
    if (wide < (1u << 20)) {
        return Fixed4(static_cast<double>(b / 1024.0L), " KiB");
    }
    if (wide < (1u << 30)) {
        return Fixed4(static_cast<double>(b / 1048576.0L), " MiB");
    }
    return Fixed4(static_cast<double>(b / 1073741824.0L), " GiB");
}

std::string PercentText(float ratio) {
    return Format("%.4f %%", static_cast<double>(ratio) * 100.0);
}

}  // namespace stowra

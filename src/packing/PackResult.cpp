#include "packing/PackResult.h"

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

std::string SizeText(std::uint64_t sectors, std::uint32_t sectorSize) {
    unsigned __int128 wide = static_cast<unsigned __int128>(sectors) * sectorSize;
    if (wide < 1024) {
        return Format("%d Byte", static_cast<int>(wide));
    }
    long double b = static_cast<long double>(wide);
    if (wide < (1u << 20)) {
        return Format("%.4f KiB", static_cast<double>(b / 1024.0L));
    }
    if (wide < (1u << 30)) {
        return Format("%.4f MiB", static_cast<double>(b / 1048576.0L));
    }
    return Format("%.4f GiB", static_cast<double>(b / 1073741824.0L));
}

std::string PercentText(float ratio) {
    return Format("%.4f %%", static_cast<double>(ratio) * 100.0);
}

}  // namespace stowra

#include "drive/AtipLookup.h"

#include <cstring>
#include <vector>

#include "fileio/LFile.h"
#include "platform/Folder.h"
#include "platform/Text.h"

namespace stowra {

std::string LookupAtip(std::uint8_t minute, std::uint8_t second, std::uint8_t frame) {
    const std::string key = Format("%02d%02d%02d", minute, second, frame);
    if (FileExists("cdrid.ini")) {
        LFile table("cdrid.ini", "rt");
        std::vector<char> line(4096);
        while (table.gets(line.data(), line.size())) {
            // Only the first six characters take part; a shorter line never matches.
            if (std::strncmp(line.data(), key.c_str(), 6) == 0 && std::strlen(line.data()) >= 6) {
                std::size_t length = std::strlen(line.data());
                std::string maker = length > 7 ? std::string(line.data() + 7, length - 7) : std::string();
                table.close();
                return maker + " (" + key + ")";
            }
        }
        table.close();
    }
    return Format("(ATIP=%dm%ds%df)", minute, second, frame);
}

}  // namespace stowra

#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/DriveAccess.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

std::string DriveAddress(const std::string& device) {
#ifdef _WIN32
    if (device.size() == 6 && device.starts_with("\\\\.\\") && device[5] == ':') {
        return device.substr(4);
    }
#endif
    return device;
}

bool NamesDrive(const std::string& typed, const std::string& device) {
    if (typed == device || typed == DriveAddress(device)) {
        return true;
    }
#ifdef _WIN32
    std::string address = DriveAddress(typed);
    std::string own = DriveAddress(device);
    return address.size() == 2 && own.size() == 2 && address[1] == ':' &&
           std::toupper(static_cast<unsigned char>(address[0])) ==
               std::toupper(static_cast<unsigned char>(own[0]));
#else
    return false;
#endif
}

std::string DriveOpenProblem(const std::string& device, int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
#ifdef _WIN32
            // Windows opens a drive for raw commands only to administrators.
            return Format(Tr("%s を開く権限がありません。ドライブを使うには、管理者として実行してください"),
                          device.c_str());
#else
            return Format(Tr("%s を開く権限がありません。ドライブを使うには、ユーザーをデバイスのグループ"
                             "（Debian では cdrom）に加えて、ログインし直してください"),
                          device.c_str());
#endif
        case EBUSY:
            return Format(
                Tr("%s は他のプログラムが使用中です。書き込みなどが終わってから、やり直してください"),
                device.c_str());
        default:
            return Format(Tr("%s を開けません（%s）"), device.c_str(), std::strerror(error));
    }
}

std::uint8_t CdbLengthOf(std::uint8_t opcode) {
    switch (opcode >> 5) {
        case 0:
            return 6;
        case 1:
        case 2:
            return 10;
        case 4:
            return 16;
        case 5:
            return 12;
        default:
            return 12;
    }
}

}  // namespace stowra

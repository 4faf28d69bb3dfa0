#include <cerrno>
#include <cstring>

#include "platform/DriveAccess.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

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

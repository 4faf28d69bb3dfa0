#include "burn/ImageFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "burn/BurnLibraries.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra::burning {

namespace {

constexpr std::size_t kChunk = 1 << 20;

bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool WriteImageFile(ImageStream& image, const std::string& path, const ImageProgress& progress,
                    std::string& error) {
    const std::string part = path + ".part";
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = Format(Tr("イメージファイルを作成できません: %s (%s)"), path.c_str(), std::strerror(errno));
        return false;
    }
    std::vector<unsigned char> buffer(kChunk);
    std::uint64_t written = 0;
    bool ok = true;
    while (written < image.Bytes()) {
        const long n = image.Read(buffer.data(), buffer.size());
        if (n < 0) {
            error = image.Error();
            ok = false;
            break;
        }
        if (n == 0) {
            break;
        }
        if (!WriteAll(fd, buffer.data(), static_cast<std::size_t>(n))) {
            error =
                Format(Tr("イメージファイルに書き込めません: %s (%s)"), path.c_str(), std::strerror(errno));
            ok = false;
            break;
        }
        written += static_cast<std::uint64_t>(n);
        if (progress && !progress(written)) {
            error = Tr("イメージの作成を中止しました");
            ok = false;
            break;
        }
    }
    if (ok && written != image.Bytes()) {
        error = Tr("イメージが途中で終わりました");
        ok = false;
    }
    if (ok) {
        const std::string messages = TakeLibraryMessages();
        const std::vector<std::string> changed = image.ChangedFiles();
        if (!changed.empty()) {
            error = Format(Tr("作成中に変更されたファイルがあります: %s"), changed.front().c_str());
            ok = false;
        } else if (!messages.empty()) {
            error = messages;
            ok = false;
        }
    }
    if (::close(fd) != 0 && ok) {
        error = Format(Tr("イメージファイルに書き込めません: %s (%s)"), path.c_str(), std::strerror(errno));
        ok = false;
    }
    if (ok && std::rename(part.c_str(), path.c_str()) != 0) {
        error = Format(Tr("イメージファイルに書き込めません: %s (%s)"), path.c_str(), std::strerror(errno));
        ok = false;
    }
    if (!ok) {
        std::remove(part.c_str());
    }
    return ok;
}

}  // namespace stowra::burning

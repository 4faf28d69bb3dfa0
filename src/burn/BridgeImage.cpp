#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "burn/ImageSources.h"
#include "packing/DiscFolder.h"
#include "packing/WrittenImage.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra::burning {

namespace {

constexpr std::uint64_t kSector = 2048;

class BridgeStream final : public ImageStream {
public:
    ~BridgeStream() override {
        if (pipe_ >= 0) {
            ::close(pipe_);
        }
        if (child_ > 0) {
            ::kill(child_, SIGTERM);
            int status = 0;
            ::waitpid(child_, &status, 0);
        }
        if (messages_ != nullptr) {
            std::fclose(messages_);
        }
    }

    bool Open(const ImageRequest& request, std::string& error);

    long Read(unsigned char* buffer, std::size_t size) override {
        std::size_t done = 0;
        while (done < size && read_ + done < bytes_) {
            if (pipe_ < 0) {  // the builder has finished: zeros up to the counted length
                const std::size_t n =
                    static_cast<std::size_t>(std::min<std::uint64_t>(size - done, bytes_ - read_ - done));
                std::memset(buffer + done, 0, n);
                done += n;
                continue;
            }
            const ssize_t n = ::read(pipe_, buffer + done, size - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                error_ = std::strerror(errno);
                return -1;
            }
            if (n == 0) {
                ::close(pipe_);
                pipe_ = -1;
                if (!Finish()) {
                    return -1;
                }
                continue;
            }
            if (read_ + done + static_cast<std::uint64_t>(n) > bytes_) {
                error_ = Tr("イメージが数えた大きさを超えます");
                return -1;
            }
            done += static_cast<std::size_t>(n);
        }
        read_ += done;
        return static_cast<long>(done);
    }

private:
    // The builder's exit: anything but success, with what it said, fails the image.
    bool Finish() {
        int status = 0;
        ::waitpid(child_, &status, 0);
        child_ = -1;
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            return true;
        }
        std::string said;
        if (messages_ != nullptr) {
            std::rewind(messages_);
            char line[512];
            while (std::fgets(line, sizeof line, messages_) != nullptr) {
                said += line;
            }
        }
        error_ = Format(Tr("genisoimage がイメージを作れませんでした: %s"), said.c_str());
        return false;
    }

    int pipe_ = -1;
    pid_t child_ = -1;
    std::FILE* messages_ = nullptr;
    std::uint64_t read_ = 0;
};

bool BridgeStream::Open(const ImageRequest& request, std::string& error) {
    folder_ = request.folder;
    volumeId_ = request.volumeId.empty() ? DefaultVolumeId(request.folder) : VolumeIdText(request.volumeId);
    std::vector<std::string> paths;
    std::vector<ImageEntry> entries;
    if (!CollectDiscEntries(request.folder, paths, entries, error)) {
        return false;
    }
    bytes_ = WrittenImageSectors(FileSystem::Udf, entries) * kSector;
    std::vector<std::string> args = {"genisoimage",   "-quiet", "-r", "-J",
                                     "--joliet-long", "-udf",   "-V", volumeId_};
    for (const ImageEntry& e : entries) {
        if (e.symlink > 0) {
            args.push_back("-x");  // links stay out: their data is not on the disc
            args.push_back(request.folder + "/" + std::string(e.path));
        } else if (!e.folder) {
            struct stat st {};
            if (::lstat((request.folder + "/" + std::string(e.path)).c_str(), &st) == 0) {
                files_.push_back(
                    {std::string(e.path), static_cast<std::uint64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec});
            }
        }
    }
    args.push_back(request.folder);
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    // The names as UTF-8, as the packing counts them.
    std::vector<std::string> env = {"LC_ALL=C.UTF-8", "PATH=/usr/bin:/bin:/usr/sbin:/sbin"};
    std::vector<char*> envp;
    for (std::string& v : env) {
        envp.push_back(v.data());
    }
    envp.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    messages_ = std::tmpfile();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    if (messages_ != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, fileno(messages_), 2);
    }
    const int r = ::posix_spawnp(&child_, "genisoimage", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    pipe_ = fds[0];
    if (r != 0) {
        child_ = -1;
        error = Tr("genisoimage を起動できません (UDF のイメージには genisoimage パッケージが要ります)");
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<ImageStream> OpenBridgeImage(const ImageRequest& request, std::string& error) {
    auto stream = std::make_unique<BridgeStream>();
    if (!stream->Open(request, error)) {
        return nullptr;
    }
    return stream;
}

}  // namespace stowra::burning

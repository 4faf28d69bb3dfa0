#include "burn/ImageStream.h"

#include <libburn/libburn.h>
#include <libisofs/libisofs.h>
#include <stdint.h>  // libisofs.h needs it first
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "burn/BurnLibraries.h"
#include "burn/ImageSources.h"
#include "packing/DiscFolder.h"
#include "packing/WrittenImage.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra::burning {

using BurnSource = ::burn::burn_source;  // libisofs only declares it; libburn defines it

namespace {

constexpr std::uint64_t kSector = 2048;
// libisofs hands its stream over in pieces of this size: larger ones wait for its buffer to fill
// and keep its writer idle meanwhile (1 MiB pieces made a 4 GiB image take half again as long).
constexpr std::size_t kReadSize = 1 << 16;

bool Stat(const std::string& path, std::uint64_t& bytes, std::int64_t& modified) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return false;
    }
    bytes = static_cast<std::uint64_t>(st.st_size);
    modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

std::string LastComponent(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') {
        p.pop_back();
    }
    const std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string ParentPath(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') {
        p.pop_back();
    }
    const std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash == 0 ? 1 : slash);
}

bool IsStamp(const std::string& s) {
    if (s.size() != 15 || s[8] != '-') {
        return false;
    }
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (i != 8 && (s[i] < '0' || s[i] > '9')) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string VolumeIdText(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (out.size() == 32) {
            break;
        }
        if (c >= 'a' && c <= 'z') {
            out += static_cast<char>(c - 'a' + 'A');
        } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            out += static_cast<char>(c);
        } else if ((c & 0xC0) != 0x80) {  // one '_' per character, not per byte
            out += '_';
        }
    }
    return out.empty() ? std::string("STOWRA") : out;
}

std::string DefaultVolumeId(const std::string& folder) {
    const std::string leaf = LastComponent(folder);
    const std::string parent = LastComponent(ParentPath(folder));
    if (IsStamp(parent) && !leaf.empty() && leaf.find_first_not_of("0123456789") == std::string::npos) {
        return VolumeIdText(parent + "_" + leaf);
    }
    return VolumeIdText(leaf);
}

std::vector<std::string> ImageStream::ChangedFiles() const {
    std::vector<std::string> changed;
    for (const ImageFile& f : files_) {
        std::uint64_t bytes = 0;
        std::int64_t modified = 0;
        if (!Stat(folder_ + "/" + f.path, bytes, modified) || bytes != f.bytes || modified != f.modified) {
            changed.push_back(f.path);
        }
    }
    return changed;
}

namespace {

// The libisofs image of a folder.
class IsoStream final : public ImageStream {
public:
    ~IsoStream() override {
        if (source_ != nullptr) {
            if (!finished_) {
                source_->cancel(source_);
            }
            ::burn::burn_source_free(source_);
        }
        if (image_ != nullptr) {
            iso_image_unref(image_);
        }
    }

    bool Open(const ImageRequest& request, std::string& error);

    long Read(unsigned char* buffer, std::size_t size) override {
        std::size_t done = 0;
        while (done < size) {
            // A piece longer than what is left reads as the end.
            const std::uint64_t left = bytes_ - position_;
            const auto piece = static_cast<int>(std::min<std::uint64_t>({size - done, kReadSize, left}));
            if (piece == 0) {
                break;
            }
            const int n = source_->read_xt(source_, buffer + done, piece);
            if (n < 0) {
                error_ = TakeLibraryMessages();
                if (error_.empty()) {
                    error_ = Tr("イメージを作成できません");
                }
                return -1;
            }
            if (n == 0) {
                finished_ = true;
                break;
            }
            done += static_cast<std::size_t>(n);
            position_ += static_cast<std::uint64_t>(n);
        }
        if (position_ == bytes_) {
            finished_ = true;
        }
        return static_cast<long>(done);
    }

private:
    bool AddTree(const std::vector<ImageEntry>& entries, const std::string& root, std::string& error);
    IsoWriteOpts* Options(std::uint32_t tailBlocks, bool sizeOnly);

    IsoImage* image_ = nullptr;
    BurnSource* source_ = nullptr;
    bool finished_ = false;
    std::uint64_t position_ = 0;
};

bool IsoStream::AddTree(const std::vector<ImageEntry>& entries, const std::string& root, std::string& error) {
    std::unordered_map<std::string, IsoDir*> folders;
    folders[""] = iso_image_get_root(image_);
    for (const ImageEntry& e : entries) {
        if (e.symlink > 0) {
            continue;  // links stay out: their data is not on the disc
        }
        const std::string path(e.path);
        const std::size_t slash = path.rfind('/');
        const std::string parentPath = slash == std::string::npos ? std::string() : path.substr(0, slash);
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        const auto parent = folders.find(parentPath);
        if (parent == folders.end()) {
            error = Format(Tr("フォルダを開けません: %s"), (root + "/" + parentPath).c_str());
            return false;
        }
        int r = 0;
        if (e.folder) {
            IsoDir* dir = nullptr;
            r = iso_tree_add_new_dir(parent->second, name.c_str(), &dir);
            if (r >= 0) {
                iso_node_set_permissions(reinterpret_cast<IsoNode*>(dir), 0555);
                folders[path] = dir;
            }
        } else {
            ImageFile file{path, 0, 0};
            const std::string full = root + "/" + path;
            if (!Stat(full, file.bytes, file.modified)) {
                error = Format(Tr("ファイルを読めません: %s"), full.c_str());
                return false;
            }
            IsoNode* node = nullptr;
            r = iso_tree_add_new_node(image_, parent->second, name.c_str(), full.c_str(), &node);
            if (r >= 0) {
                // As mkisofs -r: readable by all, executable by all if by anyone, writable by none.
                mode_t mode = iso_node_get_permissions(node);
                mode = (mode | 0444) & ~static_cast<mode_t>(0222);
                if ((mode & 0111) != 0) {
                    mode |= 0111;
                }
                iso_node_set_permissions(node, mode);
                iso_node_set_uid(node, 0);
                iso_node_set_gid(node, 0);
                files_.push_back(std::move(file));
            }
        }
        if (r < 0) {
            error = Format(Tr("イメージにファイルを加えられません: %s (%s)"), (root + "/" + path).c_str(),
                           iso_error_to_msg(r));
            return false;
        }
    }
    return true;
}

// The options of xorriso's layout, which the packing counts, plus the MD5 records.
IsoWriteOpts* IsoStream::Options(std::uint32_t tailBlocks, bool sizeOnly) {
    IsoWriteOpts* opts = nullptr;
    if (iso_write_opts_new(&opts, 0) < 0) {
        return nullptr;
    }
    iso_write_opts_set_iso_level(opts, 3);
    iso_write_opts_set_rockridge(opts, 1);
    iso_write_opts_set_rrip_version_1_10(opts, 1);
    iso_write_opts_set_joliet(opts, 1);
    iso_write_opts_set_joliet_long_names(opts, 1);
    iso_write_opts_set_joliet_longer_paths(opts, 1);
    iso_write_opts_set_omit_version_numbers(opts, 2);
    iso_write_opts_set_allow_deep_paths(opts, 1);
    iso_write_opts_set_allow_longer_paths(opts, 1);
    iso_write_opts_set_aaip(opts, 1);
    iso_write_opts_set_record_md5(opts, 1, 1);
    iso_write_opts_set_tail_blocks(opts, tailBlocks);
    iso_write_opts_set_will_cancel(opts, sizeOnly ? 1 : 0);
    return opts;
}

bool IsoStream::Open(const ImageRequest& request, std::string& error) {
    folder_ = request.folder;
    volumeId_ = request.volumeId.empty() ? DefaultVolumeId(request.folder) : VolumeIdText(request.volumeId);
    std::vector<std::string> paths;
    std::vector<ImageEntry> entries;
    if (!CollectDiscEntries(request.folder, paths, entries, error)) {
        return false;
    }
    const std::uint64_t counted = WrittenImageSectors(FileSystem::Iso9660, entries);
    if (iso_image_new(volumeId_.c_str(), &image_) < 0) {
        error = Tr("イメージを作成できません");
        return false;
    }
    iso_tree_set_follow_symlinks(image_, 0);
    iso_tree_set_ignore_hidden(image_, 0);
    iso_image_set_ignore_aclea(image_, 3);
    if (!AddTree(entries, request.folder, error)) {
        return false;
    }
    // Once to learn the image's own length, then again padded to the counted length. The first
    // write is started and cancelled: one made for its size only leaves out the MD5 records.
    IsoWriteOpts* probe = Options(0, false);
    ::burn_source* created = nullptr;
    int r = probe != nullptr ? iso_image_create_burn_source(image_, probe, &created) : -1;
    BurnSource* measure = reinterpret_cast<BurnSource*>(created);
    iso_write_opts_free(probe);
    if (r < 0) {
        error =
            Format(Tr("イメージを作成できません: %s"), r < 0 && probe != nullptr ? iso_error_to_msg(r) : "");
        return false;
    }
    const std::uint64_t own = static_cast<std::uint64_t>(measure->get_size(measure)) / kSector;
    measure->cancel(measure);
    ::burn::burn_source_free(measure);
    TakeLibraryMessages();  // the measuring write's own "cancelled"
    if (own > counted) {
        error = Format(Tr("イメージが数えた大きさを超えます: %llu セクタ (数えた大きさ %llu セクタ)"),
                       static_cast<unsigned long long>(own), static_cast<unsigned long long>(counted));
        return false;
    }
    IsoWriteOpts* opts = Options(static_cast<std::uint32_t>(counted - own), false);
    created = nullptr;
    r = opts != nullptr ? iso_image_create_burn_source(image_, opts, &created) : -1;
    iso_write_opts_free(opts);
    source_ = reinterpret_cast<BurnSource*>(created);
    if (r < 0) {
        source_ = nullptr;
        error = Tr("イメージを作成できません");
        return false;
    }
    bytes_ = static_cast<std::uint64_t>(source_->get_size(source_));
    return true;
}

}  // namespace

std::unique_ptr<ImageStream> OpenImage(const ImageRequest& given, std::string& error) {
    // libisofs finds a file by a relative path no better than "does not exist".
    ImageRequest request = given;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(given.folder, ec);
    if (!ec) {
        request.folder = absolute.lexically_normal().native();
        while (request.folder.size() > 1 && request.folder.back() == '/') {
            request.folder.pop_back();
        }
    }
    if (request.layout == FileSystem::Udf) {
        return OpenBridgeImage(request, error);
    }
    auto stream = std::make_unique<IsoStream>();
    if (!stream->Open(request, error)) {
        return nullptr;
    }
    return stream;
}

}  // namespace stowra::burning

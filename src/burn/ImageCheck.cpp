#include "burn/ImageCheck.h"

#include <libisofs/libisofs.h>
#include <stdint.h>  // libisofs.h needs it first

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "burn/BurnLibraries.h"
#include "burn/Md5.h"
#include "packing/DiscFolder.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra::burning {

namespace {

constexpr std::size_t kBlock = 2048;

struct SourceData {
    const BlockReader* read;
};

int SourceOpen(IsoDataSource*) {
    return ISO_SUCCESS;
}
int SourceClose(IsoDataSource*) {
    return ISO_SUCCESS;
}
int SourceRead(IsoDataSource* src, uint32_t lba, uint8_t* buffer) {
    const auto* data = static_cast<SourceData*>(src->data);
    return (*data->read)(lba, buffer) ? ISO_SUCCESS : ISO_DATA_SOURCE_FAILURE;
}
void SourceFree(IsoDataSource*) {}

struct ImageRelease {
    void operator()(IsoImage* image) const { iso_image_unref(image); }
};

class Checker {
public:
    Checker(IsoImage* image, const std::string& folder, ImageCheckReport& report)
        : image_(image), folder_(folder), report_(report) {}

    void Walk(IsoDir* dir, const std::string& prefix) {
        IsoDirIter* iter = nullptr;
        if (iso_dir_get_children(dir, &iter) < 0) {
            return;
        }
        IsoNode* node = nullptr;
        while (iso_dir_iter_next(iter, &node) == 1) {
            const std::string path = prefix + iso_node_get_name(node);
            if (iso_node_get_type(node) == LIBISO_DIR) {
                Walk(reinterpret_cast<IsoDir*>(node), path + "/");
            } else if (iso_node_get_type(node) == LIBISO_FILE) {
                seen_.insert(path);
                CheckFile(reinterpret_cast<IsoFile*>(node), path);
            }
        }
        iso_dir_iter_free(iter);
    }

    const std::set<std::string>& Seen() const { return seen_; }

private:
    void CheckFile(IsoFile* file, const std::string& path) {
        ++report_.filesChecked;
        char recorded[16];
        const bool hasMd5 = iso_file_get_md5(image_, file, recorded, 0) == 1;
        IsoStream* stream = iso_file_get_stream(file);
        std::FILE* local = nullptr;
        bool differs = false;
        if (!folder_.empty()) {
            local = std::fopen((folder_ + "/" + path).c_str(), "rb");
            if (local == nullptr) {
                report_.problems.push_back({path, ImageFileState::Unlisted});
            }
        }
        Md5 md5;
        bool readable = iso_stream_open(stream) >= 0;
        if (readable) {
            std::vector<char> buffer(1 << 16);
            std::vector<char> other(buffer.size());
            for (;;) {
                const int n = iso_stream_read(stream, buffer.data(), buffer.size());
                if (n < 0) {
                    readable = false;
                    break;
                }
                if (n == 0) {
                    break;
                }
                md5.Add(buffer.data(), static_cast<std::size_t>(n));
                if (local != nullptr && !differs) {
                    const std::size_t m = std::fread(other.data(), 1, static_cast<std::size_t>(n), local);
                    differs =
                        m != static_cast<std::size_t>(n) || std::memcmp(other.data(), buffer.data(), m) != 0;
                }
            }
            iso_stream_close(stream);
        }
        if (local != nullptr) {
            if (!differs && std::fgetc(local) != EOF) {
                differs = true;
            }
            std::fclose(local);
        }
        std::array<char, 16> computed = md5.End();
        if (!readable || (hasMd5 && !iso_md5_match(recorded, computed.data()))) {
            report_.problems.push_back({path, ImageFileState::Damaged});
        } else if (differs) {
            report_.problems.push_back({path, ImageFileState::Differs});
        }
    }

    IsoImage* image_;
    const std::string& folder_;
    ImageCheckReport& report_;
    std::set<std::string> seen_;
};

// The session checksum over the blocks it covers.
bool SessionMatches(IsoImage* image, const BlockReader& read, bool& present) {
    uint32_t start = 0;
    uint32_t end = 0;
    char recorded[16];
    present = iso_image_get_session_md5(image, &start, &end, recorded, 0) == 1;
    if (!present) {
        return true;
    }
    Md5 md5;
    std::vector<unsigned char> block(kBlock);
    for (uint32_t b = start; b < end; ++b) {
        if (!read(b, block.data())) {
            return false;
        }
        md5.Add(block.data(), block.size());
    }
    std::array<char, 16> computed = md5.End();
    return iso_md5_match(recorded, computed.data()) != 0;
}

}  // namespace

ImageCheckReport CheckImage(const BlockReader& read, const std::string& folder) {
    ImageCheckReport report;
    SourceData data{&read};
    IsoDataSource source{0, 1, SourceOpen, SourceClose, SourceRead, SourceFree, &data};
    IsoReadOpts* opts = nullptr;
    IsoImage* raw = nullptr;
    if (iso_read_opts_new(&opts, 0) < 0 || iso_image_new(nullptr, &raw) < 0) {
        iso_read_opts_free(opts);
        report.error = Tr("イメージを読めません");
        return report;
    }
    const std::unique_ptr<IsoImage, ImageRelease> image(raw);
    iso_read_opts_set_no_aaip(opts, 0);  // the AAIP fields name each file's checksum
    iso_read_opts_set_no_md5(opts, 2);   // report a damaged image rather than refuse it
    iso_read_opts_set_no_joliet(opts, 1);
    IsoReadImageFeatures* features = nullptr;
    const int r = iso_image_import(image.get(), &source, opts, &features);
    iso_read_opts_free(opts);
    if (features != nullptr) {
        iso_read_image_features_destroy(features);
    }
    if (r < 0) {
        TakeLibraryMessages();
        report.error = Format(Tr("イメージを読めません: %s"), iso_error_to_msg(r));
        return report;
    }
    bool present = false;
    report.sessionOk = SessionMatches(image.get(), read, present);
    report.checksums = present;
    Checker checker(image.get(), folder, report);
    checker.Walk(iso_image_get_root(image.get()), "");
    if (!folder.empty()) {
        std::vector<std::string> paths;
        std::vector<ImageEntry> entries;
        std::string error;
        if (!CollectDiscEntries(folder, paths, entries, error)) {
            report.error = error;
        }
        for (const ImageEntry& e : entries) {
            if (!e.folder && e.symlink == 0 && checker.Seen().count(std::string(e.path)) == 0) {
                report.problems.push_back({std::string(e.path), ImageFileState::Missing});
            }
        }
    }
    TakeLibraryMessages();
    return report;
}

ImageCheckReport CheckImageFile(const std::string& path, const std::string& folder) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        ImageCheckReport report;
        report.error = Format(Tr("イメージファイルを開けません: %s"), path.c_str());
        return report;
    }
    const BlockReader read = [f](std::uint32_t block, unsigned char* data) {
        return std::fseek(f, static_cast<long>(block) * static_cast<long>(kBlock), SEEK_SET) == 0 &&
               std::fread(data, 1, kBlock, f) == kBlock;
    };
    ImageCheckReport report = CheckImage(read, folder);
    std::fclose(f);
    return report;
}

}  // namespace stowra::burning

#include "burn/Burner.h"

#include <libburn/libburn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <thread>

#include "burn/BurnLibraries.h"
#include "burn/DriveReader.h"
#include "burn/MovedFiles.h"
#include "fileio/Sha256.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra::burning {

using namespace ::burn;  // libburn declares itself in a namespace of that name in C++

namespace {

constexpr std::size_t kBlock = 2048;
constexpr int kFifoChunks = 2048;         // 4 MiB, whatever the disc's size
constexpr std::size_t kReadBlocks = 512;  // 1 MiB per read

// The image as libburn reads it, hashed on its way to the drive.
class HashingSource {
public:
    explicit HashingSource(ImageStream& image) : image_(image) {
        source_.refcount = 1;
        source_.get_size = [](burn_source* s) { return static_cast<off_t>(Self(s)->image_.Bytes()); };
        source_.set_size = [](burn_source*, off_t) { return 1; };
        source_.free_data = [](burn_source*) {};
        source_.data = this;
        source_.version = 1;
        source_.read_xt = [](burn_source* s, unsigned char* buffer, int size) {
            HashingSource* self = Self(s);
            const long n = self->image_.Read(buffer, static_cast<std::size_t>(size));
            if (n > 0) {
                self->hash_.Update(buffer, static_cast<std::size_t>(n));
                self->streamed_ += static_cast<std::uint64_t>(n);
            }
            if (n < 0) {
                self->failed_ = true;
            }
            return static_cast<int>(n);
        };
        source_.cancel = [](burn_source*) { return 1; };
    }
    burn_source* Source() { return &source_; }
    std::array<std::uint8_t, 32> Digest() { return hash_.Final(); }
    std::uint64_t Streamed() const { return streamed_; }
    bool Failed() const { return failed_; }

private:
    static HashingSource* Self(burn_source* s) { return static_cast<HashingSource*>(s->data); }
    ImageStream& image_;
    burn_source source_{};
    // What went to the drive against what comes back: any strong hash will do, and SHA-256 runs
    // on the processor's own instructions, a few times faster than MD5 in plain code.
    Sha256 hash_;
    std::uint64_t streamed_ = 0;
    bool failed_ = false;
};

// A grabbed drive, released (and the disc ejected when asked) on every path.
class Drive {
public:
    ~Drive() { Release(false); }
    bool Grab(const std::string& address) {
        char* a = const_cast<char*>(address.c_str());
        if (burn_drive_scan_and_grab(&info_, a, 1) <= 0 || info_ == nullptr) {
            info_ = nullptr;
            return false;
        }
        return true;
    }
    void Release(bool eject) {
        if (info_ != nullptr) {
            burn_drive_release(info_[0].drive, eject ? 1 : 0);
            burn_drive_info_free(info_);
            info_ = nullptr;
        }
    }
    burn_drive* Get() const { return info_ != nullptr ? info_[0].drive : nullptr; }

private:
    burn_drive_info* info_ = nullptr;
};

struct DiscDeleter {
    void operator()(burn_disc* d) const { burn_disc_free(d); }
};
struct OptsDeleter {
    void operator()(burn_write_opts* o) const { burn_write_opts_free(o); }
};

std::string OpenFailure(const std::string& device) {
    std::string text = Format(
        Tr("ドライブを開けません: %s (他のプログラムが使っているか、ドライブがありません)"), device.c_str());
    const std::string messages = TakeLibraryMessages();
    return messages.empty() ? text : text + "\n" + messages;
}

burn_disc_status WaitForDisc(burn_drive* drive) {
    burn_disc_status status = burn_disc_get_status(drive);
    for (int i = 0; status == BURN_DISC_UNREADY && i < 300; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        status = burn_disc_get_status(drive);
    }
    return status;
}

// Reads `bytes` of the disc from its start, hashing them.
bool ReadBack(burn_drive* drive, std::uint64_t bytes, Sha256& hash, const BurnProgressSink& progress) {
    std::vector<char> buffer(kBlock * kReadBlocks);
    BurnProgress p;
    p.total = bytes;
    p.verifying = true;
    for (std::uint64_t at = 0; at < bytes;) {
        const std::uint64_t want = std::min<std::uint64_t>(buffer.size(), bytes - at);
        off_t count = 0;
        if (burn_read_data(drive, static_cast<off_t>(at), buffer.data(), static_cast<off_t>(want), &count,
                           2) <= 0 ||
            static_cast<std::uint64_t>(count) != want) {
            return false;
        }
        hash.Update(buffer.data(), static_cast<std::size_t>(want));
        at += want;
        p.bytes = at;
        if (progress && !progress(p)) {
            return false;
        }
    }
    return true;
}

struct Attempt {
    bool ok = false;
    bool refusedType = false;  // the drive refused the write type before writing anything
    std::array<std::uint8_t, 32> digest{};
};

Attempt Write(burn_drive* drive, ImageStream& image, const BurnOptions& options, WriteType type,
              const BurnProgressSink& progress, BurnResult& result) {
    Attempt attempt;
    HashingSource hashing(image);
    burn_source* fifo = burn_fifo_source_new(hashing.Source(), static_cast<int>(kBlock), kFifoChunks, 0);
    if (fifo == nullptr) {
        result.reason = Tr("書き込みの準備ができません");
        return attempt;
    }
    const std::unique_ptr<burn_disc, DiscDeleter> disc(burn_disc_create());
    burn_session* session = burn_session_create();
    burn_track* track = burn_track_create();
    burn_track_define_data(track, 0, 0, 1, BURN_MODE1);
    burn_track_set_source(track, fifo);
    burn_session_add_track(session, track, BURN_POS_END);
    burn_disc_add_session(disc.get(), session, BURN_POS_END);
    burn_track_free(track);
    burn_session_free(session);

    const std::unique_ptr<burn_write_opts, OptsDeleter> opts(burn_write_opts_new(drive));
    burn_write_opts_set_simulate(opts.get(), options.simulate ? 1 : 0);
    burn_write_opts_set_underrun_proof(opts.get(), 1);
    burn_write_opts_set_multi(opts.get(), 0);
    burn_write_opts_set_perform_opc(opts.get(), 0);
    if (type == WriteType::Tao) {
        burn_write_opts_set_write_type(opts.get(), BURN_WRITE_TAO, BURN_BLOCK_MODE1);
    } else if (type == WriteType::Sao) {
        burn_write_opts_set_write_type(opts.get(), BURN_WRITE_SAO, BURN_BLOCK_SAO);
    } else {
        char reasons[BURN_REASONS_LEN];
        if (burn_write_opts_auto_write_type(opts.get(), disc.get(), reasons, 0) == BURN_WRITE_NONE) {
            result.reason = Format(Tr("このディスクに合う書き込み方式がありません: %s"), reasons);
            burn_source_free(fifo);
            return attempt;
        }
    }
    burn_drive_set_speed(drive, 0, options.speedKBs);

    burn_disc_write(opts.get(), disc.get());
    const auto start = std::chrono::steady_clock::now();
    bool cancelled = false;
    burn_progress p{};
    while (burn_drive_get_status(drive, &p) == BURN_DRIVE_SPAWNING) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    while (burn_drive_get_status(drive, &p) != BURN_DRIVE_IDLE) {
        BurnProgress now;
        now.total = image.Bytes();
        now.bytes = std::min<std::uint64_t>(static_cast<std::uint64_t>(p.sector) * kBlock, now.total);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds > 0.5 && now.bytes > 0) {
            now.megabytesPerSecond = static_cast<double>(now.bytes) / seconds / 1e6;
            now.secondsLeft =
                static_cast<int>(static_cast<double>(now.total - now.bytes) / (now.bytes / seconds));
        }
        now.bufferPercent = p.buffer_capacity > 0
                                ? static_cast<int>(100 - 100 * static_cast<double>(p.buffer_available) /
                                                             static_cast<double>(p.buffer_capacity))
                                : 0;
        if (!cancelled && ((progress && !progress(now)) || Interrupted())) {
            cancelled = true;
            burn_drive_cancel(drive);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const bool wroteWell = burn_drive_wrote_well(drive) != 0;
    burn_source_free(fifo);
    // libisofs goes on past a file that changed size or ended early, padding it: the disc is
    // whole, but that file on it is not the file.
    const std::string complaints = TakeImageMessages();
    const std::string messages = TakeLibraryMessages();
    if (cancelled) {
        result.outcome = BurnOutcome::Cancelled;
        result.reason = Tr("書き込みを中止しました: このディスクは使えません");
        return attempt;
    }
    if (wroteWell && !complaints.empty()) {
        result.reason = complaints;
        return attempt;
    }
    if (!wroteWell || hashing.Failed() || (!options.simulate && hashing.Streamed() != image.Bytes())) {
        // Nothing was written when the drive refused the write type up front (SAO's RESERVE TRACK).
        attempt.refusedType = type != WriteType::Tao && hashing.Streamed() == 0 && !hashing.Failed();
        result.reason =
            hashing.Failed() ? image.Error() : Format(Tr("書き込みに失敗しました: %s"), messages.c_str());
        return attempt;
    }
    attempt.ok = true;
    attempt.digest = hashing.Digest();
    return attempt;
}

}  // namespace

BurnResult BurnDisc(const ImageOpener& open, const BurnOptions& options, const BurnProgressSink& progress) {
    BurnResult result;
    std::string error;
    std::unique_ptr<ImageStream> image = open(error);
    if (!image) {
        result.outcome = BurnOutcome::Refused;
        result.reason = error;
        return result;
    }
    if (const std::vector<std::string> moved = FilesChangedSinceMove(image->Folder(), image->Files());
        !moved.empty()) {
        result.outcome = BurnOutcome::Refused;
        result.reason = Format(Tr("移動の後に変更されたファイルがあります: %s"), moved.front().c_str());
        return result;
    }
    const std::string address = DriveAddress(options.device);
    Drive drive;
    if (!drive.Grab(address)) {
        result.outcome = BurnOutcome::Refused;
        result.reason = OpenFailure(options.device);
        return result;
    }
    burn_disc_status status = WaitForDisc(drive.Get());
    // libburn takes any regular file for a blank one; a file that holds something is a written disc.
    struct stat st {};
    if (address.rfind("stdio:", 0) == 0 && ::stat(address.c_str() + 6, &st) == 0 && S_ISREG(st.st_mode) &&
        st.st_size > 0) {
        status = BURN_DISC_FULL;
    }
    int profileNumber = 0;
    char profileName[80] = {};
    burn_disc_get_profile(drive.Get(), &profileNumber, profileName);
    result.profile = profileName;
    if (status != BURN_DISC_BLANK) {
        result.outcome = BurnOutcome::Refused;
        result.reason = status == BURN_DISC_EMPTY
                            ? Tr("ドライブにディスクがありません")
                            : Tr("空のディスクではありません: 書き込まれたディスクには書き込みません");
        TakeLibraryMessages();
        return result;
    }
    {
        const std::unique_ptr<burn_write_opts, OptsDeleter> probe(burn_write_opts_new(drive.Get()));
        const off_t room = burn_disc_available_space(drive.Get(), probe.get());
        if (!FitsDisc(image->Bytes(), static_cast<std::uint64_t>(room))) {
            result.outcome = BurnOutcome::Refused;
            result.reason = Format(
                Tr("ディスクが小さすぎます: イメージ %llu バイト、ディスクの空き %llu バイト"),
                static_cast<unsigned long long>(image->Bytes()), static_cast<unsigned long long>(room));
            return result;
        }
    }
    // Planned moments ago, but the disc may have taken a while to load.
    if (const std::vector<std::string> changed = image->ChangedFiles(); !changed.empty()) {
        result.outcome = BurnOutcome::Refused;
        result.reason =
            Format(Tr("イメージを数えた後に変更されたファイルがあります: %s"), changed.front().c_str());
        return result;
    }
    Attempt attempt = Write(drive.Get(), *image, options, options.writeType, progress, result);
    if (!attempt.ok && attempt.refusedType && result.outcome != BurnOutcome::Cancelled &&
        WaitForDisc(drive.Get()) == BURN_DISC_BLANK) {
        result.notes.push_back(Tr("ドライブがこの書き込み方式を受け付けないため、TAO で書き込みます"));
        // The refused attempt's image ends with libisofs's "cancelled": dropped here, or the
        // next write would take it for a complaint about a file.
        image.reset();
        TakeLibraryMessages();
        image = open(error);
        if (!image) {
            result.reason = error;
            return result;
        }
        result.reason.clear();
        attempt = Write(drive.Get(), *image, options, WriteType::Tao, progress, result);
    }
    // A file changed while it was read is named by its path in the folder, whatever else failed.
    const std::vector<std::string> changed = image->ChangedFiles();
    if (!changed.empty() && result.outcome != BurnOutcome::Cancelled) {
        result.outcome = BurnOutcome::Failed;
        // libisofs's own words follow, when it noticed too.
        const std::string also = result.reason.empty() ? std::string() : "\n" + result.reason;
        result.reason =
            Format(Tr("書き込み中に変更されたファイルがあります: %s"), changed.front().c_str()) + also;
        return result;
    }
    if (!attempt.ok) {
        if (result.outcome != BurnOutcome::Cancelled) {
            result.outcome = BurnOutcome::Failed;
        }
        return result;
    }
    if (options.simulate) {
        result.outcome = BurnOutcome::Simulated;
        return result;
    }
    if (!options.verify) {
        drive.Release(options.eject);
        result.outcome = BurnOutcome::Written;
        return result;
    }
    // Grabbed anew, so that what is read comes from the disc and not from what the drive kept.
    drive.Release(false);
    if (!drive.Grab(address)) {
        result.reason = OpenFailure(options.device);
        return result;
    }
    Sha256 readBack;
    if (!ReadBack(drive.Get(), image->Bytes(), readBack, progress)) {
        result.reason = Format(Tr("書き込んだディスクを読めません: %s"), TakeLibraryMessages().c_str());
        return result;
    }
    if (readBack.Final() != attempt.digest) {
        drive.Release(false);
        const ImageCheckReport check = CheckDriveDisc(options.device, image->Folder());
        result.damaged = check.problems;
        result.reason = Tr("読み戻したディスクが書き込んだイメージと違います");
        return result;
    }
    drive.Release(options.eject);
    result.outcome = BurnOutcome::Verified;
    return result;
}

}  // namespace stowra::burning

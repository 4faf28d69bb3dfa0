#pragma once
// The ASPI layer: a library loaded at run time by name; devices are addressed by host adapter,
// target and logical unit, and each command's end is signalled on a completion event.

#include <memory>
#include <string>

#include "drive/SCSI.h"
#include "platform/DynamicLibrary.h"
#include "platform/ManualResetEvent.h"

namespace stowra {

// The ASPI layer's library on this platform.
#ifdef _WIN32
inline constexpr char kAspiLibraryName[] = "WNASPI32.DLL";
#else
inline constexpr char kAspiLibraryName[] = "libwnaspi32.so";
#endif

class ASPI : public SCSI {
public:
    static constexpr int kMaxDevices = 30;

    explicit ASPI(std::string libraryName = kAspiLibraryName);
    // Waits for an outstanding command first: its completion still writes to the event.
    ~ASPI() override;

    int exec(int direction, void* buffer, std::uint32_t length) override;
    std::uint32_t version() override;
    bool available() override { return library_.Loaded() && event_ != nullptr; }
    std::string problem() override { return problem_; }
    void init() override;
    void asyncReset() override;
    void asyncWait() override;
    bool asyncExec(int direction, void* buffer, std::uint32_t length) override;
    int deviceCount() override { return count_; }
    void selectDevice(int index) override;
    int selectedDevice() override { return selected_; }

protected:
    std::string AddressText() override;

private:
    void ListDevices();
    void Address(aspi::SRB_ExecSCSICmd& srb, int direction);

    std::string libraryName_;
    std::string problem_;
    DynamicLibrary library_;
    std::unique_ptr<ManualResetEvent> event_;
    aspi::GetASPI32SupportInfoFn getSupportInfo_ = nullptr;
    aspi::SendASPI32CommandFn sendCommand_ = nullptr;
    aspi::GetASPI32DLLVersionFn getVersion_ = nullptr;
    std::uint8_t devices_[kMaxDevices][3] = {};
    int count_ = 0;
    int selected_ = 0;
    std::uint8_t address_[3] = {};
    std::uint32_t pending_ = 1;
    aspi::SRB_ExecSCSICmd asyncSrb_{};
};

}  // namespace stowra

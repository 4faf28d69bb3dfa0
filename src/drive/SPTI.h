#pragma once
// The operating system's own pass-through: drives are the optical drive devices, each command one
// control request. A worker thread, created with the transport and idle until asynchronous
// commands arrive, runs the pipelined form.

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "drive/LPBuf.h"
#include "drive/SCSI.h"
#include "platform/DriveAccess.h"
#include "platform/ManualResetEvent.h"

namespace stowra {

class SPTI : public SCSI {
public:
    explicit SPTI(std::shared_ptr<DriveAccess> access = NativeDriveAccess());
    ~SPTI() override;

    int exec(int direction, void* buffer, std::uint32_t length) override;
    std::uint32_t version() override { return 1; }
    bool available() override { return true; }  // Linux and the NT family, all this builds for, have it
    void init() override;
    void asyncReset() override;
    void asyncWait() override;
    bool asyncExec(int direction, void* buffer, std::uint32_t length) override;
    int deviceCount() override { return count_; }
    void selectDevice(int index) override;
    int selectedDevice() override { return selected_; }
    std::string problem() override;

    const LPBuf& bounceBuffer() const { return bounce_; }
    bool workerRunning() const { return worker_.joinable(); }

protected:
    std::string AddressText() override;

private:
    void FillBlock(int direction, void* buffer, std::uint32_t length);
    void CopySense();
    void Worker();

    std::shared_ptr<DriveAccess> access_;
    std::vector<std::string> devices_;
    int count_ = 0;
    int selected_ = 0;
    LPBuf bounce_;
    int device_ = -1;
    int openError_ = 0;  // why the selected device could not be opened (an errno value)
    bool eventsMissing_ = false;

    // Shared by exec, asyncExec and the worker; the start and done events hand it over.
    PassThroughCommand block_;
    std::mutex blockMutex_;
    bool workerResult_ = true;
    bool stop_ = false;
    ManualResetEvent done_;
    ManualResetEvent start_;
    std::thread worker_;
};

}  // namespace stowra

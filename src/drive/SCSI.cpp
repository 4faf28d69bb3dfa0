#include "drive/SCSI.h"

#include <cstring>

#include "drive/LPBuf.h"

namespace stowra {

SCSI::SCSI() {
    std::memset(&srb_, 0, sizeof srb_);
}

int SCSI::exec(int, void*, std::uint32_t) {
    return 0;
}

bool SCSI::asyncExec(int, void*, std::uint32_t) {
    return false;
}

void SCSI::selectDevice(int) {}

void SCSI::setCdb(int position, std::uint8_t value) {
    if (position == 0) {
        std::memset(&srb_, 0, sizeof srb_);
    }
    if (position >= 0 && position < static_cast<int>(sizeof srb_.CDBByte)) {
        srb_.CDBByte[position] = value;
    }
}

std::string InquiryField(const std::uint8_t* bytes, std::size_t size) {
    std::size_t n = 0;
    while (n < size && bytes[n] != 0) {
        ++n;
    }
    while (n > 0 && bytes[n - 1] <= 32) {
        --n;
    }
    return std::string(reinterpret_cast<const char*>(bytes), n);
}

void SCSI::deviceInfo(std::string& vendor, std::string& product, std::string& address,
                      std::string& revision) {
    LPBuf buffer(100);
    std::memset(buffer.data(), 0, 100);
    setCdb(0, 0x12);
    setCdb(4, 100);
    if (exec(kDataIn, buffer.data(), 100) == 1) {
        vendor = InquiryField(buffer.data() + 8, 8);
        product = InquiryField(buffer.data() + 16, 16);
        revision = InquiryField(buffer.data() + 32, 4);
    } else {
        // Whole strings assigned, not literals: GCC 12 at -O3 warns falsely (-Wrestrict) on those.
        vendor = std::string(1, '-');
        product = std::string("Unknown");
        revision = std::string(1, '-');
    }
    address = AddressText();
}

}  // namespace stowra

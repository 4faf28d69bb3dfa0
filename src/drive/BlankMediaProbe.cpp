#include "drive/BlankMediaProbe.h"

#include <algorithm>
#include <cstring>

#include "drive/AtipLookup.h"
#include "drive/LPBuf.h"
#include "drive/SPTI.h"
#include "fileio/LExcept.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

namespace {

constexpr std::uint32_t kResponseSize = 4096;

enum class Family { CD, Minus, Plus };

struct DiscType {
    std::uint16_t profile;
    const char* text;
    Family family;
};

constexpr DiscType kDiscTypes[] = {
    {0x0009, "CD-R", Family::CD},      {0x000A, "CD-RW", Family::CD},      {0x0011, "DVD-R", Family::Minus},
    {0x0013, "DVD-RW", Family::Minus}, {0x0014, "DVD-RW", Family::Minus},  {0x001A, "DVD+RW", Family::Plus},
    {0x001B, "DVD+R", Family::Plus},   {0x002B, "DVD+R DL", Family::Plus},
};

std::uint32_t Be16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] << 8 | p[1]);
}
std::uint32_t Be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
void PutBe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

[[noreturn]] void Fail(const char* message = kMediaErrorMessage) {
    throw LExcept(0, Tr(message));
}

// Sends one data-in command of the probe into the cleared response buffer.
class ProbeCommands {
public:
    explicit ProbeCommands(SCSI& scsi) : scsi_(scsi), buffer_(static_cast<std::int32_t>(kResponseSize)) {}

    // cdb: the bytes of the command (the rest stays 0).
    bool Send(std::initializer_list<std::pair<int, std::uint8_t>> cdb) {
        std::memset(buffer_.data(), 0, kResponseSize);
        bool first = true;
        for (auto [position, value] : cdb) {
            if (first || value != 0)
                scsi_.setCdb(position, value);
            first = false;
        }
        return scsi_.exec(SCSI::kDataIn, buffer_.data(), kResponseSize) == 1;
    }
    const std::uint8_t* r() const { return buffer_.data(); }
    // Whether a reply whose data length field (two bytes, counting what follows it) covers byte `last`.
    bool Covers16(std::size_t last) const { return Be16(r()) + 2 > last && last < kResponseSize; }

private:
    SCSI& scsi_;
    LPBuf buffer_;
};

std::string HalfId(const std::uint8_t* p, std::size_t n) {
    std::size_t len = 0;
    while (len < n && p[len] != 0) ++len;
    return std::string(reinterpret_cast<const char*>(p), len);
}

std::string Identification(ProbeCommands& c, const DiscType& type) {
    // The list of available structures: 4-byte descriptors from offset 4 while within its length.
    if (!c.Send({{0, 0xAD}, {7, 0xFF}, {8, 0x02}, {9, 0x00}}))
        Fail();
    const std::size_t listEnd = std::min<std::size_t>(Be16(c.r()) + 2, kResponseSize);
    std::uint32_t length0E = 0, length11 = 0;
    for (std::size_t o = 4; o + 4 <= listEnd; o += 4) {
        if (c.r()[o] == 0x0E)
            length0E = Be16(c.r() + o + 2);
        if (c.r()[o] == 0x11)
            length11 = Be16(c.r() + o + 2);
    }
    if (type.family == Family::Minus && length0E != 0) {
        if (!c.Send({{0, 0xAD}, {7, 0x0E}, {8, 0x02}, {9, 0x00}}))
            Fail();
        if (c.Covers16(34) && c.r()[20] == 3 && c.r()[28] == 4) {
            return Format("%6.6s%-6.6s", HalfId(c.r() + 21, 6).c_str(), HalfId(c.r() + 29, 6).c_str());
        }
    } else if (type.family == Family::Plus && length11 != 0) {
        if (!c.Send({{0, 0xAD}, {7, 0x11}, {8, 0x02}, {9, 0x00}}))
            Fail();
        if (c.Covers16(33)) {
            return Format("%.8s/%.3s", HalfId(c.r() + 23, 8).c_str(), HalfId(c.r() + 31, 3).c_str());
        }
    }
    return {};
}

}  // namespace

std::unique_ptr<SCSI> MakeSystemTransport() {
    return std::make_unique<SPTI>();
}

void RunProbe(SCSI& scsi, ProbeDialog& dialog, bool readAtip) {
    ProbeCommands c(scsi);

    if (!c.Send({{0, 0x25}}))
        Fail();
    if (Be32(c.r()) != 0)
        Fail(kNotBlankMessage);
    dialog.SetClusterText(std::to_string(Be32(c.r() + 4)));

    if (!c.Send({{0, 0x46}, {1, 0x01}, {7, 0x02}, {8, 0x00}}))
        Fail();
    if (Be32(c.r()) < 4)
        Fail();  // the header must reach the current profile
    const std::uint16_t profile = static_cast<std::uint16_t>(Be16(c.r() + 6));
    const DiscType* type = nullptr;
    for (const DiscType& t : kDiscTypes) {
        if (t.profile == profile)
            type = &t;
    }
    if (type == nullptr)
        Fail();

    if (!c.Send({{0, 0x51}, {7, 0x02}, {8, 0x00}}))
        Fail();
    dialog.SetNameText(std::string(type->text) + " / (Media ID = ?\?\?)");

    if (type->family == Family::CD) {
        if (readAtip && c.Send({{0, 0x43}, {2, 0x04}, {7, 0x02}, {8, 0x00}})) {
            // A drive that answers with a plain table of contents instead has track numbers where
            // the ATIP reply has reserved zeros.
            if (c.Covers16(10) && c.r()[2] == 0 && c.r()[3] == 0) {
                dialog.SetNameText(std::string(type->text) + " / " +
                                   LookupAtip(c.r()[8], c.r()[9], c.r()[10]));
            }
        }
    } else {
        std::string id = Identification(c, *type);
        if (!id.empty()) {
            dialog.SetNameText(std::string(type->text) + " / " + id);
        }
    }

    auto readTrack = [&] {
        if (!c.Send({{0, 0x52}, {1, 0x01}, {5, 0x01}, {7, 0x02}, {8, 0x00}}))
            Fail();
        if (!c.Covers16(19))
            Fail();
    };
    readTrack();
    for (int switches = 0; type->family == Family::Minus && (c.r()[6] & 0x20) != 0; ++switches) {
        // Packet/Inc: the drive reports the capacity of the incremental write type; switch to
        // disc-at-once and read again. A drive that never settles is reported, not waited for.
        if (switches == kMaxWriteModeSwitches)
            Fail();
        SetWriteMode(scsi, profile, 2);
        readTrack();
    }
    std::uint32_t total = Be32(c.r() + 16);
    if (c.r()[7] & 0x01) {
        total += Be32(c.r() + 12);
    }
    dialog.SetTotalText(std::to_string(total));
}

bool SetWriteMode(SCSI& drive, std::uint16_t profile, std::uint8_t writeType) {
    std::uint8_t T[32] = {};
    drive.setCdb(0, 0x52);
    drive.setCdb(1, 0x01);
    drive.setCdb(5, 0x01);
    drive.setCdb(8, 0x20);
    if (drive.exec(SCSI::kDataIn, T, 32) != 1)
        return false;

    std::uint8_t H[12] = {};
    drive.setCdb(0, 0x5A);
    drive.setCdb(1, 0x08);
    drive.setCdb(2, 0x05);
    drive.setCdb(8, 0x0C);
    if (drive.exec(SCSI::kDataIn, H, 12) != 1)
        return false;
    std::uint32_t L = Be16(H);
    std::uint32_t B = Be16(H + 6);
    if (B != 0) {
        if (!(B + 22 < L))
            return false;
    } else if (H[9] + 10u > L) {
        L = H[9] + 10u;
    }
    if (L < 8 + 22)
        return false;  // too short to hold a write parameters page

    LPBuf Q(static_cast<std::int32_t>(L));
    std::memset(Q.data(), 0, L);
    drive.setCdb(0, 0x5A);
    drive.setCdb(1, 0x08);
    drive.setCdb(2, 0x05);
    drive.setCdb(7, static_cast<std::uint8_t>(L >> 8));
    drive.setCdb(8, static_cast<std::uint8_t>(L));
    if (drive.exec(SCSI::kDataIn, Q.data(), L) != 1)
        return false;
    if (Be16(Q.data()) > L - 2)
        PutBe16(Q.data(), L - 2);
    B = Be16(Q.data() + 6);
    // The second reply may carry another block descriptor length: it must still leave a whole
    // page inside what was read.
    if (B > L || Be16(Q.data()) + 2 < B + 22)
        return false;
    const std::uint32_t N = Be16(Q.data()) + 2 - B;

    std::uint8_t* list = Q.data() + B;
    std::memset(list, 0, 8);
    std::uint8_t* P = list + 8;
    P[0] &= 0x7F;
    P[2] = static_cast<std::uint8_t>((P[2] & 0xE0) | (writeType & 0x1F));
    P[2] |= 0x40;
    if (profile == 0x11 || profile == 0x14) {
        P[2] |= 0x20;
        P[5] = 16;
    } else {
        P[2] &= static_cast<std::uint8_t>(~0x20);
        P[5] = 0;
    }
    const std::uint8_t trackMode = profile == 0x11 ? 5 : (T[5] & 0x0F);
    P[3] = static_cast<std::uint8_t>((writeType & 0xC0) | (P[3] & 0x30) | trackMode);
    if ((T[6] & 0x0F) != 1)
        return false;
    P[4] = 8;
    P[3] |= 0x20;
    P[10] = 0, P[11] = 0, P[12] = 0, P[13] = 16;
    const bool fixedPacket = (T[6] & 0x10) != 0;
    if (fixedPacket) {
        std::memcpy(P + 10, T + 20, 4);
    } else if (profile != 0x11) {
        P[3] &= static_cast<std::uint8_t>(~0x20);
        P[10] = P[11] = P[12] = P[13] = 0;
    }
    if ((profile == 0x11 || profile == 0x14) && fixedPacket)
        return false;
    if (profile == 0x13 && !fixedPacket)
        return false;
    P[8] = 0;

    drive.setCdb(0, 0x55);
    drive.setCdb(1, 0x10);
    drive.setCdb(7, static_cast<std::uint8_t>(N >> 8));
    drive.setCdb(8, static_cast<std::uint8_t>(N));
    return drive.exec(SCSI::kDataOut, list, N) == 1;
}

void ProbeBlankMedia(ProbeDialog& dialog, const TransportFactory& makeTransport, bool readAtip) {
    dialog.SetBusy(true);
    std::unique_ptr<SCSI> transport = makeTransport();
    const std::string problem = transport->problem();
    if (!transport->available()) {
        dialog.SetBusy(false);
        dialog.ShowError(problem.empty() ? Tr(kNoLibraryMessage) : problem);
        return;
    }
    if (transport->deviceCount() == 0) {
        dialog.SetBusy(false);
        dialog.ShowError(problem.empty() ? Tr(kNoDriveMessage) : problem);
        return;
    }
    dialog.SetBusy(false);
    if (!dialog.ChooseDrive(*transport)) {
        return;
    }
    // A drive that could not be opened (no permission, busy) says so rather than failing its
    // first command with a message that names nothing.
    if (std::string chosen = transport->problem(); !chosen.empty()) {
        dialog.ShowError(chosen);
        return;
    }
    try {
        RunProbe(*transport, dialog, readAtip);
    } catch (const LExcept& e) {
        dialog.ShowError(e.message);
    }
}

}  // namespace stowra

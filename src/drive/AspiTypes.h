#pragma once
// The request blocks and entry points of the ASPI for Win32 layer, as the transport and any
// library that provides the layer share them. On Win32 the pointers are 4 bytes and the command
// block is 98 bytes long; a 64-bit build keeps the same fields with native pointers. On Linux the
// completion event handed over in SRB_PostProc is an eventfd descriptor, which the library
// signals by writing an 8-byte count to it.

#include <cstdint>

namespace stowra::aspi {

inline constexpr std::uint8_t SC_HA_INQUIRY = 0x00;
inline constexpr std::uint8_t SC_GET_DEV_TYPE = 0x01;
inline constexpr std::uint8_t SC_EXEC_SCSI_CMD = 0x02;

inline constexpr std::uint8_t SS_PENDING = 0x00;
inline constexpr std::uint8_t SS_COMP = 0x01;
inline constexpr std::uint8_t SS_ERR = 0x04;

inline constexpr std::uint8_t SRB_POSTING = 0x01;
inline constexpr std::uint8_t SRB_DIR_IN = 0x08;
inline constexpr std::uint8_t SRB_DIR_OUT = 0x10;
inline constexpr std::uint8_t SRB_EVENT_NOTIFY = 0x40;

inline constexpr std::uint8_t DTYPE_CDROM = 0x05;
inline constexpr int SENSE_LEN = 14;

#pragma pack(push, 1)
struct SRB_HAInquiry {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t HA_Count;
    std::uint8_t HA_SCSI_ID;
    std::uint8_t HA_ManagerId[16];
    std::uint8_t HA_Identifier[16];
    std::uint8_t HA_Unique[16];  // byte 3: the adapter's maximum number of targets
    std::uint16_t HA_Rsvd1;
};

struct SRB_GDEVBlock {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t SRB_Target;
    std::uint8_t SRB_Lun;
    std::uint8_t SRB_DeviceType;
    std::uint8_t SRB_Rsvd1;
};

struct SRB_ExecSCSICmd {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t SRB_Target;
    std::uint8_t SRB_Lun;
    std::uint16_t SRB_Rsvd1;
    std::uint32_t SRB_BufLen;
    std::uint8_t* SRB_BufPointer;
    std::uint8_t SRB_SenseLen;
    std::uint8_t SRB_CDBLen;
    std::uint8_t SRB_HaStat;
    std::uint8_t SRB_TargStat;
    void* SRB_PostProc;
    std::uint8_t SRB_Rsvd2[20];
    std::uint8_t CDBByte[16];
    std::uint8_t SenseArea[SENSE_LEN + 20];  // 34 bytes
};
#pragma pack(pop)

using GetASPI32SupportInfoFn = std::uint32_t (*)();
using SendASPI32CommandFn = std::uint32_t (*)(void* srb);
using GetASPI32DLLVersionFn = std::uint32_t (*)();

}  // namespace stowra::aspi

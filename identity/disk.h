// Disk identity: model, firmware revision, serial number, capacity and geometry of one physical disk,
// asked through the device-control interface from a fixed chain of sources.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mc {

struct HDInfo {
  std::optional<std::string> modelNumber;       // absent until a successful query fills it
  std::optional<std::string> firmwareRevision;  // empty when a fallback source answered
  std::optional<std::string> serialNumber;      // the value the window shows
  int32_t capacityMB = 0;
  int32_t bufferSizeMB = 0;
  int32_t sectorsPerTrack = 0;
  int32_t heads = 0;
  int32_t cylinders = 0;
};

// The fields of OSVERSIONINFOA the query reads; versionInfoLength is its dwOSVersionInfoSize.
struct OsVersionInfo {
  uint32_t versionInfoLength = 0;
  uint32_t majorVersion = 0;
  uint32_t minorVersion = 0;
  uint32_t buildNumber = 0;
  uint32_t platformId = 0;
};

// An opened device as the system names it; kNoDevice when an open failed.
using DeviceId = uintptr_t;
constexpr DeviceId kNoDevice = 0;

// The operating-system services the query needs. RealDeviceSystem() is the Windows side; the tests use a
// recording fake.
class DeviceSystem {
 public:
  virtual ~DeviceSystem() = default;
  // GetVersionExA. On entry `info` is zero but for versionInfoLength; a failed call leaves it as it is.
  virtual bool GetVersionExA(OsVersionInfo& info) = 0;
  // CreateFileA with no security attributes, flags 0 and no template; kNoDevice on failure.
  virtual DeviceId OpenDevice(const std::string& path, uint32_t access, uint32_t shareMode,
                              uint32_t disposition) = 0;
  // DeviceIoControl without overlapped I/O. `input` and `output` may be the same buffer, as the driver
  // copies the input before it writes the output. `returnedLength` is what the call reported.
  virtual bool ControlDevice(DeviceId device, uint32_t controlCode, const uint8_t* input,
                             uint32_t inputLength, uint8_t* output, uint32_t outputLength,
                             uint32_t& returnedLength) = 0;
  virtual void CloseDevice(DeviceId device) = 0;
};

// Fills `record` for drive number `drive` (only its low 8 bits count) and returns true, or returns false
// with the record untouched.
bool ReadDiskIdentity(DeviceSystem& system, HDInfo& record, int32_t drive = 0);

#ifdef _WIN32
DeviceSystem& RealDeviceSystem();
#endif

// The Windows values the query sends. The Windows side checks each against the SDK's own definitions.
namespace disk {

constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kFileShareRead = 0x1;
constexpr uint32_t kFileShareWrite = 0x2;
constexpr uint32_t kFileShareDelete = 0x4;
constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kOpenExisting = 3;

constexpr uint32_t kPlatformWin32Windows = 1;  // VER_PLATFORM_WIN32_WINDOWS: 95, 98, Me
constexpr uint32_t kPlatformWin32Nt = 2;       // VER_PLATFORM_WIN32_NT

constexpr uint32_t kSmartGetVersion = 0x74080;
constexpr uint32_t kSmartRcvDriveData = 0x7C088;
constexpr uint32_t kIoctlScsiMiniport = 0x4D008;
constexpr uint32_t kIoctlStorageQueryProperty = 0x2D1400;
constexpr uint32_t kIoctlDiskGetDriveGeometryEx = 0x700A0;
constexpr uint32_t kIoctlScsiMiniportIdentify = 0x1B0501;

constexpr uint8_t kIdentifyDevice = 0xEC;        // ATA IDENTIFY DEVICE
constexpr uint8_t kIdentifyPacketDevice = 0xA1;  // ATA IDENTIFY PACKET DEVICE (ATAPI)

// Structure sizes, 32- and 64-bit alike (the SMART ones are byte-packed).
constexpr uint32_t kOsVersionInfoLength = 148;           // OSVERSIONINFOA
constexpr uint32_t kGetVersionInParamsLength = 24;       // GETVERSIONINPARAMS
constexpr uint32_t kSendCmdInParamsLength = 33;          // SENDCMDINPARAMS, one-byte data area included
constexpr uint32_t kSendCmdOutParamsLength = 17;         // SENDCMDOUTPARAMS, one-byte data area included
constexpr uint32_t kSrbIoControlLength = 28;             // SRB_IO_CONTROL
constexpr uint32_t kStoragePropertyQueryLength = 12;     // STORAGE_PROPERTY_QUERY
constexpr uint32_t kStorageDeviceDescriptorLength = 40;  // STORAGE_DEVICE_DESCRIPTOR
constexpr uint32_t kDiskGeometryExLength = 40;           // DISK_GEOMETRY_EX, padded to 8 bytes
constexpr uint32_t kIdentifyLength = 512;                // IDENTIFY DEVICE data

}  // namespace disk

}  // namespace mc

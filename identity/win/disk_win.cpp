// The Windows side of the disk seam: GetVersionExA, CreateFileA, DeviceIoControl, CloseHandle.
#include "platform/windows_gate.h"

#include <ntddscsi.h>
#include <winioctl.h>

#include <cstddef>

#include "identity/disk.h"

// MinGW's headers stop before the miniport's own codes; the DDK has these in devioctl.h and ntdddisk.h.
#ifndef FILE_DEVICE_SCSI
#define FILE_DEVICE_SCSI 0x0000001b
#endif
#ifndef IOCTL_SCSI_MINIPORT_IDENTIFY
#define IOCTL_SCSI_MINIPORT_IDENTIFY ((FILE_DEVICE_SCSI << 16) + 0x0501)
#endif

namespace mc {
namespace {

using namespace disk;

// The values and layouts the portable query writes and reads by hand, against the SDK's own.
static_assert(kGenericRead == GENERIC_READ && kGenericWrite == GENERIC_WRITE, "access rights");
static_assert(kFileShareRead == FILE_SHARE_READ && kFileShareWrite == FILE_SHARE_WRITE &&
                  kFileShareDelete == FILE_SHARE_DELETE,
              "share modes");
static_assert(kCreateNew == CREATE_NEW && kOpenExisting == OPEN_EXISTING, "dispositions");
static_assert(kPlatformWin32Windows == VER_PLATFORM_WIN32_WINDOWS &&
                  kPlatformWin32Nt == VER_PLATFORM_WIN32_NT,
              "platform ids");

static_assert(SMART_GET_VERSION == kSmartGetVersion && kSmartGetVersion == 0x74080, "SMART_GET_VERSION");
static_assert(SMART_RCV_DRIVE_DATA == kSmartRcvDriveData && kSmartRcvDriveData == 0x7C088,
              "SMART_RCV_DRIVE_DATA");
static_assert(IOCTL_SCSI_MINIPORT == kIoctlScsiMiniport && kIoctlScsiMiniport == 0x4D008,
              "IOCTL_SCSI_MINIPORT");
static_assert(IOCTL_STORAGE_QUERY_PROPERTY == kIoctlStorageQueryProperty &&
                  kIoctlStorageQueryProperty == 0x2D1400,
              "IOCTL_STORAGE_QUERY_PROPERTY");
static_assert(IOCTL_DISK_GET_DRIVE_GEOMETRY_EX == kIoctlDiskGetDriveGeometryEx &&
                  kIoctlDiskGetDriveGeometryEx == 0x700A0,
              "IOCTL_DISK_GET_DRIVE_GEOMETRY_EX");
static_assert(IOCTL_SCSI_MINIPORT_IDENTIFY == kIoctlScsiMiniportIdentify &&
                  kIoctlScsiMiniportIdentify == 0x1B0501,
              "IOCTL_SCSI_MINIPORT_IDENTIFY");
static_assert(CAP_ATA_ID_CMD == 1 && ID_CMD == kIdentifyDevice && ATAPI_ID_CMD == kIdentifyPacketDevice,
              "IDENTIFY commands");

static_assert(sizeof(OSVERSIONINFOA) == kOsVersionInfoLength && offsetof(OSVERSIONINFOA, dwPlatformId) == 16,
              "OSVERSIONINFOA");
static_assert(sizeof(GETVERSIONINPARAMS) == kGetVersionInParamsLength &&
                  offsetof(GETVERSIONINPARAMS, bIDEDeviceMap) == 3 &&
                  offsetof(GETVERSIONINPARAMS, fCapabilities) == 4,
              "GETVERSIONINPARAMS");
static_assert(sizeof(IDEREGS) == 8 && offsetof(IDEREGS, bSectorCountReg) == 1 &&
                  offsetof(IDEREGS, bSectorNumberReg) == 2 && offsetof(IDEREGS, bDriveHeadReg) == 5 &&
                  offsetof(IDEREGS, bCommandReg) == 6,
              "IDEREGS");
static_assert(sizeof(SENDCMDINPARAMS) == kSendCmdInParamsLength &&
                  offsetof(SENDCMDINPARAMS, irDriveRegs) == 4 &&
                  offsetof(SENDCMDINPARAMS, bDriveNumber) == 12 && offsetof(SENDCMDINPARAMS, bBuffer) == 32,
              "SENDCMDINPARAMS");
static_assert(sizeof(SENDCMDOUTPARAMS) == kSendCmdOutParamsLength &&
                  offsetof(SENDCMDOUTPARAMS, bBuffer) == 16,
              "SENDCMDOUTPARAMS");
static_assert(sizeof(SRB_IO_CONTROL) == kSrbIoControlLength && offsetof(SRB_IO_CONTROL, Signature) == 4 &&
                  offsetof(SRB_IO_CONTROL, Timeout) == 12 && offsetof(SRB_IO_CONTROL, ControlCode) == 16 &&
                  offsetof(SRB_IO_CONTROL, Length) == 24,
              "SRB_IO_CONTROL");
static_assert(sizeof(STORAGE_PROPERTY_QUERY) == kStoragePropertyQueryLength && StorageDeviceProperty == 0 &&
                  PropertyStandardQuery == 0,
              "STORAGE_PROPERTY_QUERY");
static_assert(sizeof(STORAGE_DEVICE_DESCRIPTOR) == kStorageDeviceDescriptorLength &&
                  offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset) == 16 &&
                  offsetof(STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset) == 24,
              "STORAGE_DEVICE_DESCRIPTOR");
static_assert(sizeof(DISK_GEOMETRY_EX) == kDiskGeometryExLength && offsetof(DISK_GEOMETRY_EX, DiskSize) == 24,
              "DISK_GEOMETRY_EX");

HANDLE ToHandle(DeviceId device) { return reinterpret_cast<HANDLE>(device); }

class WindowsDeviceSystem : public DeviceSystem {
 public:
  bool GetVersionExA(OsVersionInfo& info) override {
    OSVERSIONINFOA version = {};
    if (info.versionInfoLength > sizeof version) return false;
    version.dwOSVersionInfoSize = info.versionInfoLength;
    if (!::GetVersionExA(&version)) return false;
    info.majorVersion = version.dwMajorVersion;
    info.minorVersion = version.dwMinorVersion;
    info.buildNumber = version.dwBuildNumber;
    info.platformId = version.dwPlatformId;
    return true;
  }

  DeviceId OpenDevice(const std::string& path, uint32_t access, uint32_t shareMode,
                      uint32_t disposition) override {
    const HANDLE handle = CreateFileA(path.c_str(), access, shareMode, nullptr, disposition, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return kNoDevice;
    return reinterpret_cast<DeviceId>(handle);
  }

  bool ControlDevice(DeviceId device, uint32_t controlCode, const uint8_t* input, uint32_t inputLength,
                     uint8_t* output, uint32_t outputLength, uint32_t& returnedLength) override {
    DWORD returned = 0;
    // METHOD_BUFFERED: the I/O manager copies the input away before the driver writes the output, so the
    // two may share a buffer.
    const BOOL succeeded = DeviceIoControl(ToHandle(device), controlCode, const_cast<uint8_t*>(input),
                                           inputLength, output, outputLength, &returned, nullptr);
    returnedLength = returned;
    return succeeded != FALSE;
  }

  void CloseDevice(DeviceId device) override { CloseHandle(ToHandle(device)); }
};

}  // namespace

DeviceSystem& RealDeviceSystem() {
  static WindowsDeviceSystem system;
  return system;
}

}  // namespace mc

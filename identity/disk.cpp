#include "identity/disk.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>
#include <vector>

namespace mc {
namespace {

using namespace disk;

// Byte offsets inside the request and reply structures (all little-endian).
// GETVERSIONINPARAMS
constexpr size_t kIdeDeviceMapOffset = 3;
constexpr size_t kCapabilitiesOffset = 4;
constexpr uint32_t kCapAtaIdCmd = 0x1;
// SENDCMDINPARAMS: cBufferSize, then IDEREGS, then bDriveNumber.
constexpr size_t kCmdBufferSizeOffset = 0;
constexpr size_t kSectorCountRegOffset = 5;
constexpr size_t kSectorNumberRegOffset = 6;
constexpr size_t kDriveHeadRegOffset = 9;
constexpr size_t kCommandRegOffset = 10;
constexpr size_t kDriveNumberOffset = 12;
// SENDCMDOUTPARAMS: cBufferSize and DRIVERSTATUS come before the data.
constexpr size_t kCmdOutHeaderLength = 16;
constexpr uint32_t kSmartReplyLength = kCmdOutHeaderLength + kIdentifyLength;  // 528
// SRB_IO_CONTROL
constexpr size_t kSrbSignatureOffset = 4;
constexpr size_t kSrbTimeoutOffset = 12;
constexpr size_t kSrbControlCodeOffset = 16;
constexpr size_t kSrbLengthOffset = 24;
constexpr uint32_t kMiniportTimeoutSeconds = 10000;
constexpr uint32_t kMiniportDataLength = kSendCmdOutParamsLength + kIdentifyLength;          // 529
constexpr uint32_t kMiniportBufferLength = kSrbIoControlLength + kMiniportDataLength;        // 557
constexpr uint32_t kMiniportInputLength = kSrbIoControlLength + kSendCmdInParamsLength - 1;  // 60
constexpr size_t kMiniportIdentifyOffset = kSrbIoControlLength + kCmdOutHeaderLength;        // 44
// STORAGE_DEVICE_DESCRIPTOR
constexpr size_t kProductIdOffsetOffset = 16;
constexpr size_t kSerialNumberOffsetOffset = 24;
constexpr uint32_t kDescriptorBufferLength = 10000;
// DISK_GEOMETRY_EX: DISK_GEOMETRY (24 bytes), then DiskSize.
constexpr size_t kDiskSizeOffset = 24;
// Source 6 sends its whole SENDCMDINPARAMS and reads into the same buffer.
constexpr uint32_t kBareSmartBufferLength = kSendCmdOutParamsLength + kIdentifyLength + 16;  // 545

constexpr uint32_t kTextBufferLength = 50;  // what the record's texts always fitted in, terminator included

static_assert(kSmartReplyLength == 528 && kMiniportBufferLength == 557 && kMiniportInputLength == 60 &&
                  kBareSmartBufferLength == 545 && kMiniportDataLength == 529,
              "request lengths");

uint16_t ReadWord16(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }

uint32_t ReadWord32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void WriteWord32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool IsWhiteSpace(uint8_t c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }
bool IsPrintable(uint8_t c) { return c >= 0x20 && c <= 0x7E; }

std::string TrimWhiteSpace(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsWhiteSpace(static_cast<uint8_t>(text[first]))) ++first;
  while (last > first && IsWhiteSpace(static_cast<uint8_t>(text[last - 1]))) --last;
  return text.substr(first, last - first);
}

// The text a record member holds: trimmed, and bounded like the 50-byte buffers it always lived in.
std::string RecordText(const std::string& text) {
  std::string bounded = TrimWhiteSpace(text);
  if (bounded.size() >= kTextBufferLength) bounded = TrimWhiteSpace(bounded.substr(0, kTextBufferLength - 1));
  return bounded;
}

// IDENTIFY DEVICE data, 256 little-endian words.
class IdentifyData {
 public:
  explicit IdentifyData(const uint8_t* bytes) : bytes_(bytes) {}
  uint16_t Word(int index) const { return ReadWord16(bytes_ + 2 * index); }
  uint32_t Words32(int index) const { return Word(index) | static_cast<uint32_t>(Word(index + 1)) << 16; }
  // ATA strings keep two characters per word, the first in the high byte.
  std::string Text(int first, int last) const {
    std::string text;
    for (int index = first; index <= last; ++index) {
      const uint16_t word = Word(index);
      const char pair[2] = {static_cast<char>(word >> 8), static_cast<char>(word & 0xFF)};
      for (char c : pair) {
        if (c == 0) return text;
        text.push_back(c);
      }
    }
    return text;
  }

 private:
  const uint8_t* bytes_;
};

struct WorkingResult {
  std::string modelNumber;
  std::string firmwareRevision;
  std::string serialNumber;
  int32_t capacityMB = 0;
  int32_t bufferSizeMB = 0;
  int32_t sectorsPerTrack = 0;
  int32_t heads = 0;
  int32_t cylinders = 0;
};

enum class Outcome { kAnswered, kUnavailable, kQueryFails };

// Closes the device when the source is done with it, whichever way it leaves.
class OpenDevice {
 public:
  OpenDevice(DeviceSystem& system, const std::string& path, uint32_t access, uint32_t shareMode,
             uint32_t disposition)
      : system_(system), device_(system.OpenDevice(path, access, shareMode, disposition)) {}
  ~OpenDevice() {
    if (device_ != kNoDevice) system_.CloseDevice(device_);
  }
  OpenDevice(const OpenDevice&) = delete;
  OpenDevice& operator=(const OpenDevice&) = delete;

  bool IsOpen() const { return device_ != kNoDevice; }
  bool Control(uint32_t controlCode, const uint8_t* input, uint32_t inputLength, uint8_t* output,
               uint32_t outputLength, uint32_t* returnedLength = nullptr) {
    uint32_t returned = 0;
    const bool succeeded =
        system_.ControlDevice(device_, controlCode, input, inputLength, output, outputLength, returned);
    if (returnedLength != nullptr) *returnedLength = returned;
    return succeeded;
  }

 private:
  DeviceSystem& system_;
  DeviceId device_;
};

std::string PhysicalDrivePath(uint8_t n) { return "\\\\.\\PhysicalDrive" + std::to_string(n); }
std::string ScsiPortPath(uint8_t n) { return "\\\\.\\Scsi" + std::to_string(n) + ":"; }

uint8_t DriveHeadFor(uint8_t n) { return (n % 2 == 0) ? 0xA0 : 0xB0; }  // master, slave

// The IDENTIFY request as SMART_RCV_DRIVE_DATA takes it: a SENDCMDINPARAMS of `length` bytes.
std::vector<uint8_t> SmartIdentifyRequest(uint32_t length, uint8_t n, uint8_t command, uint8_t sectorNumber) {
  std::vector<uint8_t> request(length, 0);
  WriteWord32(&request[kCmdBufferSizeOffset], kIdentifyLength);
  request[kSectorCountRegOffset] = 1;
  request[kSectorNumberRegOffset] = sectorNumber;
  request[kDriveHeadRegOffset] = DriveHeadFor(n);
  request[kCommandRegOffset] = command;
  request[kDriveNumberOffset] = n;
  return request;
}

std::vector<uint8_t> ReadSmartVersion(OpenDevice& device, bool& succeeded) {
  std::vector<uint8_t> version(kGetVersionInParamsLength, 0);
  succeeded = device.Control(kSmartGetVersion, nullptr, 0, version.data(), kGetVersionInParamsLength);
  return version;
}

// Full result: every member from the identify data. Word 3 or 6 zero would divide by zero in the
// cylinder count, and the query gives up on the spot rather than trying other sources.
Outcome FullResult(const IdentifyData& identify, WorkingResult& result) {
  const uint16_t heads = identify.Word(3);
  const uint16_t sectorsPerTrack = identify.Word(6);
  if (heads == 0 || sectorsPerTrack == 0) return Outcome::kQueryFails;
  const uint32_t sectors = identify.Words32(60);  // 28-bit addressing only, as it always was
  result.modelNumber = identify.Text(27, 46);
  result.firmwareRevision = identify.Text(23, 26);
  result.serialNumber = identify.Text(10, 19);
  result.capacityMB = static_cast<int32_t>(sectors >> 11);
  result.bufferSizeMB = static_cast<int32_t>(identify.Word(21) * 512u / 1024u / 1024u);
  result.sectorsPerTrack = sectorsPerTrack;
  result.heads = heads;
  result.cylinders = static_cast<int32_t>(sectors / heads / sectorsPerTrack);
  return Outcome::kAnswered;
}

void ReducedResult(const std::string& model, const std::string& serial, int64_t byteSize,
                   WorkingResult& result) {
  result = WorkingResult{};
  result.modelNumber = model;
  result.serialNumber = serial;
  result.capacityMB = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(byteSize / 1048576)));
}

void ReducedResult(const IdentifyData& identify, WorkingResult& result) {
  // Word 83 bit 10: the 48-bit address feature set; drives over 128 GiB report 0x0FFFFFFF in words 60-61.
  uint64_t sectors = identify.Words32(60);
  if (identify.Word(83) & (1u << 10)) {
    sectors = identify.Words32(100) | static_cast<uint64_t>(identify.Word(102)) << 32;
  }
  ReducedResult(identify.Text(27, 46), identify.Text(10, 19), static_cast<int64_t>(sectors * 512), result);
}

// Source 1 and the Windows 9x source: SMART IDENTIFY DEVICE on an opened device.
Outcome SmartIdentify(OpenDevice& device, uint8_t n, WorkingResult& result) {
  if (!device.IsOpen()) return Outcome::kUnavailable;
  bool succeeded = false;
  const std::vector<uint8_t> version = ReadSmartVersion(device, succeeded);
  if (!succeeded) return Outcome::kUnavailable;
  const uint32_t capabilities = ReadWord32(&version[kCapabilitiesOffset]);
  if ((capabilities & kCapAtaIdCmd) == 0) return Outcome::kUnavailable;
  // Long-standing test of the capability bits rather than the device map; the codes people already hold
  // depend on which drives it lets through, so it stays.
  if (capabilities & (0x10u >> (n % 32))) return Outcome::kUnavailable;
  const std::vector<uint8_t> request =
      SmartIdentifyRequest(kSendCmdInParamsLength - 1, n, kIdentifyDevice, 1);
  std::vector<uint8_t> reply(kSmartReplyLength, 0);
  if (!device.Control(kSmartRcvDriveData, request.data(), static_cast<uint32_t>(request.size()), reply.data(),
                      kSmartReplyLength)) {
    return Outcome::kUnavailable;
  }
  return FullResult(IdentifyData(&reply[kCmdOutHeaderLength]), result);
}

Outcome PhysicalDriveSmart(DeviceSystem& system, uint8_t n, WorkingResult& result) {
  OpenDevice device(system, PhysicalDrivePath(n), kGenericRead | kGenericWrite,
                    kFileShareRead | kFileShareWrite, kOpenExisting);
  return SmartIdentify(device, n, result);
}

// Windows 9x: the SMART driver SMARTVSD.VXD answers on its own device name.
Outcome SmartVsd(DeviceSystem& system, uint8_t n, WorkingResult& result) {
  OpenDevice device(system, "\\\\.\\Smartvsd", 0, 0, kCreateNew);
  return SmartIdentify(device, n, result);
}

// Source 2: IDENTIFY or IDENTIFY PACKET as the driver's device map says.
Outcome DeviceMapSmart(DeviceSystem& system, uint8_t n, WorkingResult& result) {
  OpenDevice device(system, PhysicalDrivePath(n), kGenericRead | kGenericWrite,
                    kFileShareRead | kFileShareWrite, kOpenExisting);
  if (!device.IsOpen()) return Outcome::kUnavailable;
  bool succeeded = false;
  const std::vector<uint8_t> version = ReadSmartVersion(device, succeeded);
  const uint8_t deviceMap = version[kIdeDeviceMapOffset];
  if (!succeeded || deviceMap == 0) return Outcome::kUnavailable;
  // Bits 4-7 of the map flag ATAPI devices on the four IDE positions.
  const uint8_t position = n % 32;
  const bool atapi = position < 4 && ((deviceMap >> (position + 4)) & 1) != 0;
  const std::vector<uint8_t> request =
      SmartIdentifyRequest(kSendCmdInParamsLength - 1, n, atapi ? kIdentifyPacketDevice : kIdentifyDevice, 0);
  std::vector<uint8_t> reply(kSmartReplyLength, 0);
  if (!device.Control(kSmartRcvDriveData, request.data(), static_cast<uint32_t>(request.size()), reply.data(),
                      kSmartReplyLength)) {
    return Outcome::kUnavailable;
  }
  ReducedResult(IdentifyData(&reply[kCmdOutHeaderLength]), result);
  return Outcome::kAnswered;
}

// Sources 3 and 4: the SCSI port driver passes IDENTIFY to an ATA miniport, which needs no
// administrator rights on NT 4 and 2000.
Outcome MiniportIdentify(DeviceSystem& system, uint8_t n, uint8_t target, WorkingResult& result) {
  OpenDevice device(system, ScsiPortPath(n), kGenericRead | kGenericWrite, kFileShareRead | kFileShareWrite,
                    kOpenExisting);
  if (!device.IsOpen()) return Outcome::kUnavailable;
  std::vector<uint8_t> buffer(kMiniportBufferLength, 0);
  WriteWord32(&buffer[0], kSrbIoControlLength);
  std::memcpy(&buffer[kSrbSignatureOffset], "SCSIDISK", 8);
  WriteWord32(&buffer[kSrbTimeoutOffset], kMiniportTimeoutSeconds);
  WriteWord32(&buffer[kSrbControlCodeOffset], kIoctlScsiMiniportIdentify);
  WriteWord32(&buffer[kSrbLengthOffset], kMiniportDataLength);
  buffer[kSrbIoControlLength + kCommandRegOffset] = kIdentifyDevice;
  buffer[kSrbIoControlLength + kDriveNumberOffset] = target;
  if (!device.Control(kIoctlScsiMiniport, buffer.data(), kMiniportInputLength, buffer.data(),
                      kMiniportBufferLength)) {
    return Outcome::kUnavailable;
  }
  const IdentifyData identify(&buffer[kMiniportIdentifyOffset]);
  if ((identify.Word(27) & 0xFF) == 0) return Outcome::kUnavailable;  // no model: no drive at that target
  ReducedResult(identify, result);
  return Outcome::kAnswered;
}

// A descriptor text: from `offset` to its zero byte, never past the bytes the driver returned.
std::string DescriptorText(const std::vector<uint8_t>& descriptor, uint32_t returnedLength, uint32_t offset,
                           bool exchangePairs) {
  const size_t end = std::min<size_t>(returnedLength, descriptor.size());
  if (static_cast<int32_t>(offset) <= 0 || offset >= end) return std::string();
  std::string text;
  for (size_t i = offset; i < end && descriptor[i] != 0; ++i)
    text.push_back(static_cast<char>(descriptor[i]));

  // Many drivers give the serial as hex digits of the ATA bytes; others give plain text.
  std::string decoded;
  bool hex = true;
  int highDigit = -1;
  for (char c : text) {
    uint8_t digit = static_cast<uint8_t>(c);
    if (digit >= 'A' && digit <= 'Z') digit = static_cast<uint8_t>(digit - 'A' + 'a');
    if (IsWhiteSpace(digit)) digit = '0';
    int value;
    if (digit >= '0' && digit <= '9') {
      value = digit - '0';
    } else if (digit >= 'a' && digit <= 'f') {
      value = digit - 'a' + 10;
    } else {
      hex = false;
      break;
    }
    if (highDigit < 0) {
      highDigit = value;
      continue;
    }
    const uint8_t byte = static_cast<uint8_t>(highDigit << 4 | value);
    highDigit = -1;
    if (byte != 0 && !IsPrintable(byte)) {
      hex = false;
      break;
    }
    decoded.push_back(static_cast<char>(byte));
  }
  if (!hex) {
    decoded.clear();
    bool printable = true;
    for (char c : text) printable = printable && IsPrintable(static_cast<uint8_t>(c));
    if (printable) decoded = text;
  }
  // ATA byte order undone pairwise. An odd length swaps its last character with the terminator and so
  // loses it (SN123 gives NS21); serials obtained that way are in use, so it stays.
  if (exchangePairs && !decoded.empty()) {
    decoded.push_back('\0');
    for (size_t k = 0; k + 1 < decoded.size(); k += 2) std::swap(decoded[k], decoded[k + 1]);
  }
  return TrimWhiteSpace(decoded.substr(0, decoded.find('\0')));
}

// Source 5: the storage descriptor, open without access rights so that an ordinary user gets it.
// Returns kUnavailable only when the descriptor itself could not be had.
Outcome StorageDescriptor(DeviceSystem& system, uint8_t n, WorkingResult& result) {
  OpenDevice device(system, PhysicalDrivePath(n), 0, kFileShareRead | kFileShareWrite, kOpenExisting);
  if (!device.IsOpen()) return Outcome::kUnavailable;
  const uint8_t query[kStoragePropertyQueryLength] = {};  // StorageDeviceProperty, PropertyStandardQuery
  std::vector<uint8_t> buffer(kDescriptorBufferLength, 0);
  uint32_t returnedLength = 0;
  if (!device.Control(kIoctlStorageQueryProperty, query, sizeof query, buffer.data(), kDescriptorBufferLength,
                      &returnedLength)) {
    return Outcome::kUnavailable;
  }
  const std::string model =
      DescriptorText(buffer, returnedLength, ReadWord32(&buffer[kProductIdOffsetOffset]), false);
  const std::string serial =
      DescriptorText(buffer, returnedLength, ReadWord32(&buffer[kSerialNumberOffsetOffset]), true);

  std::fill(buffer.begin(), buffer.end(), 0);
  int64_t byteSize = 0;
  if (device.Control(kIoctlDiskGetDriveGeometryEx, nullptr, 0, buffer.data(), kDescriptorBufferLength)) {
    byteSize = static_cast<int64_t>(ReadWord32(&buffer[kDiskSizeOffset]) |
                                    static_cast<uint64_t>(ReadWord32(&buffer[kDiskSizeOffset + 4])) << 32);
  }
  ReducedResult(model, serial, byteSize, result);
  return Outcome::kAnswered;
}

// Source 6: plain SMART IDENTIFY with FILE_SHARE_DELETE, for drives that are open elsewhere that way.
Outcome BareSmart(DeviceSystem& system, uint8_t n, WorkingResult& result) {
  OpenDevice device(system, PhysicalDrivePath(n), kGenericRead | kGenericWrite,
                    kFileShareRead | kFileShareWrite | kFileShareDelete, kOpenExisting);
  if (!device.IsOpen()) return Outcome::kUnavailable;
  bool succeeded = false;
  ReadSmartVersion(device, succeeded);
  if (!succeeded) return Outcome::kUnavailable;
  std::vector<uint8_t> buffer = SmartIdentifyRequest(kBareSmartBufferLength, n, kIdentifyDevice, 1);
  if (!device.Control(kSmartRcvDriveData, buffer.data(), kSendCmdInParamsLength, buffer.data(),
                      kBareSmartBufferLength)) {
    return Outcome::kUnavailable;
  }
  ReducedResult(IdentifyData(&buffer[kCmdOutHeaderLength]), result);
  return Outcome::kAnswered;
}

Outcome FallbackSources(DeviceSystem& system, uint8_t n, WorkingResult& result) {
  if (DeviceMapSmart(system, n, result) == Outcome::kAnswered) return Outcome::kAnswered;
  if (MiniportIdentify(system, n, 0, result) == Outcome::kAnswered) return Outcome::kAnswered;
  if (MiniportIdentify(system, n, 1, result) == Outcome::kAnswered) return Outcome::kAnswered;
  if (StorageDescriptor(system, n, result) == Outcome::kAnswered) return Outcome::kAnswered;
  return BareSmart(system, n, result);
}

Outcome RunSources(DeviceSystem& system, uint8_t n, WorkingResult& result) {
  OsVersionInfo version;
  version.versionInfoLength = kOsVersionInfoLength;
  system.GetVersionExA(version);  // a failed call leaves platform 0, which no branch takes
  if (version.platformId == kPlatformWin32Windows) return SmartVsd(system, n, result);
  if (version.platformId != kPlatformWin32Nt) return Outcome::kUnavailable;
  const Outcome outcome = PhysicalDriveSmart(system, n, result);
  if (outcome != Outcome::kUnavailable) return outcome;
  return FallbackSources(system, n, result);
}

}  // namespace

bool ReadDiskIdentity(DeviceSystem& system, HDInfo& record, int32_t drive) {
  try {
    const uint8_t n = static_cast<uint8_t>(drive);  // drive modulo 256
    WorkingResult result;
    if (RunSources(system, n, result) != Outcome::kAnswered) return false;
    HDInfo filled;
    filled.modelNumber = RecordText(result.modelNumber);
    filled.firmwareRevision = RecordText(result.firmwareRevision);
    filled.serialNumber = RecordText(result.serialNumber);
    filled.capacityMB = result.capacityMB;
    filled.bufferSizeMB = result.bufferSizeMB;
    filled.sectorsPerTrack = result.sectorsPerTrack;
    filled.heads = result.heads;
    filled.cylinders = result.cylinders;
    record = std::move(filled);  // moves only: nothing left that could fail half-way
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace mc

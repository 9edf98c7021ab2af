// A DeviceSystem that records every call, answers control requests from a script (or a function), can
// fail any call by its number, and stops the program when the query does something it must never do:
// a control code outside the five identification requests, an ATA command other than IDENTIFY (DEVICE or
// PACKET DEVICE), a request on a device that is not open, or a device left open.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "identity/disk.h"

namespace mc {

struct DeviceCall {
  enum class Kind { kOpen, kControl, kClose };
  Kind kind = Kind::kOpen;
  int number = 0;  // opens and controls are numbered 1, 2, ... in order; closes carry 0
  bool succeeded = false;
  DeviceId device = kNoDevice;
  std::string path;  // of the device, for controls and closes too
  uint32_t access = 0;
  uint32_t shareMode = 0;
  uint32_t disposition = 0;
  uint32_t controlCode = 0;
  std::vector<uint8_t> input;
  uint32_t outputLength = 0;
};

struct DeviceReply {
  bool succeeded = true;
  std::vector<uint8_t> bytes;              // written to the start of the output, cut to its length
  std::optional<uint32_t> returnedLength;  // default: the bytes written
};

class FakeDeviceSystem : public DeviceSystem {
 public:
  // Version.
  bool versionSucceeds = true;
  uint32_t platformId = disk::kPlatformWin32Nt;
  // Failures by call number, then per-open decisions, then the replies.
  std::set<int> failingCalls;
  std::function<bool(const DeviceCall&)> opens;           // default: every open succeeds
  std::function<DeviceReply(const DeviceCall&)> respond;  // default: the script, in order
  std::deque<DeviceReply> script;                         // a control with the script empty fails

  // Record.
  std::vector<uint32_t> versionInfoLengths;
  std::vector<DeviceCall> calls;

  FakeDeviceSystem() = default;
  FakeDeviceSystem(const FakeDeviceSystem&) = delete;
  FakeDeviceSystem& operator=(const FakeDeviceSystem&) = delete;
  ~FakeDeviceSystem() override {
    for (const auto& entry : open_) Violation("device left open: " + entry.second);
  }

  bool GetVersionExA(OsVersionInfo& info) override {
    versionInfoLengths.push_back(info.versionInfoLength);
    if (!versionSucceeds) return false;
    info.majorVersion = platformId == disk::kPlatformWin32Windows ? 4 : 5;
    info.minorVersion = platformId == disk::kPlatformWin32Windows ? 10 : 1;
    info.buildNumber = 2600;
    info.platformId = platformId;
    return true;
  }

  DeviceId OpenDevice(const std::string& path, uint32_t access, uint32_t shareMode,
                      uint32_t disposition) override {
    DeviceCall call;
    call.kind = DeviceCall::Kind::kOpen;
    call.number = ++callCount_;
    call.path = path;
    call.access = access;
    call.shareMode = shareMode;
    call.disposition = disposition;
    call.succeeded = failingCalls.count(call.number) == 0 && (!opens || opens(call));
    if (call.succeeded) {
      call.device = nextDevice_++;
      open_[call.device] = path;
    }
    calls.push_back(call);
    return call.device;
  }

  bool ControlDevice(DeviceId device, uint32_t controlCode, const uint8_t* input, uint32_t inputLength,
                     uint8_t* output, uint32_t outputLength, uint32_t& returnedLength) override {
    DeviceCall call;
    call.kind = DeviceCall::Kind::kControl;
    call.number = ++callCount_;
    call.device = device;
    auto found = open_.find(device);
    if (found == open_.end()) Violation("control request on a device that is not open");
    call.path = found->second;
    call.controlCode = controlCode;
    if (inputLength > 0 && input == nullptr) Violation("input length without input");
    if (outputLength > 0 && output == nullptr) Violation("output length without output");
    if (inputLength > 0) call.input.assign(input, input + inputLength);
    call.outputLength = outputLength;
    CheckSafe(call);

    DeviceReply reply;
    if (failingCalls.count(call.number) != 0) {
      reply.succeeded = false;
    } else if (respond) {
      reply = respond(call);
    } else if (!script.empty()) {
      reply = script.front();
      script.pop_front();
    } else {
      reply.succeeded = false;
    }
    call.succeeded = reply.succeeded;
    calls.push_back(call);
    if (!reply.succeeded) return false;
    const uint32_t written = std::min<uint32_t>(static_cast<uint32_t>(reply.bytes.size()), outputLength);
    if (written > 0) std::memcpy(output, reply.bytes.data(), written);
    returnedLength = reply.returnedLength ? *reply.returnedLength : written;
    return true;
  }

  void CloseDevice(DeviceId device) override {
    DeviceCall call;
    call.kind = DeviceCall::Kind::kClose;
    call.device = device;
    auto found = open_.find(device);
    if (found == open_.end()) Violation("close of a device that is not open");
    call.path = found->second;
    call.succeeded = true;
    open_.erase(found);
    calls.push_back(call);
  }

  int OpenCount() const { return Count(DeviceCall::Kind::kOpen, true); }
  int CloseCount() const { return Count(DeviceCall::Kind::kClose, true); }
  std::vector<std::string> OpenedPaths() const {
    std::vector<std::string> paths;
    for (const DeviceCall& call : calls)
      if (call.kind == DeviceCall::Kind::kOpen) paths.push_back(call.path);
    return paths;
  }

 private:
  [[noreturn]] static void Violation(const std::string& what) {
    std::fprintf(stderr, "FakeDeviceSystem: %s\n", what.c_str());
    std::abort();
  }

  // Identification requests only: nothing that reads, writes or changes the disk.
  static void CheckSafe(const DeviceCall& call) {
    auto commandAt = [&](size_t offset) {
      if (call.input.size() <= offset) Violation("ATA request too short to hold its command");
      const uint8_t command = call.input[offset];
      if (command != disk::kIdentifyDevice && command != disk::kIdentifyPacketDevice)
        Violation("ATA command other than IDENTIFY: " + std::to_string(command));
    };
    switch (call.controlCode) {
      case disk::kSmartGetVersion:
      case disk::kIoctlStorageQueryProperty:
      case disk::kIoctlDiskGetDriveGeometryEx:
        return;
      case disk::kSmartRcvDriveData:
        commandAt(10);  // SENDCMDINPARAMS.irDriveRegs.bCommandReg
        return;
      case disk::kIoctlScsiMiniport: {
        if (call.input.size() < 28) Violation("miniport request without SRB_IO_CONTROL");
        const uint32_t code = call.input[16] | call.input[17] << 8 | call.input[18] << 16 |
                              static_cast<uint32_t>(call.input[19]) << 24;
        if (code != disk::kIoctlScsiMiniportIdentify) Violation("miniport request other than IDENTIFY");
        commandAt(28 + 10);
        return;
      }
      default:
        Violation("control code outside the identification requests: " + std::to_string(call.controlCode));
    }
  }

  int Count(DeviceCall::Kind kind, bool succeeded) const {
    int count = 0;
    for (const DeviceCall& call : calls) count += (call.kind == kind && call.succeeded == succeeded);
    return count;
  }

  int callCount_ = 0;
  DeviceId nextDevice_ = 0x100;
  std::map<DeviceId, std::string> open_;
};

// Reply builders for the tests and the fuzzer.
namespace fake {

struct IdentifyFields {
  std::string model = "FAKE DISK 1000";
  std::string serial = "FAKE0001";
  std::string firmware = "1.0";
  uint16_t heads = 16;            // word 3
  uint16_t sectorsPerTrack = 63;  // word 6
  uint16_t bufferBlocks = 0;      // word 21, 512-byte units
  uint32_t sectors28 = 0;         // words 60-61
  bool lba48 = false;             // word 83 bit 10
  uint64_t sectors48 = 0;         // words 100-103
};

inline void PutWord(std::vector<uint8_t>& block, int word, uint16_t value) {
  block[2 * word] = static_cast<uint8_t>(value);
  block[2 * word + 1] = static_cast<uint8_t>(value >> 8);
}

// An ATA string field: space-padded, two characters per word with the first in the high byte.
inline void PutText(std::vector<uint8_t>& block, int firstWord, int lastWord, const std::string& text) {
  const size_t length = 2 * static_cast<size_t>(lastWord - firstWord + 1);
  std::string padded = text.substr(0, length);
  padded.resize(length, ' ');
  for (size_t i = 0; i < length; i += 2) {
    block[2 * firstWord + i] = static_cast<uint8_t>(padded[i + 1]);
    block[2 * firstWord + i + 1] = static_cast<uint8_t>(padded[i]);
  }
}

inline std::vector<uint8_t> IdentifyBlock(const IdentifyFields& fields) {
  std::vector<uint8_t> block(disk::kIdentifyLength, 0);
  PutWord(block, 3, fields.heads);
  PutWord(block, 6, fields.sectorsPerTrack);
  PutText(block, 10, 19, fields.serial);
  PutWord(block, 21, fields.bufferBlocks);
  PutText(block, 23, 26, fields.firmware);
  PutText(block, 27, 46, fields.model);
  PutWord(block, 60, static_cast<uint16_t>(fields.sectors28));
  PutWord(block, 61, static_cast<uint16_t>(fields.sectors28 >> 16));
  if (fields.lba48) PutWord(block, 83, 1u << 10);
  for (int i = 0; i < 4; ++i) PutWord(block, 100 + i, static_cast<uint16_t>(fields.sectors48 >> (16 * i)));
  return block;
}

// GETVERSIONINPARAMS
inline DeviceReply SmartVersion(uint8_t deviceMap, uint32_t capabilities) {
  DeviceReply reply;
  reply.bytes = {1, 1, 0, deviceMap, 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) reply.bytes[4 + i] = static_cast<uint8_t>(capabilities >> (8 * i));
  reply.bytes.resize(disk::kGetVersionInParamsLength, 0);
  return reply;
}

// SENDCMDOUTPARAMS: cBufferSize 512, a clean DRIVERSTATUS, then the block.
inline DeviceReply SmartIdentify(const std::vector<uint8_t>& block) {
  DeviceReply reply;
  reply.bytes.assign(16, 0);
  reply.bytes[1] = 0x02;
  reply.bytes.insert(reply.bytes.end(), block.begin(), block.end());
  return reply;
}

// SRB_IO_CONTROL as the miniport leaves it, then SENDCMDOUTPARAMS.
inline DeviceReply MiniportIdentify(const std::vector<uint8_t>& block) {
  DeviceReply reply;
  reply.bytes.assign(28, 0);
  reply.bytes[0] = 28;
  std::memcpy(&reply.bytes[4], "SCSIDISK", 8);
  const DeviceReply smart = SmartIdentify(block);
  reply.bytes.insert(reply.bytes.end(), smart.bytes.begin(), smart.bytes.end());
  return reply;
}

// STORAGE_DEVICE_DESCRIPTOR with product and serial texts placed after the fixed part. A text that is
// absent leaves its offset 0; the returned length defaults to the end of the last text's terminator.
inline DeviceReply StorageDescriptor(const std::optional<std::string>& product,
                                     const std::optional<std::string>& serial) {
  DeviceReply reply;
  reply.bytes.assign(disk::kStorageDeviceDescriptorLength, 0);
  auto place = [&](size_t offsetField, const std::optional<std::string>& text) {
    if (!text) return;
    const uint32_t offset = static_cast<uint32_t>(reply.bytes.size());
    for (int i = 0; i < 4; ++i) reply.bytes[offsetField + i] = static_cast<uint8_t>(offset >> (8 * i));
    reply.bytes.insert(reply.bytes.end(), text->begin(), text->end());
    reply.bytes.push_back(0);
  };
  place(16, product);
  place(24, serial);
  reply.bytes[0] = 40;  // Version: the size of the structure
  for (int i = 0; i < 4; ++i)
    reply.bytes[4 + i] = static_cast<uint8_t>(reply.bytes.size() >> (8 * i));  // Size
  return reply;
}

// DISK_GEOMETRY_EX with a made-up geometry and the given DiskSize.
inline DeviceReply DriveGeometry(int64_t diskSize) {
  DeviceReply reply;
  reply.bytes.assign(disk::kDiskGeometryExLength, 0);
  reply.bytes[8] = 12;    // FixedMedia
  reply.bytes[12] = 255;  // TracksPerCylinder
  reply.bytes[16] = 63;   // SectorsPerTrack
  reply.bytes[21] = 2;    // BytesPerSector 512
  for (int i = 0; i < 8; ++i)
    reply.bytes[24 + i] = static_cast<uint8_t>(static_cast<uint64_t>(diskSize) >> (8 * i));
  return reply;
}

inline DeviceReply Failure() {
  DeviceReply reply;
  reply.succeeded = false;
  return reply;
}

}  // namespace fake
}  // namespace mc

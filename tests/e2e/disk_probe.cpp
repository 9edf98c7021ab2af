// Runs the real disk query and prints what it did and what it got, one key=value line each:
//   open path=... access=... share=... disposition=... result=ok|fail
//   control code=... input=... output=... result=ok|fail returned=...
//   geometry_disk_size=...          (DiskSize of each successful geometry request, as the system gave it)
//   result=true|false, then the record's members (a text member only when present), opens=, closes=
// The drive number is the first argument (default 0).
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "identity/disk.h"

namespace {

// Passes every call to the real system and reports it.
class LoggingDeviceSystem : public mc::DeviceSystem {
 public:
  explicit LoggingDeviceSystem(mc::DeviceSystem& real) : real_(real) {}

  int opens = 0;
  int closes = 0;

  bool GetVersionExA(mc::OsVersionInfo& info) override {
    const bool succeeded = real_.GetVersionExA(info);
    std::printf("version result=%s platform=%" PRIu32 " major=%" PRIu32 " minor=%" PRIu32 "\n",
                succeeded ? "ok" : "fail", info.platformId, info.majorVersion, info.minorVersion);
    return succeeded;
  }

  mc::DeviceId OpenDevice(const std::string& path, uint32_t access, uint32_t shareMode,
                          uint32_t disposition) override {
    const mc::DeviceId device = real_.OpenDevice(path, access, shareMode, disposition);
    std::printf("open path=%s access=%08" PRIX32 " share=%" PRIX32 " disposition=%" PRIu32 " result=%s\n",
                path.c_str(), access, shareMode, disposition, device != mc::kNoDevice ? "ok" : "fail");
    if (device != mc::kNoDevice) ++opens;
    return device;
  }

  bool ControlDevice(mc::DeviceId device, uint32_t controlCode, const uint8_t* input, uint32_t inputLength,
                     uint8_t* output, uint32_t outputLength, uint32_t& returnedLength) override {
    const bool succeeded =
        real_.ControlDevice(device, controlCode, input, inputLength, output, outputLength, returnedLength);
    std::printf(
        "control code=%05" PRIX32 " input=%" PRIu32 " output=%" PRIu32 " result=%s returned=%" PRIu32 "\n",
        controlCode, inputLength, outputLength, succeeded ? "ok" : "fail", succeeded ? returnedLength : 0);
    if (succeeded && controlCode == mc::disk::kIoctlDiskGetDriveGeometryEx && outputLength >= 32) {
      int64_t diskSize = 0;
      std::memcpy(&diskSize, output + 24, sizeof diskSize);  // DISK_GEOMETRY_EX.DiskSize
      std::printf("geometry_disk_size=%" PRId64 "\n", diskSize);
    }
    return succeeded;
  }

  void CloseDevice(mc::DeviceId device) override {
    real_.CloseDevice(device);
    ++closes;
  }

 private:
  mc::DeviceSystem& real_;
};

void PrintText(const char* name, const std::optional<std::string>& text) {
  if (text) std::printf("%s=%s\n", name, text->c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t drive = argc > 1 ? static_cast<int32_t>(std::strtol(argv[1], nullptr, 10)) : 0;
  LoggingDeviceSystem system(mc::RealDeviceSystem());
  mc::HDInfo record;
  const bool result = mc::ReadDiskIdentity(system, record, drive);
  std::printf("result=%s\n", result ? "true" : "false");
  PrintText("modelNumber", record.modelNumber);
  PrintText("firmwareRevision", record.firmwareRevision);
  PrintText("serialNumber", record.serialNumber);
  std::printf("capacityMB=%" PRId32 "\nbufferSizeMB=%" PRId32 "\nsectorsPerTrack=%" PRId32 "\nheads=%" PRId32
              "\ncylinders=%" PRId32 "\n",
              record.capacityMB, record.bufferSizeMB, record.sectorsPerTrack, record.heads, record.cylinders);
  std::printf("opens=%d\ncloses=%d\n", system.opens, system.closes);
  return 0;
}

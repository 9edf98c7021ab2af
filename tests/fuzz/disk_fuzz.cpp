// ReadDiskIdentity against a device whose every answer comes from the fuzz input: the version, each
// open, and each control request's success, reply bytes and reported length. The fake device stops the
// run on any request outside the identification requests and on a device left open; this target also
// checks that a failed query leaves the record alone and that a successful one stores bounded, trimmed
// texts.
//
// Input: byte 0 chooses the platform (bits 0-1: NT, 9x, 0, 3; bit 2: the version call fails), bytes 1-4
// the drive number (little-endian). Then, in the order the query asks: one byte per open (odd: it
// opens); per control request one flag byte (bit 0: succeeds, bit 1: reports its own returned length),
// a 16-bit reply length, the reply bytes and, with bit 1, a 32-bit returned length. Missing input makes
// opens and requests fail.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fakes/fake_device_system.h"
#include "identity/disk.h"

namespace {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return position_ >= size_; }
  uint8_t Byte() { return Empty() ? 0 : data_[position_++]; }
  uint32_t Word(int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(Byte()) << (8 * i);
    return value;
  }
  std::vector<uint8_t> Bytes(size_t count) {
    const size_t available = Empty() ? 0 : std::min(count, size_ - position_);
    std::vector<uint8_t> bytes(data_ + position_, data_ + position_ + available);
    position_ += available;
    return bytes;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

bool IsWhiteSpace(char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }

void CheckText(const std::optional<std::string>& text) {
  if (!text) std::abort();  // a successful query stores every text, empty or not
  if (text->size() > 49) std::abort();
  if (!text->empty() && (IsWhiteSpace(text->front()) || IsWhiteSpace(text->back()))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input(data, size);
  mc::FakeDeviceSystem system;
  const uint8_t platform = input.Byte();
  const uint32_t platforms[] = {mc::disk::kPlatformWin32Nt, mc::disk::kPlatformWin32Windows, 0, 3};
  system.platformId = platforms[platform & 3];
  system.versionSucceeds = (platform & 4) == 0;
  const int32_t drive = static_cast<int32_t>(input.Word(4));
  system.opens = [&](const mc::DeviceCall&) { return (input.Byte() & 1) != 0; };
  system.respond = [&](const mc::DeviceCall&) {
    mc::DeviceReply reply;
    if (input.Empty()) return mc::fake::Failure();
    const uint8_t flags = input.Byte();
    reply.succeeded = (flags & 1) != 0;
    reply.bytes = input.Bytes(input.Word(2));
    if (flags & 2) reply.returnedLength = input.Word(4);
    return reply;
  };

  mc::HDInfo record;
  record.serialNumber = "untouched";
  record.capacityMB = 12345;
  if (mc::ReadDiskIdentity(system, record, drive)) {
    CheckText(record.modelNumber);
    CheckText(record.firmwareRevision);
    CheckText(record.serialNumber);
  } else if (record.modelNumber || record.firmwareRevision || record.serialNumber != "untouched" ||
             record.capacityMB != 12345 || record.bufferSizeMB != 0 || record.sectorsPerTrack != 0 ||
             record.heads != 0 || record.cylinders != 0) {
    std::abort();
  }
  return 0;
}

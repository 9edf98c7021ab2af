// The exact requests of every source: device path, access, share mode, disposition, control code, input
// bytes and output size, for drive numbers 0, 1, 4 and 257.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "fakes/fake_device_system.h"
#include "identity/disk.h"

namespace mc {
namespace {

std::vector<uint8_t> Hex(const std::string& digits) {
  std::vector<uint8_t> bytes;
  std::string pending;
  for (char c : digits) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    pending.push_back(c);
    if (pending.size() == 2) {
      bytes.push_back(static_cast<uint8_t>(std::stoul(pending, nullptr, 16)));
      pending.clear();
    }
  }
  return bytes;
}

std::string Byte(uint8_t value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

// One request as a line of text, so that a mismatch shows the whole request.
std::string Describe(const DeviceCall& call) {
  char head[160];
  switch (call.kind) {
    case DeviceCall::Kind::kOpen:
      std::snprintf(head, sizeof head, "open %s access %08X share %X disposition %u", call.path.c_str(),
                    call.access, call.shareMode, call.disposition);
      return head;
    case DeviceCall::Kind::kClose:
      return "close " + call.path;
    case DeviceCall::Kind::kControl:
      break;
  }
  std::snprintf(head, sizeof head, "control %s code %05X output %u input ", call.path.c_str(),
                call.controlCode, call.outputLength);
  std::string line = head;
  for (uint8_t b : call.input) line += Byte(b);
  return line;
}

DeviceCall Open(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition) {
  DeviceCall call;
  call.kind = DeviceCall::Kind::kOpen;
  call.path = path;
  call.access = access;
  call.shareMode = share;
  call.disposition = disposition;
  return call;
}

DeviceCall Control(const std::string& path, uint32_t code, const std::string& inputHex,
                   uint32_t outputLength) {
  DeviceCall call;
  call.kind = DeviceCall::Kind::kControl;
  call.path = path;
  call.controlCode = code;
  call.input = Hex(inputHex);
  call.outputLength = outputLength;
  return call;
}

DeviceCall Close(const std::string& path) {
  DeviceCall call;
  call.kind = DeviceCall::Kind::kClose;
  call.path = path;
  return call;
}

// SENDCMDINPARAMS: cBufferSize, IDEREGS (features, count, number, cyl low, cyl high, drive/head, command,
// reserved), bDriveNumber, 3 reserved bytes, 16 reserved bytes.
std::string SendCmd(uint8_t bufferLengthLow, uint8_t bufferLengthHigh, uint8_t count, uint8_t number,
                    uint8_t head, uint8_t command, uint8_t drive) {
  return Byte(bufferLengthLow) + Byte(bufferLengthHigh) + "0000" + "00" + Byte(count) + Byte(number) +
         "0000" + Byte(head) + Byte(command) + "00" + Byte(drive) + "000000" + std::string(32, '0');
}

enum class Source { kSmartVsd, k1, k2, k3, k4, k5, k6 };

struct RequestRow {
  Source source;
  int32_t drive;
  std::vector<DeviceCall> expected;  // from the source's open to its close
};

constexpr uint32_t kReadWrite = 0xC0000000;

std::vector<RequestRow> RequestRows() {
  std::vector<RequestRow> rows;
  struct Drive {
    int32_t drive;
    std::string digits;
    uint8_t head;
    uint8_t number;
    uint8_t deviceMapCommand;  // the device map of the fake reply is 0x21: drive 1 is an ATAPI device
  };
  const Drive drives[] = {
      {0, "0", 0xA0, 0, 0xEC}, {1, "1", 0xB0, 1, 0xA1}, {4, "4", 0xA0, 4, 0xEC}, {257, "1", 0xB0, 1, 0xA1}};
  for (const Drive& d : drives) {
    const std::string drive = "\\\\.\\PhysicalDrive" + d.digits;
    const std::string scsi = "\\\\.\\Scsi" + d.digits + ":";
    const std::string smartvsd = "\\\\.\\Smartvsd";
    const std::string identify1 = SendCmd(0x00, 0x02, 1, 1, d.head, 0xEC, d.number);
    // Capability bit 0x01 stands where drive 4 is tested: that number never gets to the identify request.
    std::vector<DeviceCall> source1 = {Open(drive, kReadWrite, 3, 3), Control(drive, 0x74080, "", 24)};
    std::vector<DeviceCall> smartvsd1 = {Open(smartvsd, 0, 0, 1), Control(smartvsd, 0x74080, "", 24)};
    if (d.drive != 4) {
      source1.push_back(Control(drive, 0x7C088, identify1, 528));
      smartvsd1.push_back(Control(smartvsd, 0x7C088, identify1, 528));
    }
    source1.push_back(Close(drive));
    smartvsd1.push_back(Close(smartvsd));
    rows.push_back({Source::kSmartVsd, d.drive, smartvsd1});
    rows.push_back({Source::k1, d.drive, source1});
    rows.push_back(
        {Source::k2,
         d.drive,
         {Open(drive, kReadWrite, 3, 3), Control(drive, 0x74080, "", 24),
          Control(drive, 0x7C088, SendCmd(0x00, 0x02, 1, 0, d.head, d.deviceMapCommand, d.number), 528),
          Close(drive)}});
    for (uint8_t target : {0, 1}) {
      // SRB_IO_CONTROL: HeaderLength 28, "SCSIDISK", Timeout 10000, IOCTL_SCSI_MINIPORT_IDENTIFY,
      // ReturnCode 0, Length 529; then the first 32 bytes of SENDCMDINPARAMS.
      const std::string srb = "1C000000 534353494449534B 10270000 01051B00 00000000 11020000";
      rows.push_back(
          {target == 0 ? Source::k3 : Source::k4,
           d.drive,
           {Open(scsi, kReadWrite, 3, 3),
            Control(scsi, 0x4D008, srb + SendCmd(0, 0, 0, 0, 0, 0xEC, target), 557), Close(scsi)}});
    }
    rows.push_back({Source::k5,
                    d.drive,
                    {Open(drive, 0, 3, 3), Control(drive, 0x2D1400, "000000000000000000000000", 10000),
                     Control(drive, 0x700A0, "", 10000), Close(drive)}});
    rows.push_back({Source::k6,
                    d.drive,
                    {Open(drive, kReadWrite, 7, 3), Control(drive, 0x74080, "", 24),
                     Control(drive, 0x7C088, identify1 + "00", 545), Close(drive)}});
  }
  return rows;
}

DeviceReply AnswerEverything(const DeviceCall& call) {
  fake::IdentifyFields fields;
  fields.sectors28 = 1000000;
  const std::vector<uint8_t> block = fake::IdentifyBlock(fields);
  switch (call.controlCode) {
    case disk::kSmartGetVersion:
      return fake::SmartVersion(0x21, 0x07);
    case disk::kSmartRcvDriveData:
      return fake::SmartIdentify(block);
    case disk::kIoctlScsiMiniport:
      return fake::MiniportIdentify(block);
    case disk::kIoctlStorageQueryProperty:
      return fake::StorageDescriptor("MODEL", "SERIAL");
    case disk::kIoctlDiskGetDriveGeometryEx:
      return fake::DriveGeometry(80LL << 30);
    default:
      return fake::Failure();
  }
}

TEST(DiskRequests, EverySourceSendsExactlyItsRequests) {
  for (const RequestRow& row : RequestRows()) {
    // Every source before the one under test fails at its open; the 9x source is the only one of its family.
    const int earlierSources = row.source == Source::kSmartVsd ? 0 : static_cast<int>(row.source) - 1;
    FakeDeviceSystem system;
    system.platformId =
        row.source == Source::kSmartVsd ? disk::kPlatformWin32Windows : disk::kPlatformWin32Nt;
    for (int call = 1; call <= earlierSources; ++call) system.failingCalls.insert(call);
    system.respond = AnswerEverything;
    HDInfo record;
    ReadDiskIdentity(system, record, row.drive);

    std::vector<std::string> expected;
    for (const DeviceCall& call : row.expected) expected.push_back(Describe(call));
    std::vector<std::string> actual;
    for (size_t i = earlierSources; i < system.calls.size(); ++i) {
      actual.push_back(Describe(system.calls[i]));
      if (system.calls[i].kind == DeviceCall::Kind::kClose) break;
    }
    EXPECT_EQ(actual, expected) << "source " << static_cast<int>(row.source) << " (0 = Smartvsd), drive "
                                << row.drive;
    EXPECT_EQ(system.versionInfoLengths, std::vector<uint32_t>{148});
  }
}

TEST(DiskRequests, DeviceMapChoosesIdentifyPacketForAtapiPositions) {
  struct Case {
    int32_t drive;
    uint8_t deviceMap;
    uint8_t command;
  } cases[] = {
      {0, 0x10, 0xA1}, {0, 0x20, 0xEC},  {1, 0x20, 0xA1},
      {3, 0x80, 0xA1}, {2, 0x40, 0xA1},  {4, 0xFF, 0xEC},  // only the four IDE positions have ATAPI bits
      {2, 0x0F, 0xEC}, {33, 0x20, 0xA1}, {257, 0x20, 0xA1},
  };
  for (const Case& c : cases) {
    FakeDeviceSystem system;
    system.failingCalls = {1};  // source 1 unavailable
    system.respond = [&](const DeviceCall& call) {
      if (call.controlCode == disk::kSmartGetVersion) return fake::SmartVersion(c.deviceMap, 0x07);
      return AnswerEverything(call);
    };
    HDInfo record;
    EXPECT_TRUE(ReadDiskIdentity(system, record, c.drive));
    ASSERT_GE(system.calls.size(), 4u);
    const DeviceCall& identify = system.calls[3];
    ASSERT_EQ(identify.controlCode, disk::kSmartRcvDriveData);
    EXPECT_EQ(identify.input[10], c.command) << "drive " << c.drive << " map " << int(c.deviceMap);
  }
}

}  // namespace
}  // namespace mc

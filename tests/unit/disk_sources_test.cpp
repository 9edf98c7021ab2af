// Which source answers: every failure point of every source, the reply contents that make a source
// unavailable, the Windows 9x branch and the platform test. A false result must leave the record as it was.
#include <gtest/gtest.h>

#include <new>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_device_system.h"
#include "identity/disk.h"

namespace mc {
namespace {

// What a caller's record holds before the query; a failed query must leave exactly this.
HDInfo Untouched() {
  HDInfo record;
  record.modelNumber = "old model";
  record.serialNumber = "old serial";
  record.capacityMB = -7;
  record.cylinders = 99;
  return record;
}

void ExpectUntouched(const HDInfo& record) {
  const HDInfo old = Untouched();
  EXPECT_EQ(record.modelNumber, old.modelNumber);
  EXPECT_EQ(record.firmwareRevision, old.firmwareRevision);
  EXPECT_EQ(record.serialNumber, old.serialNumber);
  EXPECT_EQ(record.capacityMB, old.capacityMB);
  EXPECT_EQ(record.bufferSizeMB, old.bufferSizeMB);
  EXPECT_EQ(record.sectorsPerTrack, old.sectorsPerTrack);
  EXPECT_EQ(record.heads, old.heads);
  EXPECT_EQ(record.cylinders, old.cylinders);
}

std::vector<uint8_t> Block(const std::string& serial) {
  fake::IdentifyFields fields;
  fields.serial = serial;
  fields.sectors28 = 2048 * 100;  // 100 MB
  return fake::IdentifyBlock(fields);
}

// Every request answers, each source with its own serial so the test sees who answered.
struct Replies {
  uint8_t deviceMap = 0x01;
  uint32_t capabilities = 0x07;  // CAP_ATA_ID_CMD | CAP_ATAPI_ID_CMD | CAP_SMART_CMD
  std::vector<uint8_t> source1 = Block("SOURCE-1");
  std::vector<uint8_t> miniportTarget0 = Block("SOURCE-3");
  std::vector<uint8_t> miniportTarget1 = Block("SOURCE-4");

  DeviceReply operator()(const DeviceCall& call) const {
    switch (call.controlCode) {
      case disk::kSmartGetVersion:
        return fake::SmartVersion(deviceMap, capabilities);
      case disk::kSmartRcvDriveData:
        if (call.outputLength == 545) return fake::SmartIdentify(Block("SOURCE-6"));
        return fake::SmartIdentify(call.input[6] == 1 ? source1 : Block("SOURCE-2"));  // sector number
      case disk::kIoctlScsiMiniport:
        return fake::MiniportIdentify(call.input[28 + 12] == 0 ? miniportTarget0 : miniportTarget1);
      case disk::kIoctlStorageQueryProperty:
        return fake::StorageDescriptor("MODEL 5", "OSRUEC5-");  // the serial comes out pair-exchanged
      case disk::kIoctlDiskGetDriveGeometryEx:
        return fake::DriveGeometry(500LL << 20);
      default:
        return fake::Failure();
    }
  }
};

std::string Answerer(bool result, const HDInfo& record) {
  if (!result) return "none";
  return record.serialNumber.value_or("(absent)");
}

TEST(DiskSources, FailureAtEachCallHandsOverToTheNextSource) {
  struct Case {
    std::set<int> failingCalls;
    std::string answerer;
    int32_t capacityMB;
  } cases[] = {
      {{}, "SOURCE-1", 100},
      // Source 1 fails at its open, version request, identify request.
      {{1}, "SOURCE-2", 100},
      {{2}, "SOURCE-2", 100},
      {{3}, "SOURCE-2", 100},
      // Source 1 gone; source 2 fails at each of its calls.
      {{1, 2}, "SOURCE-3", 100},
      {{1, 3}, "SOURCE-3", 100},
      {{1, 4}, "SOURCE-3", 100},
      // Miniport target 0, then target 1.
      {{1, 2, 3}, "SOURCE-4", 100},
      {{1, 2, 4}, "SOURCE-4", 100},
      {{1, 2, 3, 4}, "SOURCE-5", 500},
      {{1, 2, 3, 5}, "SOURCE-5", 500},
      // Storage descriptor: its open or property request failing leads to source 6; its geometry request
      // failing still answers, with no capacity.
      {{1, 2, 3, 4, 5}, "SOURCE-6", 100},
      {{1, 2, 3, 4, 6}, "SOURCE-6", 100},
      {{1, 2, 3, 4, 7}, "SOURCE-5", 0},
      // Source 6 fails at each of its calls: nothing is left.
      {{1, 2, 3, 4, 5, 6}, "none", 0},
      {{1, 2, 3, 4, 5, 7}, "none", 0},
      {{1, 2, 3, 4, 5, 8}, "none", 0},
  };
  for (const Case& c : cases) {
    FakeDeviceSystem system;
    system.failingCalls = c.failingCalls;
    system.respond = Replies();
    HDInfo record = Untouched();
    const bool result = ReadDiskIdentity(system, record, 0);
    std::string failing;
    for (int n : c.failingCalls) failing += std::to_string(n) + " ";
    SCOPED_TRACE("failing calls: " + failing);
    EXPECT_EQ(Answerer(result, record), c.answerer);
    if (result) {
      EXPECT_EQ(record.capacityMB, c.capacityMB);
      // Nothing after the answering source: the last call closes it.
      EXPECT_EQ(system.calls.back().kind, DeviceCall::Kind::kClose);
    } else {
      ExpectUntouched(record);
    }
    EXPECT_EQ(system.OpenCount(), system.CloseCount());
  }
}

TEST(DiskSources, ReplyContentsThatMakeASourceUnavailable) {
  struct Case {
    const char* what;
    int32_t drive;
    Replies replies;
    std::string answerer;
  };
  auto with = [](auto change) {
    Replies replies;
    change(replies);
    return replies;
  };
  // The miniport answers for an empty target with data whose low byte of word 27 (the model's second
  // character) is 0.
  std::vector<uint8_t> noModel = Block("HIDDEN");
  noModel[54] = 0;
  const Case cases[] = {
      {"CAP_ATA_ID_CMD clear", 0, with([](Replies& r) { r.capabilities = 0x06; }), "SOURCE-2"},
      // Source 1 tests the capability bits 0x10 >> (N % 32), not the device map.
      {"drive 0, bit 0x10 set", 0, with([](Replies& r) { r.capabilities = 0x17; }), "SOURCE-2"},
      {"drive 1, bit 0x08 set", 1, with([](Replies& r) { r.capabilities = 0x0F; }), "SOURCE-2"},
      {"drive 1, bit 0x08 clear", 1, with([](Replies& r) { r.capabilities = 0x07; }), "SOURCE-1"},
      {"drive 2, CAP_SMART_CMD", 2, with([](Replies& r) { r.capabilities = 0x07; }), "SOURCE-2"},
      {"drive 3, CAP_ATAPI_ID_CMD", 3, with([](Replies& r) { r.capabilities = 0x07; }), "SOURCE-2"},
      {"drive 3, no ATAPI bit", 3, with([](Replies& r) { r.capabilities = 0x05; }), "SOURCE-1"},
      {"drive 4 never", 4, with([](Replies& r) { r.capabilities = 0x01; }), "SOURCE-2"},
      {"drive 5 to 31 pass", 5, with([](Replies& r) { r.capabilities = 0xFF; }), "SOURCE-1"},
      {"drive 36 is position 4", 36, with([](Replies& r) { r.capabilities = 0x01; }), "SOURCE-2"},
      {"drive 256 is drive 0", 256, with([](Replies& r) { r.capabilities = 0x17; }), "SOURCE-2"},
      {"empty device map", 0, with([](Replies& r) { r.capabilities = 0, r.deviceMap = 0; }), "SOURCE-3"},
      {"no model at target 0", 0,
       with([&](Replies& r) { r.capabilities = 0, r.deviceMap = 0, r.miniportTarget0 = noModel; }),
       "SOURCE-4"},
      {"no model at either target", 0, with([&](Replies& r) {
         r.capabilities = 0, r.deviceMap = 0;
         r.miniportTarget0 = r.miniportTarget1 = noModel;
       }),
       "SOURCE-5"},
  };
  for (const Case& c : cases) {
    FakeDeviceSystem system;
    system.respond = c.replies;
    HDInfo record = Untouched();
    EXPECT_EQ(Answerer(ReadDiskIdentity(system, record, c.drive), record), c.answerer) << c.what;
  }
}

// Heads or sectors per track of zero from source 1 end the query: no fallback, even one that would answer.
TEST(DiskSources, ZeroGeometryFromSmartIdentifyFailsTheQuery) {
  for (int word : {3, 6}) {
    fake::IdentifyFields fields;
    (word == 3 ? fields.heads : fields.sectorsPerTrack) = 0;
    Replies replies;
    replies.source1 = fake::IdentifyBlock(fields);
    FakeDeviceSystem system;
    system.respond = replies;
    HDInfo record = Untouched();
    EXPECT_FALSE(ReadDiskIdentity(system, record, 0)) << "word " << word;
    ExpectUntouched(record);
    EXPECT_EQ(system.OpenedPaths(), std::vector<std::string>{"\\\\.\\PhysicalDrive0"});
  }
}

TEST(DiskSources, Windows9xUsesSmartvsdAlone) {
  {
    FakeDeviceSystem system;
    system.platformId = disk::kPlatformWin32Windows;
    system.respond = Replies();
    HDInfo record = Untouched();
    EXPECT_TRUE(ReadDiskIdentity(system, record, 0));
    EXPECT_EQ(record.serialNumber, "SOURCE-1");  // the full result: firmware and geometry too
    EXPECT_EQ(record.firmwareRevision, "1.0");
    EXPECT_EQ(record.heads, 16);
    EXPECT_EQ(system.OpenedPaths(), std::vector<std::string>{"\\\\.\\Smartvsd"});
  }
  {
    // SMARTVSD.VXD not loaded: the open fails and nothing else is tried.
    FakeDeviceSystem system;
    system.platformId = disk::kPlatformWin32Windows;
    system.failingCalls = {1};
    system.respond = Replies();
    HDInfo record = Untouched();
    EXPECT_FALSE(ReadDiskIdentity(system, record, 0));
    ExpectUntouched(record);
    EXPECT_EQ(system.OpenedPaths(), std::vector<std::string>{"\\\\.\\Smartvsd"});
  }
}

TEST(DiskSources, UnknownPlatformOrFailedVersionCallOpensNothing) {
  struct Case {
    bool versionSucceeds;
    uint32_t platformId;
  } cases[] = {{true, 0}, {true, 3}, {true, 0xFFFFFFFF}, {false, disk::kPlatformWin32Nt}};
  for (const Case& c : cases) {
    FakeDeviceSystem system;
    system.versionSucceeds = c.versionSucceeds;
    system.platformId = c.platformId;
    system.respond = Replies();
    HDInfo record = Untouched();
    EXPECT_FALSE(ReadDiskIdentity(system, record, 0)) << c.platformId;
    ExpectUntouched(record);
    EXPECT_TRUE(system.calls.empty());
  }
}

TEST(DiskSources, FailedAllocationGivesFalseAndClosesTheDevice) {
  FakeDeviceSystem system;
  system.respond = [](const DeviceCall& call) -> DeviceReply {
    if (call.controlCode == disk::kSmartRcvDriveData) throw std::bad_alloc();
    return Replies()(call);
  };
  HDInfo record = Untouched();
  EXPECT_FALSE(ReadDiskIdentity(system, record, 0));
  ExpectUntouched(record);
  EXPECT_EQ(system.OpenCount(), 1);
  EXPECT_EQ(system.CloseCount(), 1);
}

}  // namespace
}  // namespace mc

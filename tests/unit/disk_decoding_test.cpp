// How replies become the record: identify texts and numbers, the storage descriptor's texts, the
// capacity from 28- and 48-bit sector counts and from the drive geometry, and the 49-byte bound.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_device_system.h"
#include "identity/disk.h"

namespace mc {
namespace {

// Source 1 answers with this identify block.
HDInfo ThroughSmartIdentify(const std::vector<uint8_t>& block, bool* result = nullptr) {
  FakeDeviceSystem system;
  system.script = {fake::SmartVersion(0x01, 0x07), fake::SmartIdentify(block)};
  HDInfo record;
  const bool answered = ReadDiskIdentity(system, record, 0);
  if (result != nullptr) *result = answered;
  return record;
}

// Source 2 (the first fallback) answers with this identify block.
HDInfo ThroughDeviceMap(const std::vector<uint8_t>& block) {
  FakeDeviceSystem system;
  system.failingCalls = {1};
  system.script = {fake::SmartVersion(0x01, 0x07), fake::SmartIdentify(block)};
  HDInfo record;
  EXPECT_TRUE(ReadDiskIdentity(system, record, 0));
  return record;
}

// Source 5 answers with this descriptor and geometry reply.
HDInfo ThroughDescriptor(const DeviceReply& descriptor, const DeviceReply& geometry = fake::Failure()) {
  FakeDeviceSystem system;
  system.failingCalls = {1, 2, 3, 4};
  system.script = {descriptor, geometry};
  HDInfo record;
  EXPECT_TRUE(ReadDiskIdentity(system, record, 0));
  return record;
}

TEST(DiskDecoding, IdentifyTexts) {
  struct Case {
    std::string serialField;  // as placed in words 10-19, space-padded
    std::string serialNumber;
  } cases[] = {
      {"  AB12  ", "AB12"},   {std::string(20, ' '), ""}, {"ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOPQRST"},
      {"SN123", "SN123"},  // an odd length loses nothing here, unlike the descriptor
      {"\t X Y \r\n", "X Y"},
  };
  for (const Case& c : cases) {
    fake::IdentifyFields fields;
    fields.serial = c.serialField;
    const HDInfo record = ThroughSmartIdentify(fake::IdentifyBlock(fields));
    EXPECT_EQ(record.serialNumber, c.serialNumber) << '"' << c.serialField << '"';
  }
  // The first zero byte ends the text, inside a word too.
  fake::IdentifyFields fields;
  fields.model = "WDC WD40EZRZ";
  std::vector<uint8_t> block = fake::IdentifyBlock(fields);
  block[2 * 27 + 4] = 0;  // low byte of word 29: the sixth character
  EXPECT_EQ(ThroughSmartIdentify(block).modelNumber, "WDC W");
}

TEST(DiskDecoding, FullResultFromSmartIdentify) {
  fake::IdentifyFields fields;
  fields.model = "Hitachi HDE721010SLA330";
  fields.firmware = "ST6OA3AA";
  fields.serial = "      STR607MS2APNLS";
  fields.bufferBlocks = 61778;    // 30.16 MB
  fields.sectors28 = 0x0FFFFFFF;  // what a drive over 128 GiB reports in 28-bit addressing
  fields.lba48 = true;
  fields.sectors48 = 1953525168;
  bool result = false;
  const HDInfo record = ThroughSmartIdentify(fake::IdentifyBlock(fields), &result);
  EXPECT_TRUE(result);
  EXPECT_EQ(record.modelNumber, "Hitachi HDE721010SLA330");
  EXPECT_EQ(record.firmwareRevision, "ST6OA3AA");
  EXPECT_EQ(record.serialNumber, "STR607MS2APNLS");
  EXPECT_EQ(record.capacityMB, 131071);  // 28-bit count only, as the codes in use were made
  EXPECT_EQ(record.bufferSizeMB, 30);
  EXPECT_EQ(record.sectorsPerTrack, 63);
  EXPECT_EQ(record.heads, 16);
  EXPECT_EQ(record.cylinders, 0x0FFFFFFF / 16 / 63);
}

TEST(DiskDecoding, ReducedResultUsesThe48BitCountWhenSupported) {
  struct Case {
    bool lba48;
    uint32_t sectors28;
    uint64_t sectors48;
    int32_t capacityMB;
  } cases[] = {
      {false, 0x0FFFFFFF, 1953525168, 131071}, {true, 0x0FFFFFFF, 1953525168, 953869},
      {true, 1000, 7814037168, 3815447},       {false, 2048 * 40000, 0, 40000},
      {true, 0, 0xFFFFFFFFFFFFull, -1},  // 0x1FFFFFFFF MB: the low 32 bits
  };
  for (const Case& c : cases) {
    fake::IdentifyFields fields;
    fields.serial = "S";
    fields.firmware = "FW";
    fields.bufferBlocks = 4096;
    fields.lba48 = c.lba48;
    fields.sectors28 = c.sectors28;
    fields.sectors48 = c.sectors48;
    const HDInfo record = ThroughDeviceMap(fake::IdentifyBlock(fields));
    EXPECT_EQ(record.capacityMB, c.capacityMB) << c.sectors48;
    // A fallback source gives no firmware and no geometry.
    EXPECT_EQ(record.firmwareRevision, "");
    EXPECT_EQ(record.bufferSizeMB, 0);
    EXPECT_EQ(record.sectorsPerTrack, 0);
    EXPECT_EQ(record.heads, 0);
    EXPECT_EQ(record.cylinders, 0);
  }
  // No division by heads or sectors per track here: zeros are fine.
  fake::IdentifyFields fields;
  fields.heads = 0;
  fields.sectorsPerTrack = 0;
  EXPECT_EQ(ThroughDeviceMap(fake::IdentifyBlock(fields)).serialNumber, "FAKE0001");
}

TEST(DiskDecoding, DescriptorSerials) {
  struct Case {
    std::optional<std::string> serial;  // absent: SerialNumberOffset 0
    std::string serialNumber;
  } cases[] = {
      {"5A4B4C4D", "KZML"},  // hex reading ZKLM, then pairs exchanged
      {"4142", "BA"},
      {"41424", "BA"},    // a last digit without a partner is dropped
      {"SN123", "NS21"},  // plain text; the odd last character is lost, as it always was
      {"0102", "1020"},   // hex of non-printable bytes: read as plain text instead
      {"S\tN1", ""},      // not hex, and not printable as plain text
      {"AB\xC3\xA9", ""},
      {"2020202057202d4443573743364b4b4143485638", "WD-WCC7K6AKHC8V"},  // ATA bytes in hex, as storport gives
      {"4 4 ", "@@"},    // white space reads as the digit 0: 0x40 0x40
      {"  XY  ", "YX"},  // plain reading keeps the spaces for the exchange, then trims
      {"", ""},
      {std::nullopt, ""},
  };
  for (const Case& c : cases) {
    const HDInfo record = ThroughDescriptor(fake::StorageDescriptor("MODEL", c.serial));
    EXPECT_EQ(record.serialNumber, c.serialNumber) << c.serial.value_or("(offset 0)");
    EXPECT_EQ(record.modelNumber, "MODEL");
  }
}

TEST(DiskDecoding, DescriptorModelsAreNotExchanged) {
  struct Case {
    std::optional<std::string> product;
    std::string modelNumber;
  } cases[] = {
      {"WDC WD40EZRZ-00GXCB0    ", "WDC WD40EZRZ-00GXCB0"},
      {"SN123", "SN123"},
      {"4142", "AB"},  // hex reading applies to the model too
      {"DEADBEEF", "DEADBEEF"},
      {std::nullopt, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ThroughDescriptor(fake::StorageDescriptor(c.product, "S")).modelNumber, c.modelNumber)
        << c.product.value_or("(offset 0)");
  }
}

// Offsets and lengths a driver gets wrong: the query reads only what the request returned.
TEST(DiskDecoding, DescriptorOffsetsStayInsideTheReturnedBytes) {
  DeviceReply reply = fake::StorageDescriptor("MODEL", "WXYZ");  // model at 40, serial at 46
  struct Case {
    const char* what;
    std::optional<uint32_t> serialOffset;
    uint32_t returnedLength;
    std::string modelNumber;
    std::string serialNumber;
  } cases[] = {
      {"whole reply", std::nullopt, 51, "MODEL", "XWZY"},
      {"serial cut before its zero byte", std::nullopt, 49, "MODEL", "XW"},  // "WXY", odd
      {"serial offset at the returned end", std::nullopt, 46, "MODEL", ""},
      {"only the fixed part returned", std::nullopt, 40, "", ""},
      {"offset far outside the buffer", 0x7FFFFFFF, 51, "MODEL", ""},
      {"negative offset", 0xFFFFFFF0, 51, "MODEL", ""},
      {"returned length beyond the buffer", std::nullopt, 20000, "MODEL", "XWZY"},
  };
  for (const Case& c : cases) {
    DeviceReply changed = reply;
    changed.returnedLength = c.returnedLength;
    if (c.serialOffset) {
      for (int i = 0; i < 4; ++i) changed.bytes[24 + i] = static_cast<uint8_t>(*c.serialOffset >> (8 * i));
    }
    const HDInfo record = ThroughDescriptor(changed);
    EXPECT_EQ(record.modelNumber, c.modelNumber) << c.what;
    EXPECT_EQ(record.serialNumber, c.serialNumber) << c.what;
  }
  // A text that fills the rest of a full 10000-byte reply has no zero byte: it ends with the buffer.
  DeviceReply full;
  full.bytes.assign(10000, 'Q');
  for (int i = 0; i < 40; ++i) full.bytes[i] = 0;
  full.bytes[24] = 40;  // SerialNumberOffset
  EXPECT_EQ(ThroughDescriptor(full).serialNumber, std::string(49, 'Q'));
}

TEST(DiskDecoding, TextsKeepTheirFirst49Bytes) {
  std::string longSerial;
  for (int i = 0; i < 30; ++i) longSerial += static_cast<char>('a' + i % 26) + std::string(1, 'A' + i % 26);
  const std::string longModel = std::string(48, 'M') + " tail";
  const HDInfo record = ThroughDescriptor(fake::StorageDescriptor(longModel, longSerial));
  std::string exchanged;
  for (int i = 0; i < 30; ++i) exchanged += std::string(1, 'A' + i % 26) + static_cast<char>('a' + i % 26);
  EXPECT_EQ(record.serialNumber, exchanged.substr(0, 49));
  EXPECT_EQ(record.modelNumber, std::string(48, 'M'));  // the cut leaves a trailing space, trimmed too
}

TEST(DiskDecoding, CapacityFromTheDriveGeometry) {
  struct Case {
    DeviceReply geometry;
    int32_t capacityMB;
  } cases[] = {
      {fake::DriveGeometry(82252800000LL), 78442},  // Wine's made-up disk
      {fake::DriveGeometry(1048575), 0},
      {fake::DriveGeometry(-3 * 1048576LL), -3},
      {fake::DriveGeometry(1LL << 52), 0},  // 2^32 MB: the low 32 bits
      {fake::Failure(), 0},
  };
  for (const Case& c : cases) {
    const HDInfo record = ThroughDescriptor(fake::StorageDescriptor("MODEL", "4142"), c.geometry);
    EXPECT_EQ(record.capacityMB, c.capacityMB);
    EXPECT_EQ(record.serialNumber, "BA");
  }
}

}  // namespace
}  // namespace mc

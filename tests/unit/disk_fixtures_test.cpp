// Identify blocks captured from real drives, read by other tools: our texts and sector counts must agree
// with theirs. MC_IDENTIFY_FIXTURES names another folder of the same shape (MANIFEST.tsv and .bin files).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/fake_device_system.h"
#include "identity/disk.h"

namespace mc {
namespace {

std::string FixtureFolder() {
  const char* folder = std::getenv("MC_IDENTIFY_FIXTURES");
  if (folder != nullptr && *folder != '\0') return folder;
  return std::string(MC_SOURCE_DIR) + "/tests/fixtures/identify";
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  std::string field;
  while (std::getline(stream, field, '\t')) fields.push_back(field);
  return fields;
}

// The manifest's rows, each keyed by its header's column names.
std::vector<std::map<std::string, std::string>> ReadManifest(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::map<std::string, std::string>> rows;
  std::string line;
  if (!std::getline(file, line)) return rows;
  const std::vector<std::string> columns = SplitTabs(line);
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const std::vector<std::string> fields = SplitTabs(line);
    std::map<std::string, std::string> row;
    for (size_t i = 0; i < columns.size() && i < fields.size(); ++i) row[columns[i]] = fields[i];
    rows.push_back(row);
  }
  return rows;
}

std::vector<uint8_t> ReadBlock(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(DiskFixtures, CapturedDrivesReadAsTheirManifestSays) {
  const std::string folder = FixtureFolder();
  const auto rows = ReadManifest(folder + "/MANIFEST.tsv");
  ASSERT_FALSE(rows.empty()) << "no drives in " << folder << "/MANIFEST.tsv";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.at("file"));
    const std::vector<uint8_t> block = ReadBlock(folder + "/" + row.at("file"));
    ASSERT_EQ(block.size(), 512u);
    const uint64_t sectors28 = std::stoull(row.at("lba28_sectors"));
    const uint64_t sectors48 = std::stoull(row.at("lba48_sectors"));

    // Source 1: the full result, with the 28-bit sector count.
    FakeDeviceSystem smart;
    smart.script = {fake::SmartVersion(0x01, 0x07), fake::SmartIdentify(block)};
    HDInfo record;
    ASSERT_TRUE(ReadDiskIdentity(smart, record, 0));
    EXPECT_EQ(record.modelNumber, row.at("model"));
    EXPECT_EQ(record.serialNumber, row.at("serial"));
    EXPECT_EQ(record.firmwareRevision, row.at("firmware"));
    EXPECT_EQ(record.capacityMB, static_cast<int32_t>(sectors28 * 512 / 1048576));

    // Source 2: the reduced result, with the 48-bit count where the drive has one.
    FakeDeviceSystem deviceMap;
    deviceMap.failingCalls = {1};
    deviceMap.script = {fake::SmartVersion(0x01, 0x07), fake::SmartIdentify(block)};
    HDInfo reduced;
    ASSERT_TRUE(ReadDiskIdentity(deviceMap, reduced, 0));
    EXPECT_EQ(reduced.modelNumber, row.at("model"));
    EXPECT_EQ(reduced.serialNumber, row.at("serial"));
    EXPECT_EQ(reduced.capacityMB,
              static_cast<int32_t>((sectors48 != 0 ? sectors48 : sectors28) * 512 / 1048576));
  }
}

}  // namespace
}  // namespace mc

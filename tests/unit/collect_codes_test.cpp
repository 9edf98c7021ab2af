#include "shell/collect_codes.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fakes/fake_window_system.h"

namespace mc {
namespace {

// Queries that answer from fixed values and log each call into the same journal as the box writes.
class FakeQueries : public MachineQueries {
 public:
  explicit FakeQueries(std::vector<std::string>& journal) : journal_(journal) {}

  std::string adapter = "00-1A-2B-3C-4D-5E";
  std::optional<TextList> addresses = TextList{"10.0.0.5", "192.168.1.20"};
  std::optional<std::string> processorSerial = std::string("000006EA-178BFBFF-00000000-00000000");
  std::optional<std::string> diskSerial = std::string("WD-WCC7K6AKHC8V");

  std::string ReadAdapterAddress() override {
    journal_.push_back("adapter");
    return adapter;
  }
  std::optional<TextList> ListHostAddresses() override {
    journal_.push_back("hosts");
    return addresses;
  }
  void ReadProcessorIdentity(CPUInfo& record) override {
    journal_.push_back("processor");
    record.manufacturer = "Intel Corporation";
    record.serialNumber = processorSerial;
  }
  bool ReadDiskIdentity(HDInfo& record) override {
    journal_.push_back("disk");
    if (!diskSerial) return false;  // a failed query leaves the record untouched
    record.serialNumber = diskSerial;
    record.modelNumber = "WDC WD40EZRZ-00GXCB0";
    return true;
  }

 private:
  std::vector<std::string>& journal_;
};

std::string Repeat(const std::string& text, int count) {
  std::string out;
  while (count-- > 0) out += text;
  return out;
}

class CollectCodesTest : public ::testing::Test {
 protected:
  CollectCodesTest() { fake.system.journal = &journal; }

  std::map<uint32_t, std::string> Boxes() const {
    std::map<uint32_t, std::string> boxes;
    for (const auto& write : fake.system.textWrites) {
      EXPECT_EQ(write.windowId, kMainWindowId);
      boxes[write.controlId] = write.text;
    }
    return boxes;
  }

  FakeRunTime fake;
  std::vector<std::string> journal;
  FakeQueries queries{journal};
};

TEST_F(CollectCodesTest, EachBoxIsWrittenAsSoonAsItsQueryReturns) {
  CollectCodes(queries, fake.runTime);
  EXPECT_EQ(journal, (std::vector<std::string>{
                         "adapter",
                         "write 369164294 00-1A-2B-3C-4D-5E",
                         "hosts",
                         "write 369164295 10.0.0.5192.168.1.20",
                         "processor",
                         "write 369164296 000006EA-178BFBFF-00000000-00000000",
                         "disk",
                         "write 369164297 WD-WCC7K6AKHC8V",
                     }));
}

TEST_F(CollectCodesTest, HostAddressesRunTogetherWithNothingBetween) {
  struct Case {
    const char* name;
    std::optional<TextList> addresses;
    std::string shown;
  };
  const Case cases[] = {
      {"two", TextList{"10.0.0.5", "192.168.1.20"}, "10.0.0.5192.168.1.20"},
      {"one", TextList{"192.168.1.20"}, "192.168.1.20"},
      {"ten", TextList(10, "1.2.3.4"), Repeat("1.2.3.4", 10)},
      {"empty list", TextList{}, ""},
      {"no list", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    fake.system.textWrites.clear();
    queries.addresses = c.addresses;
    CollectCodes(queries, fake.runTime);
    const auto boxes = Boxes();
    EXPECT_EQ(boxes.at(kEditBox2Id), c.shown) << c.name;
    // The other three boxes are filled whatever the host list gave.
    EXPECT_EQ(boxes.at(kEditBox1Id), "00-1A-2B-3C-4D-5E") << c.name;
    EXPECT_EQ(boxes.at(kEditBox4Id), "WD-WCC7K6AKHC8V") << c.name;
  }
}

TEST_F(CollectCodesTest, FailedQueriesClearTheirBoxesOnTheNextClick) {
  CollectCodes(queries, fake.runTime);
  EXPECT_EQ(Boxes().at(kEditBox4Id), "WD-WCC7K6AKHC8V");

  queries.adapter = "";
  queries.addresses = std::nullopt;
  queries.processorSerial = std::nullopt;
  queries.diskSerial = std::nullopt;
  fake.system.textWrites.clear();
  CollectCodes(queries, fake.runTime);
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 4u);  // every box is written on every click
  for (const auto& box : boxes) EXPECT_EQ(box.second, "") << box.first;
}

TEST_F(CollectCodesTest, SecondClickOverwritesAllFourWithFreshValues) {
  CollectCodes(queries, fake.runTime);
  queries.adapter = "AA-BB-CC-DD-EE-FF";
  queries.addresses = TextList{"172.16.0.9"};
  queries.processorSerial = std::string("00000F41-BFEBFBFF-00000000-00000000");
  queries.diskSerial = std::string("ZN1ANQFR");
  fake.system.textWrites.clear();
  CollectCodes(queries, fake.runTime);
  EXPECT_EQ(Boxes(), (std::map<uint32_t, std::string>{{kEditBox1Id, "AA-BB-CC-DD-EE-FF"},
                                                      {kEditBox2Id, "172.16.0.9"},
                                                      {kEditBox3Id, "00000F41-BFEBFBFF-00000000-00000000"},
                                                      {kEditBox4Id, "ZN1ANQFR"}}));
}

TEST_F(CollectCodesTest, ReleasesEverythingItObtainsWithinTheClick) {
  queries.addresses = TextList(10, "192.168.100.200");  // long enough to leave the small-text buffer
  CollectCodes(queries, fake.runTime);
  EXPECT_GT(fake.system.allocationCount, 0);
  EXPECT_EQ(fake.system.releaseCount, fake.system.allocationCount);
}

TEST_F(CollectCodesTest, RunningOutOfMemoryWhileJoiningIsFatal) {
  queries.addresses = TextList{"192.168.100.200", "192.168.100.201"};
  fake.system.failAllocationAt = 0;
  try {
    CollectCodes(queries, fake.runTime);
    FAIL() << "the process did not end";
  } catch (const ProcessEnded& ended) {
    EXPECT_EQ(ended.exitCode, -1);
  }
  ASSERT_EQ(fake.system.fatalMessages.size(), 1u);
  EXPECT_EQ(fake.system.fatalMessages[0].rfind("分配 ", 0), 0u);
  EXPECT_NE(fake.system.fatalMessages[0].find(" 字节内存失败!"), std::string::npos);
}

}  // namespace
}  // namespace mc

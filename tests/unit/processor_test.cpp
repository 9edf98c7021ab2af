#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "fakes/fake_processor_system.h"
#include "identity/processor.h"

namespace mc {
namespace {

// Leaf 0 answer for a vendor string: its bytes go to EBX, EDX, ECX in that order.
CpuidRegisters VendorLeaf(const char* vendor, uint32_t maxLeaf) {
  CpuidRegisters r;
  r.eax = maxLeaf;
  std::memcpy(&r.ebx, vendor + 0, 4);
  std::memcpy(&r.edx, vendor + 4, 4);
  std::memcpy(&r.ecx, vendor + 8, 4);
  return r;
}

void SetBrandString(FakeProcessorSystem& system, const char* brand) {
  char bytes[48] = {};
  std::memcpy(bytes, brand, std::strlen(brand));
  for (uint32_t i = 0; i < 3; ++i) {
    CpuidRegisters r;
    std::memcpy(&r.eax, bytes + 16 * i + 0, 4);
    std::memcpy(&r.ebx, bytes + 16 * i + 4, 4);
    std::memcpy(&r.ecx, bytes + 16 * i + 8, 4);
    std::memcpy(&r.edx, bytes + 16 * i + 12, 4);
    system.SetLeaf(0x80000002 + i, r);
  }
}

constexpr uint32_t kTimeStampCounter = 1u << 4;

// A recent Intel processor on 64-bit Windows 10: signature 0x000906EA (extended model 9, model 14,
// stepping 10), leaf 3 all zeros, a 3 GHz time-stamp counter.
FakeProcessorSystem ModernIntel() {
  FakeProcessorSystem system;
  system.SetLeaf(0, VendorLeaf("GenuineIntel", 0x16));
  system.SetLeaf(1, {0x000906EA, 0x00100800, 0x7FFAFBBF, 0xBFEBFBFF});
  system.SetLeaf(0x80000000, {0x80000008, 0, 0, 0});
  SetBrandString(system, "       Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
  system.SetLeaf(0x80000006, {0, 0, 256u << 16 | 0x6040, 0});
  system.SetLeaf(2, {0x00FEFF01, 0x000000F0, 0, 0});              // 0xFF: the caches are in leaf 4
  system.SetLeaf(4, {0x1C004121, 0x01C0003F, 0x0000003F, 0}, 0);  // L1 data, 8 ways, 64 sets: 32 KB
  system.SetLeaf(4, {0x1C004122, 0x01C0003F, 0x0000003F, 0}, 1);  // L1 instruction: 32 KB
  system.SetLeaf(4, {0x1C004143, 0x00C0003F, 0x000003FF, 0}, 2);  // L2, 4 ways, 1024 sets: 256 KB
  system.cyclesPerRead = 150000000;                               // per 50 ms: 3000 MHz
  system.versionEx = WindowsVersion{2, 10, 0};
  system.wow64 = true;
  return system;
}

TEST(ReadProcessorIdentity, FillsEveryMember) {
  FakeProcessorSystem system = ModernIntel();
  CPUInfo record;
  ReadProcessorIdentity(system, record);
  EXPECT_EQ(record.manufacturer, "Intel Corporation");
  EXPECT_EQ(record.modelName, "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
  EXPECT_EQ(record.clockMHz, 3000);
  // The extended model (9) is not combined into the model.
  EXPECT_EQ(record.familyText, "x86 Family 6 Model 14 Stepping 10");
  EXPECT_EQ(record.l1CacheKB, 64);
  EXPECT_EQ(record.l2CacheKB, 256);
  EXPECT_EQ(record.serialNumber, "BFEBFBFF-000906EA-00000000-00000000");
  EXPECT_EQ(record.systemBits, 64);
  // The measurement reads the counter a handful of times, not in a 50 ms loop of real time.
  EXPECT_LE(system.performanceCounterReads, 10);
  EXPECT_EQ(system.timeStampReads, 2);
}

TEST(ReadProcessorIdentity, SerialNumberIsLeaf1AndLeaf3AsTheyCome) {
  const struct {
    CpuidRegisters leaf1;
    CpuidRegisters leaf3;
    const char* expected;
  } cases[] = {
      {{0x6EA, 0, 0, 0x0}, {}, "00000000-000006EA-00000000-00000000"},
      {{0x00000652, 0, 0, 0x0183FBFF}, {0, 0, 0x8E4A1C2B, 0x0000ABCD}, "0183FBFF-00000652-0000ABCD-8E4A1C2B"},
      {{0xFFFFFFFF, 0, 0, 0xFFFFFFFF}, {0, 0, 0xFFFFFFFF, 0xFFFFFFFF}, "FFFFFFFF-FFFFFFFF-FFFFFFFF-FFFFFFFF"},
  };
  for (const auto& c : cases) {
    FakeProcessorSystem system;
    // Highest basic leaf 1 and no serial-number flag: leaf 3 is executed all the same.
    system.SetLeaf(0, VendorLeaf("GenuineIntel", 1));
    system.SetLeaf(1, c.leaf1);
    system.SetLeaf(3, c.leaf3);
    CPUInfo record;
    ReadProcessorIdentity(system, record);
    ASSERT_TRUE(record.serialNumber.has_value());
    EXPECT_EQ(*record.serialNumber, c.expected);
    EXPECT_EQ(record.serialNumber->size(), 35u);
    EXPECT_NE(std::find(system.cpuidCalls.begin(), system.cpuidCalls.end(), std::make_pair(3u, 0u)),
              system.cpuidCalls.end());
  }
}

TEST(ReadProcessorIdentity, ManufacturerComesFromTheExactVendorString) {
  const struct {
    const char* vendor;
    const char* manufacturer;
  } cases[] = {
      {"GenuineIntel", "Intel Corporation"},
      {"UMC UMC UMC ", "United Microelectronics Corp."},
      {"AuthenticAMD", "Advanced Micro Devices"},
      {"AMD ISBETTER", "Advanced Micro Devices"},
      {"CyrixInstead", "Cyrix Corp., VIA Inc."},
      {"NexGenDriven", "NexGen Inc., Advanced Micro Devices"},
      {"CentaurHauls", "IDT\\Centaur, Via Inc."},
      {"RiseRiseRise", "Rise"},
      {"GenuineTMx86", "Transmeta"},
      {"TransmetaCPU", "Transmeta"},
      {"Geode By NSC", "National Semiconductor"},
      {"genuineIntel", "Unknown Manufacturer"},
      {"AMD IsBetter", "Unknown Manufacturer"},
      {"HygonGenuine", "Unknown Manufacturer"},
      {"\0\0\0\0\0\0\0\0\0\0\0\0", "Unknown Manufacturer"},
  };
  for (const auto& c : cases) {
    FakeProcessorSystem system;
    system.SetLeaf(0, VendorLeaf(c.vendor, 1));
    CPUInfo record;
    ReadProcessorIdentity(system, record);
    EXPECT_EQ(record.manufacturer, c.manufacturer) << c.vendor;
  }
}

TEST(ReadProcessorIdentity, ModelNameFallsBackToTheNameTable) {
  const struct {
    const char* vendor;
    uint32_t signature;
    uint32_t maxExtendedLeaf;
    const char* brand;
    const char* expected;
  } cases[] = {
      {"GenuineIntel", 0x00000543, 0, nullptr, "Intel Pentium MMX"},
      {"GenuineIntel", 0x00000686, 0, nullptr, "Intel Pentium III"},
      {"GenuineIntel", 0x00000525, 0, nullptr, "Intel Pentium"},
      // An old processor echoing its highest basic leaf for 0x80000000 offers no brand string.
      {"GenuineIntel", 0x00000686, 0x00000003, "junk", "Intel Pentium III"},
      {"AuthenticAMD", 0x0000058C, 0x80000001, nullptr, "AMD K6-2"},
      {"AMD ISBETTER", 0x00000501, 0, nullptr, "AMD K5"},
      {"CentaurHauls", 0x00000698, 0, nullptr, "VIA C3"},
      {"UnknownVendr", 0x00000501, 0, nullptr, "Unknown Processor"},
      {"GenuineIntel", 0x00000C01, 0, nullptr, "Unknown Processor"},
      // A blank brand string names nothing.
      {"AuthenticAMD", 0x00000642, 0x80000004, "", "AMD Athlon"},
      {"AuthenticAMD", 0x00000642, 0x80000004, "AMD Athlon(tm) Processor", "AMD Athlon(tm) Processor"},
  };
  for (const auto& c : cases) {
    FakeProcessorSystem system;
    system.SetLeaf(0, VendorLeaf(c.vendor, 1));
    system.SetLeaf(1, {c.signature, 0, 0, 0});
    system.SetLeaf(0x80000000, {c.maxExtendedLeaf, 0, 0, 0});
    if (c.brand) SetBrandString(system, c.brand);
    CPUInfo record;
    ReadProcessorIdentity(system, record);
    EXPECT_EQ(record.modelName, c.expected) << c.vendor << " " << std::hex << c.signature;
  }
}

TEST(ReadProcessorIdentity, CacheSizesFromExtendedLeavesOrDescriptors) {
  FakeProcessorSystem amd;
  amd.SetLeaf(0, VendorLeaf("AuthenticAMD", 1));
  amd.SetLeaf(0x80000000, {0x80000008, 0, 0, 0});
  amd.SetLeaf(0x80000005, {0, 0, 64u << 24, 64u << 24});  // Athlon 64: 64 KB data, 64 KB instruction
  amd.SetLeaf(0x80000006, {0, 0, 512u << 16, 0});

  // Pentium III: leaf 2 descriptors 0x43 (L2 512 KB), 0x08 (L1 instruction 16 KB), 0x0C (L1 data 16 KB)
  // among TLB descriptors; the set-aside byte 0x01 in AL is a round count, not a descriptor.
  FakeProcessorSystem pentium3;
  pentium3.SetLeaf(0, VendorLeaf("GenuineIntel", 3));
  pentium3.SetLeaf(2, {0x03020101, 0, 0, 0x0C040843});

  // A register with bit 31 set carries no descriptors.
  FakeProcessorSystem invalidRegister;
  invalidRegister.SetLeaf(0, VendorLeaf("GenuineIntel", 2));
  invalidRegister.SetLeaf(2, {0x00000001, 0x80000043, 0, 0x0000002C});

  FakeProcessorSystem nothing;  // highest leaf 1, no extended leaves
  nothing.SetLeaf(0, VendorLeaf("GenuineIntel", 1));
  nothing.SetLeaf(2, {0x03020101, 0, 0, 0x0C040843});

  const struct {
    const char* name;
    FakeProcessorSystem* system;
    int32_t l1;
    int32_t l2;
  } cases[] = {{"amd", &amd, 128, 512},
               {"pentium3", &pentium3, 32, 512},
               {"invalid register", &invalidRegister, 32, 0},
               {"nothing", &nothing, 0, 0}};
  for (const auto& c : cases) {
    CPUInfo record;
    ReadProcessorIdentity(*c.system, record);
    EXPECT_EQ(record.l1CacheKB, c.l1) << c.name;
    EXPECT_EQ(record.l2CacheKB, c.l2) << c.name;
  }
}

TEST(ReadProcessorIdentity, ClockIsMinusOneWithoutTimeStampCounter) {
  FakeProcessorSystem system = ModernIntel();
  system.SetLeaf(1, {0x00000435, 0, 0, 0xFFFFFFFF & ~kTimeStampCounter});
  CPUInfo record;
  ReadProcessorIdentity(system, record);
  EXPECT_EQ(record.clockMHz, -1);
  EXPECT_EQ(system.timeStampReads, 0);  // RDTSC would fault on such a processor

  FakeProcessorSystem noCounter = ModernIntel();
  noCounter.performanceFrequency = 0;  // no performance counter to time against
  ReadProcessorIdentity(noCounter, record);
  EXPECT_EQ(record.clockMHz, -1);
}

TEST(ReadProcessorIdentity, ClockCountsCyclesOverFiftyMilliseconds) {
  const struct {
    int64_t frequency;
    int64_t countsPerRead;
    uint64_t cyclesPerRead;
    int32_t expected;
  } cases[] = {
      {10000000, 100000, 150000000, 3000},  // 10 MHz counter, 10 ms per read: five reads to 50 ms
      {3579545, 3579545, 233000000, 233},   // ACPI timer, one read overshoots to a whole second
      {2400000000, 1000, 120000000, 2400},  // counter on the time-stamp counter itself
  };
  for (const auto& c : cases) {
    FakeProcessorSystem system = ModernIntel();
    system.performanceFrequency = c.frequency;
    system.countsPerRead = c.countsPerRead;
    system.cyclesPerRead = c.cyclesPerRead;
    CPUInfo record;
    ReadProcessorIdentity(system, record);
    // The interval runs until the counter has moved 50 ms and the cycles are scaled to its real length.
    EXPECT_GE((system.performanceCounterReads - 1) * c.countsPerRead, c.frequency / 20);
    EXPECT_EQ(record.clockMHz, c.expected) << c.frequency;
  }
}

TEST(ReadProcessorIdentity, SystemBitsIs64UnderWow64OnEveryVersion) {
  const WindowsVersion xp{2, 5, 1}, seven{2, 6, 1}, ten{2, 10, 0}, me{1, 4, 90};
  const struct {
    const char* name;
    std::optional<WindowsVersion> versionEx;
    std::optional<WindowsVersion> versionBasic;
    std::optional<bool> wow64;
    int32_t expected;
  } cases[] = {
      {"5.1 WOW64", xp, xp, true, 64},
      {"6.1 WOW64", seven, seven, true, 64},
      {"10.0 WOW64", ten, ten, true, 64},
      {"10.0 native", ten, ten, false, 32},
      {"IsWow64Process missing", xp, xp, std::nullopt, 32},
      {"Windows Me", std::nullopt, me, std::nullopt, 32},
      {"basic structure only", std::nullopt, seven, true, 64},
      {"no version at all", std::nullopt, std::nullopt, true, 32},
  };
  for (const auto& c : cases) {
    FakeProcessorSystem system = ModernIntel();
    system.versionEx = c.versionEx;
    system.versionBasic = c.versionBasic;
    system.wow64 = c.wow64;
    CPUInfo record;
    ReadProcessorIdentity(system, record);
    EXPECT_EQ(record.systemBits, c.expected) << c.name;
    EXPECT_EQ(system.versionLengths.front(), 156u) << c.name;
    EXPECT_EQ(system.wow64Queries, c.versionEx || c.versionBasic ? 1 : 0) << c.name;
    if (!c.versionEx) {
      EXPECT_EQ(system.versionLengths, (std::vector<uint32_t>{156, 148})) << c.name;
    }
  }
}

TEST(ReadProcessorIdentity, SystemBitsIs64ForA64BitBuild) {
  FakeProcessorSystem system = ModernIntel();
  system.processBits = 64;
  system.wow64 = false;  // a 64-bit process is never under WOW64
  CPUInfo record;
  ReadProcessorIdentity(system, record);
  EXPECT_EQ(record.systemBits, 64);
}

TEST(ReadProcessorIdentity, LeavesTheRecordAloneWhenNothingCanBeGathered) {
  CPUInfo before;
  before.manufacturer = "caller's";
  before.clockMHz = 7;
  before.serialNumber = "untouched";
  before.systemBits = 1;

  FakeProcessorSystem noCpuid = ModernIntel();
  noCpuid.hasCpuid = false;  // a 386 or early 486: the EFLAGS ID bit cannot be toggled
  CPUInfo record = before;
  ReadProcessorIdentity(noCpuid, record);
  EXPECT_TRUE(noCpuid.cpuidCalls.empty());
  EXPECT_EQ(noCpuid.timeStampReads, 0);

  for (uint32_t leaf : {0u, 3u, 0x80000002u}) {
    FakeProcessorSystem failing = ModernIntel();
    failing.failingLeaf = leaf;  // an allocation failing while the values are gathered
    CPUInfo partly = before;
    ReadProcessorIdentity(failing, partly);
    EXPECT_EQ(partly.manufacturer, "caller's") << leaf;
    EXPECT_EQ(partly.modelName, std::nullopt) << leaf;
    EXPECT_EQ(partly.clockMHz, 7) << leaf;
    EXPECT_EQ(partly.familyText, std::nullopt) << leaf;
    EXPECT_EQ(partly.serialNumber, "untouched") << leaf;
    EXPECT_EQ(partly.systemBits, 1) << leaf;
  }
  EXPECT_EQ(record.manufacturer, "caller's");
  EXPECT_EQ(record.modelName, std::nullopt);
  EXPECT_EQ(record.clockMHz, 7);
  EXPECT_EQ(record.serialNumber, "untouched");
  EXPECT_EQ(record.systemBits, 1);
}

}  // namespace
}  // namespace mc

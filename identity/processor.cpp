#include "identity/processor.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace mc {

namespace {

constexpr uint32_t kExtendedBase = 0x80000000;
constexpr uint32_t kTimeStampCounterFlag = 1u << 4;  // leaf 1 EDX
constexpr int64_t kClockIntervalMs = 50;
constexpr uint32_t kVersionInfoExLength = 156;  // sizeof(OSVERSIONINFOEXA)
constexpr uint32_t kVersionInfoLength = 148;    // sizeof(OSVERSIONINFOA)

struct VendorName {
  const char* vendor;
  const char* manufacturer;
};

// Compared exactly and in this order; the first match decides.
constexpr VendorName kVendors[] = {
    {"GenuineIntel", "Intel Corporation"},
    {"UMC UMC UMC ", "United Microelectronics Corp."},
    {"AuthenticAMD", "Advanced Micro Devices"},
    {"AMD ISBETTER", "Advanced Micro Devices"},  // early K5 engineering samples
    {"CyrixInstead", "Cyrix Corp., VIA Inc."},
    {"NexGenDriven", "NexGen Inc., Advanced Micro Devices"},
    {"CentaurHauls", "IDT\\Centaur, Via Inc."},
    {"RiseRiseRise", "Rise"},
    {"GenuineTMx86", "Transmeta"},
    {"TransmetaCPU", "Transmeta"},
    {"Geode By NSC", "National Semiconductor"},
};
constexpr const char* kUnknownManufacturer = "Unknown Manufacturer";

constexpr int kAnyModel = -1;

struct ProcessorName {
  const char* manufacturer;
  int family;
  int model;  // kAnyModel: every model of the family not listed before
  const char* name;
};

// Processors without a brand string (before the Pentium 4 and the Athlon), by base family and model.
constexpr ProcessorName kProcessorNames[] = {
    {"Intel Corporation", 4, 0, "Intel 486 DX"},
    {"Intel Corporation", 4, 1, "Intel 486 DX"},
    {"Intel Corporation", 4, 2, "Intel 486 SX"},
    {"Intel Corporation", 4, 3, "Intel 486 DX2"},
    {"Intel Corporation", 4, 4, "Intel 486 SL"},
    {"Intel Corporation", 4, 5, "Intel 486 SX2"},
    {"Intel Corporation", 4, 7, "Intel 486 DX2 Write-Back"},
    {"Intel Corporation", 4, 8, "Intel 486 DX4"},
    {"Intel Corporation", 4, 9, "Intel 486 DX4 Write-Back"},
    {"Intel Corporation", 4, kAnyModel, "Intel 486"},
    {"Intel Corporation", 5, 3, "Intel Pentium OverDrive"},
    {"Intel Corporation", 5, 4, "Intel Pentium MMX"},
    {"Intel Corporation", 5, 8, "Intel Pentium MMX"},
    {"Intel Corporation", 5, kAnyModel, "Intel Pentium"},
    {"Intel Corporation", 6, 1, "Intel Pentium Pro"},
    {"Intel Corporation", 6, 3, "Intel Pentium II"},
    {"Intel Corporation", 6, 5, "Intel Pentium II"},
    {"Intel Corporation", 6, 6, "Intel Celeron"},
    {"Intel Corporation", 6, 7, "Intel Pentium III"},
    {"Intel Corporation", 6, 8, "Intel Pentium III"},
    {"Intel Corporation", 6, 9, "Intel Pentium M"},
    {"Intel Corporation", 6, 10, "Intel Pentium III Xeon"},
    {"Intel Corporation", 6, 11, "Intel Pentium III"},
    {"Intel Corporation", 6, 13, "Intel Pentium M"},
    {"Intel Corporation", 6, kAnyModel, "Intel P6 family"},
    {"Intel Corporation", 15, kAnyModel, "Intel Pentium 4"},
    {"Advanced Micro Devices", 4, 14, "AMD Am5x86"},
    {"Advanced Micro Devices", 4, 15, "AMD Am5x86"},
    {"Advanced Micro Devices", 4, kAnyModel, "AMD Am486"},
    {"Advanced Micro Devices", 5, 6, "AMD K6"},
    {"Advanced Micro Devices", 5, 7, "AMD K6"},
    {"Advanced Micro Devices", 5, 8, "AMD K6-2"},
    {"Advanced Micro Devices", 5, 9, "AMD K6-III"},
    {"Advanced Micro Devices", 5, 13, "AMD K6-2+"},
    {"Advanced Micro Devices", 5, kAnyModel, "AMD K5"},
    {"Advanced Micro Devices", 6, 3, "AMD Duron"},
    {"Advanced Micro Devices", 6, 7, "AMD Duron"},
    {"Advanced Micro Devices", 6, kAnyModel, "AMD Athlon"},
    {"Advanced Micro Devices", 15, kAnyModel, "AMD Athlon 64"},
    {"Cyrix Corp., VIA Inc.", 4, kAnyModel, "Cyrix MediaGX"},
    {"Cyrix Corp., VIA Inc.", 5, 2, "Cyrix 6x86"},
    {"Cyrix Corp., VIA Inc.", 5, 4, "Cyrix MediaGX MMX"},
    {"Cyrix Corp., VIA Inc.", 5, kAnyModel, "Cyrix 5x86"},
    {"Cyrix Corp., VIA Inc.", 6, 0, "Cyrix 6x86MX"},
    {"Cyrix Corp., VIA Inc.", 6, kAnyModel, "VIA Cyrix III"},
    {"NexGen Inc., Advanced Micro Devices", 5, kAnyModel, "NexGen Nx586"},
    {"IDT\\Centaur, Via Inc.", 5, 4, "IDT WinChip C6"},
    {"IDT\\Centaur, Via Inc.", 5, 8, "IDT WinChip 2"},
    {"IDT\\Centaur, Via Inc.", 5, 9, "IDT WinChip 3"},
    {"IDT\\Centaur, Via Inc.", 6, kAnyModel, "VIA C3"},
    {"Rise", 5, kAnyModel, "Rise mP6"},
    {"Transmeta", 5, kAnyModel, "Transmeta Crusoe"},
    {"Transmeta", 15, kAnyModel, "Transmeta Efficeon"},
    {"National Semiconductor", 5, kAnyModel, "National Semiconductor Geode"},
    {"United Microelectronics Corp.", 4, kAnyModel, "UMC U5"},
};
constexpr const char* kUnknownProcessor = "Unknown Processor";

struct CacheDescriptor {
  uint8_t descriptor;
  uint8_t level;  // 1: first-level instruction or data cache, 2: second-level cache
  int32_t sizeKB;
};

// Leaf 2 descriptor bytes that name a first- or second-level cache (Intel's CPUID reference, table 3-12).
constexpr CacheDescriptor kCacheDescriptors[] = {
    {0x06, 1, 8},    {0x08, 1, 16},   {0x09, 1, 32},   {0x0A, 1, 8},    {0x0C, 1, 16},   {0x0D, 1, 16},
    {0x0E, 1, 24},   {0x2C, 1, 32},   {0x30, 1, 32},   {0x60, 1, 16},   {0x66, 1, 8},    {0x67, 1, 16},
    {0x68, 1, 32},   {0x1D, 2, 128},  {0x21, 2, 256},  {0x24, 2, 1024}, {0x39, 2, 128},  {0x3A, 2, 192},
    {0x3B, 2, 128},  {0x3C, 2, 256},  {0x3D, 2, 384},  {0x3E, 2, 512},  {0x41, 2, 128},  {0x42, 2, 256},
    {0x43, 2, 512},  {0x44, 2, 1024}, {0x45, 2, 2048}, {0x48, 2, 3072}, {0x4E, 2, 6144}, {0x78, 2, 1024},
    {0x79, 2, 128},  {0x7A, 2, 256},  {0x7B, 2, 512},  {0x7C, 2, 1024}, {0x7D, 2, 2048}, {0x7F, 2, 512},
    {0x80, 2, 512},  {0x82, 2, 256},  {0x83, 2, 512},  {0x84, 2, 1024}, {0x85, 2, 2048}, {0x86, 2, 512},
    {0x87, 2, 1024},
};
constexpr uint8_t kUseLeaf4Descriptor = 0xFF;  // "no cache data in leaf 2, see leaf 4"

std::string ReadVendor(ProcessorSystem& system) {
  const CpuidRegisters r = system.ExecuteCpuid(0, 0);
  char vendor[12];
  std::memcpy(vendor + 0, &r.ebx, 4);
  std::memcpy(vendor + 4, &r.edx, 4);
  std::memcpy(vendor + 8, &r.ecx, 4);
  return std::string(vendor, sizeof vendor);
}

const char* FindManufacturer(const std::string& vendor) {
  for (const VendorName& v : kVendors) {
    if (vendor == v.vendor) return v.manufacturer;
  }
  return kUnknownManufacturer;
}

std::string FormatSerialNumber(ProcessorSystem& system) {
  // Both leaves afresh and unchecked: leaf 3 answers zeros (or whatever it answers) on processors
  // without the serial number, and that is what the text shows.
  const CpuidRegisters signature = system.ExecuteCpuid(1, 0);
  const CpuidRegisters serial = system.ExecuteCpuid(3, 0);
  char text[36];
  std::snprintf(text, sizeof text, "%08X-%08X-%08X-%08X", static_cast<unsigned>(signature.edx),
                static_cast<unsigned>(signature.eax), static_cast<unsigned>(serial.edx),
                static_cast<unsigned>(serial.ecx));
  return text;
}

std::string FormatFamilyText(uint32_t signature) {
  char text[64];
  std::snprintf(text, sizeof text, "x86 Family %u Model %u Stepping %u", (signature >> 8) & 0xF,
                (signature >> 4) & 0xF, signature & 0xF);
  return text;
}

// The 48-byte brand string, without the padding spaces some processors put before and after it.
std::string ReadBrandString(ProcessorSystem& system) {
  char brand[49] = {};
  for (uint32_t i = 0; i < 3; ++i) {
    const CpuidRegisters r = system.ExecuteCpuid(kExtendedBase + 2 + i, 0);
    std::memcpy(brand + 16 * i + 0, &r.eax, 4);
    std::memcpy(brand + 16 * i + 4, &r.ebx, 4);
    std::memcpy(brand + 16 * i + 8, &r.ecx, 4);
    std::memcpy(brand + 16 * i + 12, &r.edx, 4);
  }
  std::string text(brand);  // up to the first zero byte
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

const char* FindProcessorName(const char* manufacturer, uint32_t family, uint32_t model) {
  for (const ProcessorName& p : kProcessorNames) {
    if (std::strcmp(p.manufacturer, manufacturer) == 0 && p.family == static_cast<int>(family) &&
        (p.model == kAnyModel || p.model == static_cast<int>(model))) {
      return p.name;
    }
  }
  return kUnknownProcessor;
}

int32_t MeasureClockMHz(ProcessorSystem& system, uint32_t features) {
  if ((features & kTimeStampCounterFlag) == 0) return -1;
  const int64_t frequency = system.ReadPerformanceFrequency();
  if (frequency <= 0) return -1;
  const int64_t intervalCount =
      frequency * kClockIntervalMs / 1000 > 0 ? frequency * kClockIntervalMs / 1000 : 1;

  const int64_t startCount = system.ReadPerformanceCounter();
  const uint64_t startCycles = system.ReadCycleCounter();
  int64_t endCount = startCount;
  while (endCount - startCount < intervalCount) endCount = system.ReadPerformanceCounter();
  const uint64_t endCycles = system.ReadCycleCounter();

  const double seconds = static_cast<double>(endCount - startCount) / static_cast<double>(frequency);
  const double mhz = static_cast<double>(endCycles - startCycles) / seconds / 1e6;
  if (!(mhz >= 0) || mhz > 2147483647.0) return -1;
  return static_cast<int32_t>(std::lround(mhz));
}

struct CacheSizes {
  int32_t l1KB = 0;
  int32_t l2KB = 0;
};

// Intel's deterministic cache parameters, for processors whose leaf 2 points here.
CacheSizes ReadLeaf4Caches(ProcessorSystem& system) {
  CacheSizes sizes;
  for (uint32_t index = 0; index < 16; ++index) {
    const CpuidRegisters r = system.ExecuteCpuid(4, index);
    const uint32_t type = r.eax & 0x1F;  // 0: no more caches, 3: unified, 1/2: data/instruction
    if (type == 0) break;
    const uint32_t level = (r.eax >> 5) & 0x7;
    const uint64_t ways = ((r.ebx >> 22) & 0x3FF) + 1;
    const uint64_t partitions = ((r.ebx >> 12) & 0x3FF) + 1;
    const uint64_t lineLength = (r.ebx & 0xFFF) + 1;
    const uint64_t sets = static_cast<uint64_t>(r.ecx) + 1;
    const int32_t sizeKB = static_cast<int32_t>(ways * partitions * lineLength * sets / 1024);
    if (level == 1) sizes.l1KB += sizeKB;
    if (level == 2) sizes.l2KB += sizeKB;
  }
  return sizes;
}

CacheSizes ReadLeaf2Caches(ProcessorSystem& system, uint32_t maxLeaf) {
  CacheSizes sizes;
  bool useLeaf4 = false;
  uint32_t rounds = 1;
  for (uint32_t round = 0; round < rounds && round < 16; ++round) {
    const CpuidRegisters r = system.ExecuteCpuid(2, 0);
    if (round == 0) rounds = r.eax & 0xFF;  // the low byte of EAX says how often to execute the leaf
    const uint32_t registers[4] = {r.eax, r.ebx, r.ecx, r.edx};
    for (int i = 0; i < 4; ++i) {
      if (registers[i] & 0x80000000u) continue;  // bit 31 set: the register holds no descriptors
      for (int byte = (i == 0 ? 1 : 0); byte < 4; ++byte) {
        const uint8_t descriptor = static_cast<uint8_t>(registers[i] >> (8 * byte));
        if (descriptor == kUseLeaf4Descriptor) useLeaf4 = true;
        for (const CacheDescriptor& d : kCacheDescriptors) {
          if (d.descriptor != descriptor) continue;
          (d.level == 1 ? sizes.l1KB : sizes.l2KB) += d.sizeKB;
        }
      }
    }
  }
  if (useLeaf4 && maxLeaf >= 4) {
    const CacheSizes leaf4 = ReadLeaf4Caches(system);
    if (sizes.l1KB == 0) sizes.l1KB = leaf4.l1KB;
    if (sizes.l2KB == 0) sizes.l2KB = leaf4.l2KB;
  }
  return sizes;
}

CacheSizes ReadCacheSizes(ProcessorSystem& system, uint32_t maxLeaf, uint32_t maxExtendedLeaf) {
  CacheSizes sizes;
  if (maxExtendedLeaf >= kExtendedBase + 5) {
    // AMD: L1 data size in ECX[31:24], L1 instruction size in EDX[31:24]; Intel answers zeros.
    const CpuidRegisters r = system.ExecuteCpuid(kExtendedBase + 5, 0);
    sizes.l1KB = static_cast<int32_t>((r.ecx >> 24) + (r.edx >> 24));
  }
  if (maxExtendedLeaf >= kExtendedBase + 6) {
    sizes.l2KB = static_cast<int32_t>(system.ExecuteCpuid(kExtendedBase + 6, 0).ecx >> 16);  // both vendors
  }
  if ((sizes.l1KB == 0 || sizes.l2KB == 0) && maxLeaf >= 2) {
    const CacheSizes descriptors = ReadLeaf2Caches(system, maxLeaf);
    if (sizes.l1KB == 0) sizes.l1KB = descriptors.l1KB;
    if (sizes.l2KB == 0) sizes.l2KB = descriptors.l2KB;
  }
  return sizes;
}

int32_t ReadSystemBits(ProcessorSystem& system) {
  if (system.ProcessBits() == 64) return 64;  // not under WOW64, which only hosts 32-bit programs
  WindowsVersion version;
  if (!system.ReadWindowsVersion(kVersionInfoExLength, version) &&
      !system.ReadWindowsVersion(kVersionInfoLength, version)) {
    return 32;
  }
  // Any version may run the program under WOW64 (XP x64, Vista to 11), so the answer never depends on
  // the version numbers; systems without IsWow64Process are 32-bit.
  return system.QueryWow64Process() == std::optional<bool>(true) ? 64 : 32;
}

}  // namespace

void ReadProcessorIdentity(ProcessorSystem& system, CPUInfo& record) {
  if (!system.HasCpuid()) return;
  try {
    CPUInfo gathered;
    const uint32_t maxLeaf = system.ExecuteCpuid(0, 0).eax;
    const char* manufacturer = FindManufacturer(ReadVendor(system));
    const CpuidRegisters signature = system.ExecuteCpuid(1, 0);
    const uint32_t family = (signature.eax >> 8) & 0xF;
    const uint32_t model = (signature.eax >> 4) & 0xF;
    // Before the extended leaves existed, some processors answered any leaf above the highest basic
    // one with that leaf's values: only a value with the top bit set is a real maximum.
    uint32_t maxExtendedLeaf = system.ExecuteCpuid(kExtendedBase, 0).eax;
    if ((maxExtendedLeaf & kExtendedBase) == 0) maxExtendedLeaf = 0;

    gathered.manufacturer = manufacturer;
    std::string brand;
    if (maxExtendedLeaf >= kExtendedBase + 4) brand = ReadBrandString(system);
    gathered.modelName = brand.empty() ? std::string(FindProcessorName(manufacturer, family, model)) : brand;
    gathered.clockMHz = MeasureClockMHz(system, signature.edx);
    gathered.familyText = FormatFamilyText(signature.eax);
    const CacheSizes caches = ReadCacheSizes(system, maxLeaf, maxExtendedLeaf);
    gathered.l1CacheKB = caches.l1KB;
    gathered.l2CacheKB = caches.l2KB;
    gathered.serialNumber = FormatSerialNumber(system);
    gathered.systemBits = ReadSystemBits(system);

    record = std::move(gathered);  // all members together, and nothing when anything above failed
  } catch (...) {
    // An allocation that failed mid-way: the record keeps what the caller gave it.
  }
}

}  // namespace mc

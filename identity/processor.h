// Processor identity: the CPUInfo record filled from CPUID, the time-stamp counter and the Windows version.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mc {

struct CPUInfo {                            // members in this order
  std::optional<std::string> manufacturer;  // 1 (absent until filled)
  std::optional<std::string> modelName;     // 2
  int32_t clockMHz = 0;                     // 3
  std::optional<std::string> familyText;    // 4
  int32_t l1CacheKB = 0;                    // 5
  int32_t l2CacheKB = 0;                    // 6
  std::optional<std::string> serialNumber;  // 7
  int32_t systemBits = 0;                   // 8
};

struct CpuidRegisters {
  uint32_t eax = 0;
  uint32_t ebx = 0;
  uint32_t ecx = 0;
  uint32_t edx = 0;
};

struct WindowsVersion {
  uint32_t platformId = 0;  // 1 = Windows 9x, 2 = Windows NT
  uint32_t majorVersion = 0;
  uint32_t minorVersion = 0;
};

// The processor and system services the query needs. RealProcessorSystem() is the Windows side; the tests
// use a recording fake.
class ProcessorSystem {
 public:
  virtual ~ProcessorSystem() = default;
  virtual bool HasCpuid() = 0;
  virtual CpuidRegisters ExecuteCpuid(uint32_t leaf, uint32_t subleaf) = 0;
  // The time-stamp counter; only called when leaf 1 reports one. (Not "ReadTimeStampCounter": winnt.h
  // defines that name as a macro.)
  virtual uint64_t ReadCycleCounter() = 0;
  virtual int64_t ReadPerformanceFrequency() = 0;  // counts per second; 0 or below: no performance counter
  virtual int64_t ReadPerformanceCounter() = 0;
  // GetVersionExA with a version structure of infoLength bytes (156: extended, 148: basic).
  virtual bool ReadWindowsVersion(uint32_t infoLength, WindowsVersion& version) = 0;
  // 32 or 64: the width this program itself was built for. A 64-bit build runs on a 64-bit system only.
  virtual int32_t ProcessBits() = 0;
  // IsWow64Process for the current process, looked up at run time; absent when it is missing or fails.
  virtual std::optional<bool> QueryWow64Process() = 0;
};

// Fills all eight members of `record` at once. When the processor has no CPUID, or gathering the values
// fails, the record is left as it was.
void ReadProcessorIdentity(ProcessorSystem& system, CPUInfo& record);

#ifdef _WIN32
ProcessorSystem& RealProcessorSystem();
#endif

}  // namespace mc

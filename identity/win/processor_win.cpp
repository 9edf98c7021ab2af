// The Windows side of the processor seam: CPUID and RDTSC through GCC's intrinsics, the performance
// counter, the version structures and IsWow64Process looked up at run time.
#include "platform/windows_gate.h"

#include <cpuid.h>
#include <x86intrin.h>

#include <optional>

#include "identity/processor.h"

namespace mc {

namespace {

// GetVersionExA tells the two structures apart by their size field.
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "OSVERSIONINFOEXA");
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA");
static_assert(VER_PLATFORM_WIN32_NT == 2, "NT platform id");

// kernel32 only has IsWow64Process from XP SP2 and Server 2003 SP1 on, so it is looked up by name.
using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);

// A module loaded with LoadLibraryA, freed when it goes out of scope.
class LoadedLibrary {
 public:
  explicit LoadedLibrary(const char* name) : module_(LoadLibraryA(name)) {}
  ~LoadedLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

class WindowsProcessorSystem : public ProcessorSystem {
 public:
  bool HasCpuid() override {
#if defined(__i386__)
    // A processor with CPUID lets a program toggle EFLAGS bit 21 (ID); a 386 or an early 486 keeps it.
    constexpr uint32_t kIdFlag = 1u << 21;
    uint32_t original;
    uint32_t toggled;
    __asm__ volatile(
        "pushfl\n\t"
        "popl %0\n\t"
        "movl %0, %1\n\t"
        "xorl %2, %1\n\t"
        "pushl %1\n\t"
        "popfl\n\t"
        "pushfl\n\t"
        "popl %1\n\t"
        "pushl %0\n\t"
        "popfl"
        : "=&r"(original), "=&r"(toggled)
        : "i"(kIdFlag)
        : "cc");
    return ((original ^ toggled) & kIdFlag) != 0;
#else
    return true;  // every x86-64 processor has CPUID
#endif
  }

  CpuidRegisters ExecuteCpuid(uint32_t leaf, uint32_t subleaf) override {
    CpuidRegisters r;
    __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
    return r;
  }

  uint64_t ReadCycleCounter() override { return __rdtsc(); }

  int64_t ReadPerformanceFrequency() override {
    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency)) return 0;  // no counter in this machine
    return frequency.QuadPart;
  }

  int64_t ReadPerformanceCounter() override {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
  }

  bool ReadWindowsVersion(uint32_t infoLength, WindowsVersion& version) override {
    OSVERSIONINFOEXA info = {};
    if (infoLength > sizeof info) return false;
    info.dwOSVersionInfoSize = infoLength;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return false;  // 95 and NT 4 before SP6
    version.platformId = info.dwPlatformId;
    version.majorVersion = info.dwMajorVersion;
    version.minorVersion = info.dwMinorVersion;
    return true;
  }

  int32_t ProcessBits() override { return static_cast<int32_t>(sizeof(void*) * 8); }

  std::optional<bool> QueryWow64Process() override {
    const LoadedLibrary kernel32("kernel32");
    if (kernel32.get() == nullptr) return std::nullopt;
    const FARPROC found = GetProcAddress(kernel32.get(), "IsWow64Process");
    if (found == nullptr) return std::nullopt;
    // Through a plain function pointer type: GCC warns on a direct cast between unrelated signatures.
    const auto isWow64Process = reinterpret_cast<IsWow64ProcessFunction>(reinterpret_cast<void (*)()>(found));
    BOOL wow64 = FALSE;
    if (!isWow64Process(GetCurrentProcess(), &wow64)) return std::nullopt;
    return wow64 != FALSE;
  }
};

}  // namespace

ProcessorSystem& RealProcessorSystem() {
  static WindowsProcessorSystem system;
  return system;
}

}  // namespace mc

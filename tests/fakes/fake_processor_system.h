// A ProcessorSystem that answers from tables set by the test and records every call it gets. Its clocks
// advance by a fixed step on every read, so a 50 ms measurement costs a few calls and no real time.
#pragma once

#include <map>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "identity/processor.h"

namespace mc {

class FakeProcessorSystem : public ProcessorSystem {
 public:
  bool hasCpuid = true;
  std::map<std::pair<uint32_t, uint32_t>, CpuidRegisters> leaves;  // (leaf, subleaf); others answer zeros
  std::optional<uint32_t> failingLeaf;  // executing this leaf throws std::bad_alloc

  uint64_t timeStampCounter = 1000;
  uint64_t cyclesPerRead = 0;
  int64_t performanceFrequency = 10000000;  // 10 MHz, as Windows reports it on most systems
  int64_t performanceCounter = 0;
  int64_t countsPerRead = 100000;  // 10 ms at 10 MHz

  std::optional<WindowsVersion> versionEx;     // answer to the 156-byte structure
  std::optional<WindowsVersion> versionBasic;  // answer to the 148-byte structure
  std::optional<bool> wow64;                   // absent: IsWow64Process missing
  int32_t processBits = 32;                    // the shipping build

  std::vector<std::pair<uint32_t, uint32_t>> cpuidCalls;
  int timeStampReads = 0;
  int performanceCounterReads = 0;
  std::vector<uint32_t> versionLengths;
  int wow64Queries = 0;

  void SetLeaf(uint32_t leaf, CpuidRegisters registers, uint32_t subleaf = 0) {
    leaves[{leaf, subleaf}] = registers;
  }

  bool HasCpuid() override { return hasCpuid; }
  CpuidRegisters ExecuteCpuid(uint32_t leaf, uint32_t subleaf) override {
    cpuidCalls.emplace_back(leaf, subleaf);
    if (failingLeaf == leaf) throw std::bad_alloc();
    const auto found = leaves.find({leaf, subleaf});
    return found == leaves.end() ? CpuidRegisters{} : found->second;
  }
  uint64_t ReadCycleCounter() override {
    ++timeStampReads;
    const uint64_t value = timeStampCounter;
    timeStampCounter += cyclesPerRead;
    return value;
  }
  int64_t ReadPerformanceFrequency() override { return performanceFrequency; }
  int64_t ReadPerformanceCounter() override {
    ++performanceCounterReads;
    const int64_t value = performanceCounter;
    performanceCounter += countsPerRead;
    return value;
  }
  bool ReadWindowsVersion(uint32_t infoLength, WindowsVersion& version) override {
    versionLengths.push_back(infoLength);
    const std::optional<WindowsVersion>& answer = infoLength == 156 ? versionEx : versionBasic;
    if (answer) version = *answer;
    return answer.has_value();
  }
  int32_t ProcessBits() override { return processBits; }
  std::optional<bool> QueryWow64Process() override {
    ++wow64Queries;
    return wow64;
  }
};

}  // namespace mc

// Times the four identity queries on the real system, as one click calls them: the raw cost a click
// cannot avoid. Prints one line per run: adapter, host addresses, processor and disk, in milliseconds.
#include <cstdio>
#include <cstdlib>

#include "identity/disk.h"
#include "identity/network.h"
#include "identity/processor.h"
#include "platform/windows_gate.h"

namespace {

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& frequency) {
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 50;
  mc::StartWindowsSockets();
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  for (int run = 0; run < runs; ++run) {
    LARGE_INTEGER t[5];
    QueryPerformanceCounter(&t[0]);
    const std::string adapter = mc::ReadAdapterAddress(mc::RealNetworkSystem());
    QueryPerformanceCounter(&t[1]);
    const auto addresses = mc::ListHostAddresses(mc::RealNetworkSystem());
    QueryPerformanceCounter(&t[2]);
    mc::CPUInfo processor;
    mc::ReadProcessorIdentity(mc::RealProcessorSystem(), processor);
    QueryPerformanceCounter(&t[3]);
    mc::HDInfo disk;
    mc::ReadDiskIdentity(mc::RealDeviceSystem(), disk);
    QueryPerformanceCounter(&t[4]);
    std::printf("%.3f %.3f %.3f %.3f\n", Milliseconds(t[0], t[1], frequency), Milliseconds(t[1], t[2], frequency),
                Milliseconds(t[2], t[3], frequency), Milliseconds(t[3], t[4], frequency));
  }
  mc::CleanUpWindowsSockets();
  return 0;
}

#include "shell/win/machine_queries_win.h"

namespace mc {

std::string RealMachineQueries::ReadAdapterAddress() { return mc::ReadAdapterAddress(RealNetworkSystem()); }

std::optional<TextList> RealMachineQueries::ListHostAddresses() {
  return mc::ListHostAddresses(RealNetworkSystem());
}

void RealMachineQueries::ReadProcessorIdentity(CPUInfo& record) {
  mc::ReadProcessorIdentity(RealProcessorSystem(), record);
}

bool RealMachineQueries::ReadDiskIdentity(HDInfo& record) {
  return mc::ReadDiskIdentity(RealDeviceSystem(), record);
}

}  // namespace mc

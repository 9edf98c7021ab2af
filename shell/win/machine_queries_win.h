// The four queries on the operating system's own services.
#pragma once

#include "shell/collect_codes.h"

namespace mc {

class RealMachineQueries final : public MachineQueries {
 public:
  std::string ReadAdapterAddress() override;
  std::optional<TextList> ListHostAddresses() override;
  void ReadProcessorIdentity(CPUInfo& record) override;
  bool ReadDiskIdentity(HDInfo& record) override;
};

}  // namespace mc

// The code collection action behind the button, and the four queries it calls, as one seam.
#pragma once

#include <optional>
#include <string>

#include "identity/disk.h"
#include "identity/network.h"
#include "identity/processor.h"
#include "shell/runtime.h"

namespace mc {

// The machine's identity as the action asks for it: the first adapter, the host's addresses, the processor
// and drive 0. The real side forwards to the queries on the operating system's services.
class MachineQueries {
 public:
  virtual ~MachineQueries() = default;
  virtual std::string ReadAdapterAddress() = 0;
  virtual std::optional<TextList> ListHostAddresses() = 0;
  virtual void ReadProcessorIdentity(CPUInfo& record) = 0;
  virtual bool ReadDiskIdentity(HDInfo& record) = 0;
};

// Installed by the program's entry before the event loop runs.
void SetMachineQueries(MachineQueries* queries);

// One run of the action: each query in turn, each box written as soon as its query has returned.
void CollectCodes(MachineQueries& queries, RunTime& runTime);

}  // namespace mc

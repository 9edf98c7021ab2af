#include "shell/collect_codes.h"

#include "shell/program.h"
#include "shell/window_description.h"

namespace mc {
namespace {

MachineQueries* machineQueries = nullptr;

const char* TextOf(const std::optional<std::string>& member) { return member ? member->c_str() : nullptr; }

}  // namespace

void SetMachineQueries(MachineQueries* queries) { machineQueries = queries; }

void CollectCodes() { CollectCodes(*machineQueries, CurrentRunTime()); }

void CollectCodes(MachineQueries& queries, RunTime& runTime) {
  {
    const std::string adapter = queries.ReadAdapterAddress();
    runTime.SetControlText(kMainWindowId, kEditBox1Id, adapter.c_str());
  }

  // The addresses run together with nothing between them; that is the code people have registered.
  const std::optional<TextList> addresses = queries.ListHostAddresses();
  std::optional<Text> joined;
  if (addresses) {
    for (const std::string& address : *addresses) {
      Text next = joined ? *joined : Text();
      next += address.c_str();
      joined = std::move(next);
    }
  }
  runTime.SetControlText(kMainWindowId, kEditBox2Id, joined ? joined->c_str() : nullptr);

  CPUInfo processor;
  queries.ReadProcessorIdentity(processor);
  runTime.SetControlText(kMainWindowId, kEditBox3Id, TextOf(processor.serialNumber));

  // A failed disk query leaves the record untouched: the box is emptied, as for any failed query.
  HDInfo disk;
  queries.ReadDiskIdentity(disk);
  runTime.SetControlText(kMainWindowId, kEditBox4Id, TextOf(disk.serialNumber));
}

}  // namespace mc

// A NetworkSystem that answers from fields set by the test and records every call it gets.
#pragma once

#include <string>
#include <vector>

#include "identity/network.h"

namespace mc {

class FakeNetworkSystem : public NetworkSystem {
 public:
  // Adapter list.
  uint32_t listLength = 0;                                // what the first call leaves in the size variable
  uint32_t readStatus = 0;                                // status of the second call
  std::vector<AdapterEntry> adapters;                     // the chain a successful call leaves
  std::vector<AdapterEntry> failedBlock{AdapterEntry{}};  // a failed call leaves the zero-filled block
  // Host name and resolution.
  int32_t hostNameResult = 0;  // negative: gethostname failed (for instance WSANOTINITIALISED)
  std::string hostName = "machine";
  bool resolves = true;
  HostEntry host;

  // Record.
  int lengthQueryCount = 0;
  std::vector<uint32_t> readLengths;      // block length of each second call
  std::vector<uint32_t> hostNameLengths;  // buffer length of each host-name read
  std::vector<std::string> resolvedNames;

  uint32_t QueryAdapterListLength() override {
    ++lengthQueryCount;
    return listLength;
  }
  uint32_t ReadAdapterList(uint32_t length, std::vector<AdapterEntry>& entries) override {
    readLengths.push_back(length);
    entries = readStatus == 0 ? adapters : failedBlock;
    return readStatus;
  }
  int32_t ReadHostName(uint32_t nameLength, std::string& name) override {
    hostNameLengths.push_back(nameLength);
    if (hostNameResult >= 0) name = hostName;
    return hostNameResult;
  }
  bool ResolveHostName(const std::string& name, HostEntry& entry) override {
    resolvedNames.push_back(name);
    if (resolves) entry = host;
    return resolves;
  }
};

}  // namespace mc

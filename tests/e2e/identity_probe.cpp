// Runs the real network and processor queries once and prints one key=value line per answer, for the
// Wine checks to compare with what Wine's own tools report.
#include <cstdio>
#include <optional>
#include <string>

#include "identity/network.h"
#include "identity/processor.h"

namespace {

void Print(const char* key, const std::string& value) { std::printf("%s=%s\n", key, value.c_str()); }

void Print(const char* key, const std::optional<std::string>& value) {
  Print(key, value ? *value : std::string("(absent)"));
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // every line out at once, even if a query hangs
  mc::StartWindowsSockets();

  mc::NetworkSystem& network = mc::RealNetworkSystem();
  Print("adapterAddress", mc::ReadAdapterAddress(network));
  // Every adapter by position, to compare the whole order with Wine's list.
  std::string all;
  for (int32_t position = 1; position <= 32; ++position) {
    const std::string address = mc::ReadAdapterAddress(network, position);
    if (address.empty()) break;
    all += (all.empty() ? "" : ",") + address;
  }
  Print("adapterAddresses", all);

  const std::optional<mc::TextList> hosts = mc::ListHostAddresses(network);
  std::string joined;
  if (hosts) {
    for (const std::string& address : *hosts) joined += (joined.empty() ? "" : ",") + address;
  }
  Print("hostAddresses", hosts ? std::optional<std::string>(joined) : std::nullopt);

  mc::CPUInfo info;
  mc::ReadProcessorIdentity(mc::RealProcessorSystem(), info);
  Print("manufacturer", info.manufacturer);
  Print("modelName", info.modelName);
  Print("clockMHz", std::to_string(info.clockMHz));
  Print("familyText", info.familyText);
  Print("l1CacheKB", std::to_string(info.l1CacheKB));
  Print("l2CacheKB", std::to_string(info.l2CacheKB));
  Print("serialNumber", info.serialNumber);
  Print("systemBits", std::to_string(info.systemBits));
  Print("pointerBits", std::to_string(sizeof(void*) * 8));

  mc::CleanUpWindowsSockets();
  std::fflush(stdout);
  return 0;
}

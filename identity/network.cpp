#include "identity/network.h"

#include <cstddef>
#include <cstdio>

namespace mc {

namespace {

constexpr size_t kAddressTextLength = 20;  // 17 characters and the terminator, with room to spare
constexpr uint32_t kHostNameLength = 256;
constexpr size_t kHostAddressCount = 10;  // more than ten addresses are dropped
constexpr uint32_t kSuccess = 0;          // ERROR_SUCCESS / NO_ERROR

}  // namespace

std::string ReadAdapterAddress(NetworkSystem& system, int32_t adapterNumber) {
  char result[kAddressTextLength] = {};
  const uint32_t listLength = system.QueryAdapterListLength();
  if (listLength == 0) return result;

  std::vector<AdapterEntry> entries;
  // The list may have grown between the two calls (ERROR_BUFFER_OVERFLOW): the block then holds no
  // adapter, and an all-zero address must not pass for a real one.
  if (system.ReadAdapterList(listLength, entries) != kSuccess) return result;

  int32_t position = 1;
  for (const AdapterEntry& entry : entries) {
    if (position == adapterNumber) {
      // Six bytes whatever the address length says: the Ethernet form every caller expects.
      const std::array<uint8_t, 8>& a = entry.address;
      std::snprintf(result, sizeof result, "%02X-%02X-%02X-%02X-%02X-%02X", a[0], a[1], a[2], a[3], a[4],
                    a[5]);
      break;
    }
    ++position;
  }
  return result;
}

std::optional<TextList> ListHostAddresses(NetworkSystem& system) {
  std::string name;
  if (system.ReadHostName(kHostNameLength, name) < 0) return std::nullopt;

  HostEntry entry;
  if (!system.ResolveHostName(name, entry)) return std::nullopt;

  TextList addresses;
  for (const std::array<uint8_t, 4>& a : entry.addresses) {
    if (addresses.size() == kHostAddressCount) break;
    char text[16];  // what inet_ntoa gives: four decimal numbers joined by full stops
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    addresses.emplace_back(text);
  }
  if (addresses.empty()) return std::nullopt;
  return addresses;
}

}  // namespace mc

// Network identity: the hardware address of one adapter and the IPv4 addresses of the host's own name.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mc {

using TextList = std::vector<std::string>;

// One entry of the system's adapter list: its whole address field and the length the system gave for it.
struct AdapterEntry {
  std::array<uint8_t, 8> address{};  // the 8-byte field of the adapter-information layout, as it stands
  uint32_t addressLength = 0;
};

// What the name resolver gave for a name: the address type it named and every entry of its address
// list, each read as four bytes.
struct HostEntry {
  int16_t addressType = 0;
  std::vector<std::array<uint8_t, 4>> addresses;
};

// The operating-system services the two queries need. RealNetworkSystem() is the Windows side; the tests
// use a recording fake.
class NetworkSystem {
 public:
  virtual ~NetworkSystem() = default;
  // First adapter-list call, without a block: the block length the list needs (0 when it needs none).
  virtual uint32_t QueryAdapterListLength() = 0;
  // Second call, into a zero-filled block of listLength bytes. Returns the call's status (0 = success).
  // `entries` is the block read as a chain whatever the status: a block the call left untouched reads as
  // one adapter with an all-zero address.
  virtual uint32_t ReadAdapterList(uint32_t listLength, std::vector<AdapterEntry>& entries) = 0;
  // The host's own name read into a buffer of nameLength bytes; a negative result is a failure.
  virtual int32_t ReadHostName(uint32_t nameLength, std::string& name) = 0;
  // Resolves a name; false when the resolver gives no host entry.
  virtual bool ResolveHostName(const std::string& name, HostEntry& entry) = 0;
};

// The address of the adapter at position adapterNumber (1 = first) as "XX-XX-XX-XX-XX-XX", or the empty
// text when there is no such adapter or the list cannot be read.
std::string ReadAdapterAddress(NetworkSystem& system, int32_t adapterNumber = 1);

// The dotted-decimal IPv4 addresses of the host's own name, at most ten, in the resolver's order; absent
// (never empty) when the name cannot be read, does not resolve or gives no address.
std::optional<TextList> ListHostAddresses(NetworkSystem& system);

#ifdef _WIN32
NetworkSystem& RealNetworkSystem();
// Windows Sockets 1.0 for the process; the result is not examined: a failed start shows later as a host
// name that cannot be read.
void StartWindowsSockets();
void CleanUpWindowsSockets();
#endif

}  // namespace mc

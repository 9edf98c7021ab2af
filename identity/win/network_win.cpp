// The Windows side of the network seam: the IP Helper adapter list and Windows Sockets 1.x.
#include "platform/windows_gate.h"

#include <iphlpapi.h>
#include <winsock.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "identity/network.h"

namespace mc {

namespace {

// The adapter-information layout the list is read in: Next first, an 8-byte address field.
static_assert(MAX_ADAPTER_ADDRESS_LENGTH == 8, "adapter address field");
static_assert(offsetof(IP_ADAPTER_INFO, Next) == 0, "adapter link");
#if defined(_WIN64)
static_assert(sizeof(IP_ADAPTER_INFO) == 704, "IP_ADAPTER_INFO on x64");
#else
static_assert(sizeof(IP_ADAPTER_INFO) == 640, "IP_ADAPTER_INFO on x86");
#endif
static_assert(ERROR_SUCCESS == 0 && ERROR_BUFFER_OVERFLOW == 111, "GetAdaptersInfo status codes");
static_assert(sizeof(in_addr) == 4, "IPv4 address");

class WindowsNetworkSystem : public NetworkSystem {
 public:
  uint32_t QueryAdapterListLength() override {
    ULONG listLength = 0;
    GetAdaptersInfo(nullptr, &listLength);  // ERROR_BUFFER_OVERFLOW, or ERROR_NO_DATA without adapters
    return listLength;
  }

  uint32_t ReadAdapterList(uint32_t listLength, std::vector<AdapterEntry>& entries) override {
    // IP_ADAPTER_INFO holds pointers and 64-bit times: keep the block aligned for them.
    std::vector<uint64_t> block((listLength + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
    ULONG blockLength = listLength;
    const DWORD status = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(block.data()), &blockLength);

    entries.clear();
    if (listLength < sizeof(IP_ADAPTER_INFO)) return status;  // too short to hold even one entry
    const auto* first = reinterpret_cast<const unsigned char*>(block.data());
    const auto* end = first + listLength;
    const auto* adapter = reinterpret_cast<const IP_ADAPTER_INFO*>(first);
    // The links point into the block; a link elsewhere ends the walk rather than reading outside it.
    while (adapter != nullptr) {
      const auto* at = reinterpret_cast<const unsigned char*>(adapter);
      if (at < first || at + sizeof(IP_ADAPTER_INFO) > end) break;
      AdapterEntry entry;
      std::memcpy(entry.address.data(), adapter->Address, entry.address.size());
      entry.addressLength = adapter->AddressLength;
      entries.push_back(entry);
      adapter = adapter->Next;
    }
    return status;
  }

  int32_t ReadHostName(uint32_t nameLength, std::string& name) override {
    std::vector<char> buffer(nameLength, '\0');
    const int result = gethostname(buffer.data(), static_cast<int>(buffer.size()));
    if (result < 0) return result;
    buffer.back() = '\0';
    name = buffer.data();
    return result;
  }

  bool ResolveHostName(const std::string& name, HostEntry& entry) override {
    const hostent* host = gethostbyname(name.c_str());
    if (host == nullptr) return false;
    // The entry lives in per-thread storage that the next socket call may reuse: copy it out now.
    HostEntry resolved;
    resolved.addressType = host->h_addrtype;
    for (char** address = host->h_addr_list; address != nullptr && *address != nullptr; ++address) {
      std::array<uint8_t, 4> bytes;
      std::memcpy(bytes.data(), *address, bytes.size());  // four bytes whatever h_addrtype says
      resolved.addresses.push_back(bytes);
    }
    entry = std::move(resolved);
    return true;
  }
};

}  // namespace

NetworkSystem& RealNetworkSystem() {
  static WindowsNetworkSystem system;
  return system;
}

void StartWindowsSockets() {
  WSADATA data;
  WSAStartup(MAKEWORD(1, 0), &data);
}

void CleanUpWindowsSockets() { WSACleanup(); }

}  // namespace mc

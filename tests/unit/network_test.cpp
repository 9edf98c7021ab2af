#include <gtest/gtest.h>

#include "fakes/fake_network_system.h"
#include "identity/network.h"

namespace mc {
namespace {

AdapterEntry Adapter(std::array<uint8_t, 8> address, uint32_t addressLength = 6) {
  AdapterEntry entry;
  entry.address = address;
  entry.addressLength = addressLength;
  return entry;
}

FakeNetworkSystem ThreeAdapters() {
  FakeNetworkSystem system;
  system.listLength = 3 * 640;
  system.adapters = {Adapter({0x00, 0x11, 0x22, 0x33, 0x44, 0x55}),
                     Adapter({0x02, 0x42, 0xAC, 0x11, 0x00, 0x02}),
                     Adapter({0x52, 0x54, 0x00, 0x12, 0x34, 0x56})};
  return system;
}

TEST(ReadAdapterAddress, OmittedNumberGivesTheFirstAdapter) {
  FakeNetworkSystem system = ThreeAdapters();
  EXPECT_EQ(ReadAdapterAddress(system), "00-11-22-33-44-55");
  EXPECT_EQ(system.lengthQueryCount, 1);
  EXPECT_EQ(system.readLengths,
            std::vector<uint32_t>{3 * 640});  // the second call gets the size the first left
}

TEST(ReadAdapterAddress, WalksTheListByPosition) {
  const struct {
    int32_t adapterNumber;
    const char* expected;
  } cases[] = {
      {1, "00-11-22-33-44-55"},
      {2, "02-42-AC-11-00-02"},
      {3, "52-54-00-12-34-56"},
      {4, ""},  // beyond the list
      {0, ""},
      {-1, ""},
      {INT32_MIN, ""},
  };
  for (const auto& c : cases) {
    FakeNetworkSystem system = ThreeAdapters();
    EXPECT_EQ(ReadAdapterAddress(system, c.adapterNumber), c.expected) << "adapterNumber " << c.adapterNumber;
  }
}

TEST(ReadAdapterAddress, FormatsSixBytesUpperCaseAndZeroPadded) {
  const struct {
    AdapterEntry adapter;
    const char* expected;
  } cases[] = {
      {Adapter({0xAB, 0x0C, 0x00, 0xFF, 0x0A, 0xB0}), "AB-0C-00-FF-0A-B0"},
      // The address length is not consulted: a longer address is cut to six bytes, a shorter one shows
      // the bytes after it as they stand in the block.
      {Adapter({1, 2, 3, 4, 5, 6, 7, 8}, 8), "01-02-03-04-05-06"},
      {Adapter({0xDE, 0xAD, 0xBE, 0xEF, 0, 0}, 4), "DE-AD-BE-EF-00-00"},
      {Adapter({0xDE, 0xAD, 0xBE, 0xEF, 0x99, 0x77}, 4), "DE-AD-BE-EF-99-77"},
      {Adapter({}, 0), "00-00-00-00-00-00"},
  };
  for (const auto& c : cases) {
    FakeNetworkSystem system;
    system.listLength = 640;
    system.adapters = {c.adapter};
    const std::string text = ReadAdapterAddress(system);
    EXPECT_EQ(text, c.expected);
    EXPECT_EQ(text.size(), 17u);
  }
}

TEST(ReadAdapterAddress, AnUnreadableListGivesTheEmptyText) {
  {
    // No adapter: the size query leaves 0 and no second call is made.
    FakeNetworkSystem system = ThreeAdapters();
    system.listLength = 0;
    EXPECT_EQ(ReadAdapterAddress(system), "");
    EXPECT_TRUE(system.readLengths.empty());
  }
  const uint32_t failures[] = {111 /* ERROR_BUFFER_OVERFLOW: an adapter came between the calls */,
                               232 /* ERROR_NO_DATA */, 87 /* ERROR_INVALID_PARAMETER */};
  for (uint32_t status : failures) {
    FakeNetworkSystem system = ThreeAdapters();
    system.readStatus = status;
    EXPECT_EQ(ReadAdapterAddress(system), "") << "status " << status;
    EXPECT_EQ(system.readLengths.size(), 1u);
  }
}

std::array<uint8_t, 4> Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return {a, b, c, d}; }

TEST(ListHostAddresses, GivesAtMostTenAddressesInResolverOrder) {
  const struct {
    size_t resolved;
    size_t listed;
  } cases[] = {{1, 1}, {2, 2}, {10, 10}, {12, 10}};
  for (const auto& c : cases) {
    FakeNetworkSystem system;
    system.hostName = "build-host";
    for (size_t i = 0; i < c.resolved; ++i)
      system.host.addresses.push_back(Ip(10, 0, uint8_t(i), uint8_t(200 - i)));
    const std::optional<TextList> list = ListHostAddresses(system);
    ASSERT_TRUE(list.has_value()) << c.resolved << " addresses";
    ASSERT_EQ(list->size(), c.listed);
    for (size_t i = 0; i < c.listed; ++i)
      EXPECT_EQ((*list)[i], "10.0." + std::to_string(i) + "." + std::to_string(200 - i));
    EXPECT_EQ(system.hostNameLengths, std::vector<uint32_t>{256});
    EXPECT_EQ(system.resolvedNames, std::vector<std::string>{"build-host"});
  }
}

TEST(ListHostAddresses, FormatsDottedDecimalWhateverTheAddressType) {
  FakeNetworkSystem system;
  system.host.addressType = 23;  // AF_INET6 on Windows: the entries are still read as four bytes
  system.host.addresses = {Ip(0, 0, 0, 0), Ip(255, 255, 255, 255), Ip(192, 168, 1, 9), Ip(127, 0, 0, 1)};
  EXPECT_EQ(ListHostAddresses(system), (TextList{"0.0.0.0", "255.255.255.255", "192.168.1.9", "127.0.0.1"}));
}

TEST(ListHostAddresses, IsAbsentWhenNothingResolves) {
  {
    FakeNetworkSystem system;  // resolves to an entry without addresses
    EXPECT_EQ(ListHostAddresses(system), std::nullopt);
  }
  {
    FakeNetworkSystem system;
    system.resolves = false;
    system.host.addresses = {Ip(10, 0, 0, 1)};
    EXPECT_EQ(ListHostAddresses(system), std::nullopt);
  }
  {
    // Sockets did not start: gethostname fails on every call and nothing is resolved.
    FakeNetworkSystem system;
    system.hostNameResult = -1;
    system.host.addresses = {Ip(10, 0, 0, 1)};
    EXPECT_EQ(ListHostAddresses(system), std::nullopt);
    EXPECT_EQ(ListHostAddresses(system), std::nullopt);
    EXPECT_TRUE(system.resolvedNames.empty());
  }
}

}  // namespace
}  // namespace mc

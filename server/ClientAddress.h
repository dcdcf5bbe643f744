#pragma once
// Client addresses as the receiver counts them: IPv4 by the address, IPv6 by
// its /64 (one subscriber's network), IPv4-mapped IPv6 as IPv4; trusted
// proxies given as addresses or prefixes, and the client a trusted proxy
// names in X-Forwarded-For.

#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaro::feedbackd {

struct IpAddress {
    bool v6 = false;
    // IPv4 in the first 4 bytes.
    std::array<std::uint8_t, 16> bytes{};

    // The address as text ("192.0.2.1", "2001:db8::1").
    std::string text() const;
    // The key the limits count by: the IPv4 address, or the IPv6 /64.
    std::string countingKey() const;
};

// Reads a numeric address; false for anything else. Mapped IPv4 becomes IPv4.
bool parseAddress(const std::string& text, IpAddress& out);
bool fromSockaddr(const sockaddr* address, IpAddress& out);

// Addresses and prefixes ("10.0.0.0/8", "::1", "2001:db8::/32").
class AddressSet {
public:
    // Adds the items of a list separated by commas or blanks; false with
    // `error` naming the first item that is not an address or prefix.
    bool add(const std::string& list, std::string& error);
    bool contains(const IpAddress& address) const;
    bool empty() const { return m_prefixes.empty(); }

private:
    struct Prefix {
        IpAddress address;
        int bits = 0;
    };
    std::vector<Prefix> m_prefixes;
};

// The client of a request that came from `peer`: when `peer` is trusted, the
// last address of the X-Forwarded-For values (in the order the headers came)
// that is not itself trusted, or the first one when all are; else `peer`.
// False when the header names something that is not an address.
bool forwardedClient(const IpAddress& peer, const std::vector<std::string>& forwardedFor,
                     const AddressSet& trusted, IpAddress& client);

}  // namespace tessaro::feedbackd

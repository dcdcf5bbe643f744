#include "server/ClientAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>
#include <cstring>

namespace tessaro::feedbackd {

namespace {

constexpr std::uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

void fromV6(const std::uint8_t* b, IpAddress& out) {
    if (std::memcmp(b, kMapped, sizeof kMapped) == 0) {
        out.v6 = false;
        out.bytes = {};
        std::memcpy(out.bytes.data(), b + 12, 4);
    } else {
        out.v6 = true;
        std::memcpy(out.bytes.data(), b, 16);
    }
}

std::string trim(std::string s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Splits a list at commas and blanks.
std::vector<std::string> items(const std::string& list) {
    std::vector<std::string> out;
    std::string item;
    for (char c : list + ",") {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!item.empty()) out.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    return out;
}

}  // namespace

std::string IpAddress::text() const {
    char buffer[INET6_ADDRSTRLEN] = {};
    inet_ntop(v6 ? AF_INET6 : AF_INET, bytes.data(), buffer, sizeof buffer);
    return buffer;
}

std::string IpAddress::countingKey() const {
    if (!v6) return text();
    IpAddress network = *this;
    std::fill(network.bytes.begin() + 8, network.bytes.end(), 0);
    return network.text() + "/64";
}

bool parseAddress(const std::string& text, IpAddress& out) {
    std::uint8_t b[16];
    if (inet_pton(AF_INET, text.c_str(), b) == 1) {
        out = {};
        std::memcpy(out.bytes.data(), b, 4);
        return true;
    }
    if (inet_pton(AF_INET6, text.c_str(), b) == 1) {
        fromV6(b, out);
        return true;
    }
    return false;
}

bool fromSockaddr(const sockaddr* address, IpAddress& out) {
    if (!address) return false;
    if (address->sa_family == AF_INET) {
        out = {};
        std::memcpy(out.bytes.data(), &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, 4);
        return true;
    }
    if (address->sa_family == AF_INET6) {
        fromV6(reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr, out);
        return true;
    }
    return false;
}

bool AddressSet::add(const std::string& list, std::string& error) {
    for (const std::string& item : items(list)) {
        const auto slash = item.find('/');
        Prefix p;
        bool ok = parseAddress(item.substr(0, slash), p.address);
        const int most = p.address.v6 ? 128 : 32;
        p.bits = most;
        if (ok && slash != std::string::npos) {
            const std::string bits = item.substr(slash + 1);
            const auto [end, ec] = std::from_chars(bits.data(), bits.data() + bits.size(), p.bits);
            ok = ec == std::errc() && end == bits.data() + bits.size() && !bits.empty() &&
                 p.bits >= 0 && p.bits <= most;
        }
        if (!ok) {
            error = item;
            return false;
        }
        m_prefixes.push_back(p);
    }
    return true;
}

bool AddressSet::contains(const IpAddress& address) const {
    for (const Prefix& p : m_prefixes) {
        if (p.address.v6 != address.v6) continue;
        const int whole = p.bits / 8, rest = p.bits % 8;
        if (std::memcmp(p.address.bytes.data(), address.bytes.data(), whole) != 0) continue;
        const std::uint8_t mask = static_cast<std::uint8_t>(0xff00 >> rest);
        if (rest && ((p.address.bytes[whole] ^ address.bytes[whole]) & mask)) continue;
        return true;
    }
    return false;
}

bool forwardedClient(const IpAddress& peer, const std::vector<std::string>& forwardedFor,
                     const AddressSet& trusted, IpAddress& client) {
    client = peer;
    if (!trusted.contains(peer)) return true;
    std::vector<std::string> hops;
    for (const std::string& value : forwardedFor) {
        std::string item;
        for (char c : value + ",") {
            if (c != ',') {
                item += c;
                continue;
            }
            if (!trim(item).empty()) hops.push_back(trim(item));
            item.clear();
        }
    }
    for (auto it = hops.rbegin(); it != hops.rend(); ++it) {
        if (!parseAddress(*it, client)) return false;
        if (!trusted.contains(client)) return true;
    }
    return true;  // every hop trusted: the first one named
}

}  // namespace tessaro::feedbackd

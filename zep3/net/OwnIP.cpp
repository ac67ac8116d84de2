#include <zep3/net/OwnIP.h>

#include <cerrno>
#include <vector>

namespace {

// The IPv4 addresses of the host's name, in the host entry's order.
std::vector<in_addr> OwnAddresses() {
    std::vector<in_addr> found;
    char name[255];
    if (gethostname(name, sizeof name) != 0) return found;
    name[sizeof name - 1] = '\0';
    hostent entry, *result = nullptr;
    std::vector<char> scratch(8192);
    int error = 0;
    while (gethostbyname_r(name, &entry, scratch.data(), scratch.size(), &result, &error) == ERANGE &&
           scratch.size() < (1u << 20))
        scratch.resize(scratch.size() * 2);
    if (!result || result->h_addrtype != AF_INET) return found;
    for (char** a = result->h_addr_list; *a; ++a) found.push_back(*reinterpret_cast<in_addr*>(*a));
    return found;
}

std::vector<in_addr> LookUp(bool startSockets) {
    WSADATA data;
    if (startSockets && WSAStartup(MAKEWORD(2, 0), &data) != 0) return {};
    std::vector<in_addr> found = OwnAddresses();
    if (startSockets) WSACleanup();
    return found;
}

CString DottedText(in_addr address) {
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &address, text, sizeof text);
    return CString(text);
}

} // namespace

bool GetOwnIP(CStringArray& addresses, bool startSockets) {
    for (in_addr a : LookUp(startSockets)) addresses.Add(DottedText(a));
    return addresses.GetSize() > 0;
}

bool GetOwnIP(CString& address, in_addr& addr, bool startSockets) {
    const std::vector<in_addr> found = LookUp(startSockets);
    if (!found.empty()) {
        addr = found.front();
        address = DottedText(addr);
    }
    return !address.IsEmpty();
}

bool IsLocalIp(unsigned int address) {
    return (address & 0xFF000000u) == 0x0A000000u || (address & 0xFFF00000u) == 0xAC100000u ||
           (address & 0xFFFF0000u) == 0xC0A80000u;
}

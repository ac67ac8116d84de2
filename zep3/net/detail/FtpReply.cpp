#include <zep3/net/detail/FtpReply.h>

#include <cstdlib>

namespace zep3::detail {

bool ReadFtpLine(CArchive* in, CString& reply, int& replyClass) {
    if (!in || !in->ReadString(reply)) {
        reply = "Network error";
        return false;
    }
    if (!reply.IsEmpty()) replyClass = reply[0] - '0';
    return true;
}

bool ReadFtpReply(CArchive* in, CString& reply, int& replyClass) {
    if (!ReadFtpLine(in, reply, replyClass)) return false;
    if (reply.GetLength() < 4 || reply[3] != '-') return true;
    const long code = FtpLeadingNumber(reply);
    do {
        if (!ReadFtpLine(in, reply, replyClass)) return false;
    } while (reply.GetLength() < 4 || reply[3] != ' ' || FtpLeadingNumber(reply) != code);
    return true;
}

long FtpLeadingNumber(const CString& line) { return std::strtol(line, nullptr, 10); }

bool ParsePassiveReply(const CString& reply, CString& host, UINT& port) {
    const int open = reply.Find('('), close = reply.Find(')');
    if (open < 0 || close < open) return false;
    CString numbers = reply.Mid(open + 1, close - open - 1);
    int comma = -1;
    for (int i = 0; i < 4 && (comma = numbers.Find(',', comma + 1)) >= 0; ++i) {
    }
    host = comma < 0 ? numbers : numbers.Left(comma);
    host.Replace(',', '.');
    const CString ports = comma < 0 ? CString() : numbers.Mid(comma + 1);
    const int second = ports.Find(',');
    const long p1 = std::atol(ports), p2 = second < 0 ? 0 : std::atol(ports.Mid(second + 1));
    port = UINT(p1) * 256u + UINT(p2); // out-of-range numbers wrap, as 32-bit arithmetic does
    return true;
}

CString PortCommand(const CString& address, UINT port) {
    CString numbers = address;
    numbers.Replace('.', ',');
    CString command;
    command.Format("PORT %s,%u,%u", static_cast<const char*>(numbers), port / 256, port % 256);
    return command;
}

} // namespace zep3::detail

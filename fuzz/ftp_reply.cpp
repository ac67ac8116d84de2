// The FTP client's reply reader fed an arbitrary control stream through the
// archive it reads from: replies are read one after another until the
// stream ends. Each reply must end where the rules say -- a first line
// without '-' at its fourth place alone, a multi-line reply at the first
// line of at least four characters with a space there and the same leading
// number -- with the class of its last line; every line also goes through
// the PASV parser, and PORT texts must parse back to their address and port.
#include "FuzzSupport.h"

#include <zep3/net/detail/FtpReply.h>
#include <zep3/zep3.h>

#include <cstring>
#include <vector>

namespace {

// The input as a file, served in pieces whose sizes the input's first byte
// chooses, as a connection delivers them.
class StreamFile : public CFile {
public:
    StreamFile(const uint8_t* data, size_t size) : m_data(data), m_size(size) {
        m_piece = size ? 1 + data[0] % 64 : 1;
    }
    UINT Read(void* buffer, UINT count) override {
        const size_t n = std::min<size_t>({count, m_piece, m_size - m_at});
        std::memcpy(buffer, m_data + m_at, n);
        m_at += n;
        return UINT(n);
    }

private:
    const uint8_t* m_data;
    size_t m_size, m_at = 0, m_piece;
};

// The lines of the input as a reader splits them: at LF, CR LF or a lone CR.
std::vector<std::string> Lines(const uint8_t* data, size_t size) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < size; ++i) {
        const char c = char(data[i]);
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && i + 1 < size && data[i + 1] == '\n') ++i;
        lines.push_back(line);
        line.clear();
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

bool Closes(const std::string& line, long code) {
    return line.size() >= 4 && line[3] == ' ' && zep3::detail::FtpLeadingNumber(line.c_str()) == code;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    const std::vector<std::string> lines = Lines(data, size);
    StreamFile file(data, size);
    CArchive in(&file, CArchive::load, 4096);
    CString reply;
    int replyClass = 0;
    size_t next = 0; // the line the next reply starts with
    while (zep3::detail::ReadFtpReply(&in, reply, replyClass)) {
        zep3fuzz::check(next < lines.size(), "a reply only where a line is");
        const std::string& first = lines[next];
        size_t last = next;
        if (first.size() >= 4 && first[3] == '-') {
            const long code = zep3::detail::FtpLeadingNumber(first.c_str());
            for (++last; last < lines.size() && !Closes(lines[last], code); ++last) {
            }
            zep3fuzz::check(last < lines.size(), "a multi-line reply ends at its closing line");
        }
        zep3fuzz::check(std::string(reply, size_t(reply.GetLength())) == lines[last],
                        "the reply is its last line");
        for (size_t i = last + 1; i-- > next;)
            if (!lines[i].empty()) {
                zep3fuzz::check(replyClass == lines[i][0] - '0', "the class of the last non-empty line");
                break;
            }
        CString host;
        UINT port = 0;
        if (zep3::detail::ParsePassiveReply(reply, host, port)) {
            const CString back = zep3::detail::PortCommand("10.1.2.3", port % 65536);
            zep3fuzz::check(zep3::detail::ParsePassiveReply("(" + back.Mid(5) + ")", host, port),
                            "PORT parses");
            zep3fuzz::check(host == CString("10.1.2.3"), "PORT's address comes back");
        }
        next = last + 1;
    }
    zep3fuzz::check(next >= lines.size() || (lines[next].size() >= 4 && lines[next][3] == '-'),
                    "reading stops only at the end or inside an unfinished multi-line reply");
    zep3fuzz::check(reply == CString("Network error"), "the end is a network error");
    return 0;
}

#include <zep3/net/detail/HttpRequest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace zep3::detail {

namespace {

// Position of lowerNeedle in text compared without case, -1 when absent.
int FindNoCase(const CString& text, const char* lowerNeedle) {
    const std::string& s = text.str();
    const auto at = std::search(s.begin(), s.end(), lowerNeedle, lowerNeedle + std::strlen(lowerNeedle),
                                [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    return at == s.end() ? -1 : static_cast<int>(at - s.begin());
}

// The text from `from` up to the first CR or LF (or the end).
CString LineFrom(const CString& text, int from) {
    const CString rest = text.Mid(from);
    const int end = rest.FindOneOf("\r\n");
    return end < 0 ? rest : rest.Left(end);
}

// The text up to the first ch, or all of it when there is none.
CString UpTo(const CString& text, char ch) {
    const int end = text.Find(ch);
    return end < 0 ? text : text.Left(end);
}

// atoi of a number that may not fit: clamped to int.
int ReadInt(const char* text) {
    const long long value = std::strtoll(text, nullptr, 10);
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// The last line of a POST: whatever follows the last line end and the CR,
// LF and space characters after it.
CString LastLine(const CString& text) {
    const std::string& s = text.str();
    size_t at = 0;
    for (;;) {
        const size_t end = s.find_first_of("\r\n", at);
        if (end == std::string::npos) break;
        at = s.find_first_not_of("\r\n ", end);
        if (at == std::string::npos) return CString();
    }
    return text.Mid(static_cast<int>(at));
}

// name=value pairs separated by "&"; parsing stops at a pair without "=".
// One pass over the text, and a table as large as the pairs need, so that
// a request of many thousand pairs costs no more than their bytes.
void ReadParameters(CString query, CHTMLVariables& parameters) {
    if (query.IsEmpty()) return;
    if (query[query.GetLength() - 1] != '&') query += '&';
    query.Replace('+', ' ');
    const std::string& s = query.str();
    parameters.InitHashTable(std::max<UINT>(17, UINT(std::count(s.begin(), s.end(), '&')) | 1));
    for (size_t at = 0;;) {
        const size_t amp = s.find('&', at);
        const size_t eq = s.find('=', at);
        if (amp == std::string::npos || eq == std::string::npos || eq > amp) return;
        parameters[CString(s.substr(at, eq - at))] = CString(s.substr(eq + 1, amp - eq - 1));
        at = amp + 1;
    }
}

// The SID and Login cookies of the first "Cookie: " line: its pieces split
// at ";" and then at the first "="; a later piece of the same name wins.
void ReadCookies(const CString& text, HttpRequest& request) {
    const int at = text.Find("Cookie: ");
    if (at < 0) return;
    const std::string line = LineFrom(text, at + 8).str();
    for (size_t from = 0; from <= line.size();) {
        size_t end = line.find(';', from);
        if (end == std::string::npos) end = line.size();
        CString piece(line.substr(from, end - from));
        from = end + 1;
        piece.Trim(' ');
        const int eq = piece.Find('=');
        if (eq <= 0) continue;
        const CString name = piece.Left(eq);
        if (name == "SID") request.sid = piece.Mid(eq + 1);
        else if (name == "Login") request.login = piece.Mid(eq + 1);
    }
}

} // namespace

bool IsHttpRequestComplete(const CString& text) {
    const int headerEnd = text.Find("\r\n\r\n");
    if (headerEnd < 0) return false;
    const int at = FindNoCase(text, "content-length:");
    if (at < 0) return true;
    CString value = text.Mid(at + 15);
    const int cr = value.Find('\r');
    if (cr >= 0) value = value.Left(cr);
    value.Trim();
    return text.GetLength() - (headerEnd + 4) >= ReadInt(value);
}

void ParseHttpRequest(const CString& text, HttpRequest& request) {
    const bool get = text.Left(3) == "GET";
    request.post = text.Left(4) == "POST";

    const CString line = LineFrom(text, 0);
    const CString target = line.Mid(line.Find('/') + 1); // the whole line when there is no "/"
    request.path = target.Find('?') >= 0 ? UpTo(target, '?') : UpTo(target, ' ');

    if (get) ReadParameters(UpTo(line.Mid(line.Find('?') + 1), ' '), request.parameters);
    else if (request.post) ReadParameters(LastLine(text), request.parameters);

    ReadCookies(text, request);
    if (request.path == "play" && (request.sid.IsEmpty() || request.sid == "-1")) {
        request.sid.Empty();
        request.parameters.Lookup("SID", request.sid);
        request.login = "1";
    }
}

} // namespace zep3::detail

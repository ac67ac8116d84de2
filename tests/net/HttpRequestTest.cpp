// Reading request texts: when a request is complete, its page name, its
// parameters and its cookies, down to the odd corners of the rules; and the
// inputs kept from fuzzing the browser connection.
#include "support/FuzzReplay.h"

#include <zep3/net/detail/HttpRequest.h>
#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <map>

using zep3::detail::HttpRequest;
using zep3::detail::IsHttpRequestComplete;

namespace {

HttpRequest Parse(const char* text) {
    HttpRequest request;
    zep3::detail::ParseHttpRequest(text, request);
    return request;
}

std::string Parameters(const HttpRequest& r) {
    std::map<std::string, std::string> sorted;
    POSITION p = r.parameters.GetStartPosition();
    while (p) {
        CString name, value;
        r.parameters.GetNextAssoc(p, name, value);
        sorted[std::string(name)] = std::string(value);
    }
    std::string all;
    for (const auto& kv : sorted) all += kv.first + "=" + kv.second + ";";
    return all;
}

} // namespace

TEST(HttpRequestText, CompleteAfterTheEmptyLineAndTheAnnouncedBody) {
    EXPECT_FALSE(IsHttpRequestComplete("GET / HTTP/1.1\n\n"));
    EXPECT_TRUE(IsHttpRequestComplete("GET / HTTP/1.1\r\n\r\n"));
    EXPECT_FALSE(IsHttpRequestComplete("POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nabcd"));
    EXPECT_TRUE(IsHttpRequestComplete("POST / HTTP/1.1\r\nCONTENT-length:5\r\n\r\nabcdef"));
    EXPECT_FALSE(IsHttpRequestComplete("POST / HTTP/1.1\r\ncontent-length: \t 12 \r\n\r\n12345678901"));
    EXPECT_TRUE(IsHttpRequestComplete("POST / HTTP/1.1\r\ncontent-length: -3\r\n\r\n"));
    EXPECT_TRUE(IsHttpRequestComplete("POST / HTTP/1.1\r\ncontent-length: x\r\n\r\n")) << "atoi reads 0";
    EXPECT_FALSE(IsHttpRequestComplete("POST / HTTP/1.1\r\ncontent-length: 99999999999999\r\n\r\n"));
    EXPECT_FALSE(IsHttpRequestComplete("GET / HTTP/1.1\r\n\r\ncontent-length: 40")) << "found in the body as well";
}

// How parameters reach a page's inputs is the server tests' part; here, the odd corners.
TEST(HttpRequestText, PageNameAndParametersOfGetAndPost) {
    EXPECT_STREQ(Parse("GET /a/b.js HTTP/1.1\r\n\r\n").path, "a/b.js");
    EXPECT_STREQ(Parse("GET /open\r\n\r\n").path, "open") << "no space: the rest of the line";
    EXPECT_STREQ(Parse("garbage\r\n\r\n").path, "garbage") << "no slash: the whole line, up to a space";
    EXPECT_EQ(Parameters(Parse("GET /p?a=1&b&c=3 HTTP/1.1\r\n\r\n")), "a=1;");
    EXPECT_EQ(Parameters(Parse("GET /p?x=a+b&y=%41&=e&z= HTTP/1.1\r\n\r\n")), "=e;x=a b;y=%41;z=;");
    EXPECT_EQ(Parameters(Parse("POST /p?q=1 HTTP/1.1\r\nContent-Length: 7\r\n\r\nb=2&c=3")), "b=2;c=3;");
    EXPECT_EQ(Parameters(Parse("POST /p HTTP/1.1\r\n\r\n  \r\n b=2")), "b=2;") << "blank lines and spaces skipped";
    EXPECT_EQ(Parameters(Parse("POST /p HTTP/1.1\r\n\r\nb=2\r\n")), "") << "a body that ends its line leaves nothing";
    EXPECT_EQ(Parameters(Parse("PUT /p?a=1 HTTP/1.1\r\n\r\na=2")), "") << "other methods have no parameters";
    EXPECT_FALSE(Parse("post /p HTTP/1.1\r\n\r\n").post);
}

TEST(HttpRequestText, CookiesAndThePlayerSession) {
    const struct {
        const char* request;
        const char *sid, *login;
    } cases[] = {
        {"GET / HTTP/1.1\r\nCookie: SID=5; Login=1\r\n\r\n", "5", "1"},
        {"GET / HTTP/1.1\r\nCookie: =3; foo\r\n\r\n", "", ""},
        // The first cookie line, the last of a name.
        {"GET / HTTP/1.1\r\nCookie:  SID = 7 ;Login=0; SID=8;x=y=z\r\nCookie: SID=9\r\n\r\n", "8", "0"},
        // The player's session in its URL, unless a session cookie is set.
        {"GET /play?SID=12 HTTP/1.1\r\n\r\n", "12", "1"},
        {"GET /play?SID=12 HTTP/1.1\r\nCookie: SID=-1; Login=-1\r\n\r\n", "12", "1"},
        {"GET /play?SID=12 HTTP/1.1\r\nCookie: SID=3; Login=0\r\n\r\n", "3", "0"},
        {"GET /other?SID=12 HTTP/1.1\r\n\r\n", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        const HttpRequest r = Parse(c.request);
        EXPECT_STREQ(r.sid, c.sid);
        EXPECT_STREQ(r.login, c.login);
    }
}

ZEP3_FUZZ_ENTRY(http_request);

TEST(FuzzRegression, HttpRequests) { EXPECT_GT(zep3test::replayFuzzInputs("http_request", zep3fuzz_http_request), 0); }

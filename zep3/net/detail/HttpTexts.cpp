#include <zep3/foundation/Language.h>
#include <zep3/foundation/detail/LibraryResources.h>
#include <zep3/net/detail/HttpTexts.h>

namespace zep3::detail {

const char kHttpResponseHeader[] = "HTTP/1.1 200 OK\r\n"
                                   "Expires: -1\r\n"
                                   "Pragma: No-Cache\r\n"
                                   "Cache-Control: No-Cache\r\n";

CString HttpRedirectLines(bool toRoot) {
    const char* target = toRoot ? "/" : "login";
    CString lines;
    lines.Format("<HTML><HEAD><script type=\"text/javascript\">\r\n"
                 "window.location.href=\"%s\";\r\n"
                 "</script>\r\n"
                 "<noscript>\r\n"
                 "<meta http-equiv=\"refresh\" content=\"0;url=%s\" />\r\n"
                 "</noscript></HEAD></HTML>\r\n",
                 target, target);
    return lines;
}

CString HttpLoginPage(const CString& message, const CString& challenge) {
    return "<HTML>\r\n"
           "<HEAD>\r\n"
           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1250\">\r\n"
           "<STYLE TYPE=\"text/css\">\r\n"
           "BODY { MARGIN: 20px; PADDING: 20px; FONT-SIZE: 13px; FONT-FAMILY: Arial; background:#F0F0F0; }\r\n"
           "TD, INPUT { FONT-SIZE: 13px; FONT-FAMILY: Arial; }\r\n"
           "</STYLE>\r\n"
           "<script type=\"text/javascript\" src=\"sha1.js\"></script>\r\n"
           "<script type=\"text/javascript\">\r\n"
           "function login() {\r\n"
           "var loginForm = document.getElementById(\"loginForm\");\r\n"
           "var submitForm = document.getElementById(\"submitForm\");\r\n"
           "submitForm.username.value = loginForm.username.value;\r\n"
           "submitForm.response.value = hex_sha1(loginForm.challenge.value+loginForm.password.value);\r\n"
           "submitForm.submit();\r\n"
           "}\r\n"
           "</script>\r\n"
           "</HEAD>\r\n"
           "<BODY><CENTER>\r\n"
           "<form id='loginForm' action='#' method='post'>\r\n"
           "<table>\r\n"
           "<tr>\r\n"
           "<td style='color: red; width:300px; text-align:center' colspan=2>" +
           message +
           "<nbsp></td>\r\n"
           "</tr>\r\n"
           "<tr>\r\n"
           "<td>" +
           GetLibResString(IDS_USER_NAME) +
           ":</td>\r\n"
           "<td><input type='text' name='username'/></td>\r\n"
           "</tr>\r\n"
           "<tr>\r\n"
           "<td>" +
           GetLibResString(IDS_PASSWORD) +
           ":</td>\r\n"
           "<td><input type='password' name='password'/></td>\r\n"
           "</tr>\r\n"
           "<tr>\r\n"
           "<td>&nbsp;</td>\r\n"
           "<td>\r\n"
           "<input type='hidden' name='challenge' value='" +
           challenge +
           "'/>\r\n"
           "<input type='button' name='submit' value='OK' onclick='login();' style='width:60px;'/>\r\n"
           "</td>\r\n"
           "</tr>\r\n"
           "</table>\r\n"
           "</form>\r\n"
           "<form id='submitForm' action='login' method='post'>\r\n"
           "<div>\r\n"
           "<input type='hidden' name='username'/>\r\n"
           "<input type='hidden' name='response'/>\r\n"
           "</div>\r\n"
           "</form>\r\n"
           "</CENTER></BODY></HTML>\r\n";
}

} // namespace zep3::detail

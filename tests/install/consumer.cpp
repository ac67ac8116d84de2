// A small application built against the installed library: it touches each
// subsystem once, the way an application would.
#include <zep3/zep3.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) return 9;
    CString text;
    text.Format("%s %i", "zep3", GetZEP3Version());
    CRect r(10, 10, 0, 0);
    r.NormalizeRect();
    if (text != "zep3 10" || r.Width() != 10) return 1;

    // "abc" has the FIPS 180 digest A9993E36...
    if (CHash::SHA1(CString("abc")).Left(8) != "A9993E36") return 2;

    CImageBuffer colour(CSize(5, 3), 24, 0), grey(CSize(1, 1), 8, 0);
    for (int i = 0; i < 5 * 3 * 3; ++i) colour.GetPixelBuffer()[i] = static_cast<BYTE>(3 * (i / 3));
    if (!ConvertImageBuffer(&grey, &colour) || grey.GetPixelBuffer()[4] != 12) return 3;

    std::string ini = std::string(argv[1]) + "/consumer.ini";
    int port = 3;
    {
        CIniFile store(ini.c_str(), true);
        ExchangeObject(&store, 1, "Camera\\Port", &port);
        if (!store.WriteIniFile(false)) return 4;
    }
    port = 0;
    CIniFile again(ini.c_str(), true);
    if (!ExchangeObject(&again, 0, "Camera\\Port", &port) || port != 3) return 5;

    std::printf("consumer: %s, SHA-1, image conversion and INI store work\n", (const char*)text);
    return 0;
}

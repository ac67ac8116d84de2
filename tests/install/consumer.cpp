// A small application built against the installed library.
#include <zep3/zep3.h>

#include <cstdio>

int main() {
    CString text;
    text.Format("%s %i", "zep3", 3);
    CRect r(10, 10, 0, 0);
    r.NormalizeRect();
    if (text != "zep3 3" || r.Width() != 10) return 1;
    std::printf("consumer: %s\n", (const char*)text);
    return 0;
}

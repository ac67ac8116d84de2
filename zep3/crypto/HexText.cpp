#include <zep3/crypto/HexText.h>

CString CHexText::Encrypt(void* data, int length) {
    static const char digits[] = "0123456789ABCDEF";
    CString text;
    if (!data || length <= 0 || length > 0x3FFFFFFF) return text;
    auto bytes = static_cast<const unsigned char*>(data);
    char* out = text.GetBufferSetLength(2 * length);
    for (int i = 0; i < length; ++i) {
        out[2 * i] = digits[bytes[i] >> 4];
        out[2 * i + 1] = digits[bytes[i] & 15];
    }
    return text;
}

bool CHexText::Decrypt(CString text, void* out, int outSize) {
    text.TrimLeft();
    text.TrimRight();
    text.MakeUpper();
    int length = text.GetLength();
    if (length % 2 != 0 || outSize < length / 2) return false;
    if (length > 0 && !out) return false;
    auto digit = [](unsigned char c) { return c <= '9' ? c - 48 : c - 55; };
    auto bytes = static_cast<unsigned char*>(out);
    for (int i = 0; i < length / 2; ++i) {
        int high = digit(static_cast<unsigned char>(text[2 * i]));
        int low = digit(static_cast<unsigned char>(text[2 * i + 1]));
        bytes[i] = static_cast<unsigned char>(16 * high + low);
    }
    return true;
}

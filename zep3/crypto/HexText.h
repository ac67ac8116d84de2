#pragma once
// CHexText: bytes to upper-case hexadecimal text and back.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

class ZEP3_API CHexText {
public:
    // Two upper-case digits per byte, high nibble first.
    static CString Encrypt(void* data, int length);
    // Trims white space and maps to upper case first; false (nothing written)
    // for an odd length or an output smaller than length / 2. Characters
    // outside 0-9/A-F are not rejected: a digit's value is its code minus 48
    // up to '9', else minus 55.
    static bool Decrypt(CString text, void* out, int outSize);
};

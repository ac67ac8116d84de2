#pragma once
/// @class CHexText
/// Bytes to upper-case hexadecimal text and back. Static and
/// stateless: any thread may call it.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

class ZEP3_API CHexText {
public:
    /// Two upper-case digits per byte, high nibble first; empty for null data
    /// or a length below 1.
    static CString Encrypt(void* data, int length);
    /// Trims white space and maps to upper case first; false (nothing written)
    /// for an odd length, an output smaller than length / 2 or a null output.
    /// An empty text succeeds and writes nothing. Characters outside 0-9/A-F
    /// are not rejected: a digit's value is its code minus 48 up to '9', else
    /// minus 55, and each byte keeps the low 8 bits of 16 * high + low.
    static bool Decrypt(CString text, void* out, int outSize);
};

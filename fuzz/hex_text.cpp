// CHexText::Decrypt of any text into an output of a size chosen by the
// input; text made of hex digits comes back from Encrypt unchanged.
#include "FuzzSupport.h"

#include <zep3/zep3.h>

#include <cctype>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 0x10000) return 0;
    const int outSize = data[0];
    const CString text(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));
    // Exactly outSize bytes, so that a write past them is seen.
    std::unique_ptr<unsigned char[]> out(outSize ? new unsigned char[outSize] : nullptr);
    if (!CHexText::Decrypt(text, out.get(), outSize)) return 0;

    CString digits(text);
    digits.TrimLeft();
    digits.TrimRight();
    for (int i = 0; i < digits.GetLength(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(digits[i]))) return 0;
    digits.MakeUpper();
    zep3fuzz::check(CHexText::Encrypt(out.get(), digits.GetLength() / 2) == digits, "hex digits round-trip");
    return 0;
}

// CCryptString::DecryptString of any text under a key from the input;
// a text of hex digits comes back from EncryptString unchanged.
#include "FuzzSupport.h"

#include <zep3/zep3.h>

#include <cctype>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 0x10000) return 0;
    const size_t keyLength = data[0] % 16 < size - 1 ? data[0] % 16 : size - 1;
    const CString key(reinterpret_cast<const char*>(data + 1), static_cast<int>(keyLength));
    const CString text(reinterpret_cast<const char*>(data + 1 + keyLength), static_cast<int>(size - 1 - keyLength));
    const CString plain = CCryptString::DecryptString(text, key);

    CString digits(text);
    digits.TrimLeft();
    digits.TrimRight();
    if (digits.GetLength() % 2 != 0) {
        zep3fuzz::check(plain.IsEmpty(), "an odd count of digits gives nothing");
        return 0;
    }
    for (int i = 0; i < digits.GetLength(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(digits[i]))) return 0;
    digits.MakeUpper();
    zep3fuzz::check(CCryptString::EncryptString(plain, key) == digits, "encrypting the result gives the text back");
    return 0;
}

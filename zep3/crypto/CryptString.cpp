#include <zep3/crypto/CryptString.h>

#include <zep3/crypto/Hash.h>
#include <zep3/crypto/HexText.h>

#include <vector>

CString CCryptString::EncryptString(const CString& text, const CString& key) {
    const CString stream = CHash::SHA1(key);
    std::vector<unsigned char> bytes(size_t(text.GetLength()));
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(text[int(i)] ^ stream[int(i % 40)]);
    return CHexText::Encrypt(bytes.data(), text.GetLength());
}

CString CCryptString::DecryptString(const CString& text, const CString& key) {
    std::vector<unsigned char> bytes(size_t(text.GetLength()));
    if (!CHexText::Decrypt(text, bytes.data(), text.GetLength())) return CString();
    // Decrypt ignores white space at the ends, so the byte count comes from
    // the trimmed text.
    CString digits(text);
    digits.TrimLeft();
    digits.TrimRight();
    const CString stream = CHash::SHA1(key);
    CString result;
    char* out = result.GetBufferSetLength(digits.GetLength() / 2);
    for (int i = 0; i < digits.GetLength() / 2; ++i)
        out[i] = static_cast<char>(bytes[size_t(i)] ^ stream[i % 40]);
    return result;
}

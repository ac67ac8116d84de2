#pragma once
/// @class CCryptString
/// Reversible obfuscation of a text under a key text. The key
/// stream is the text of the key's SHA-1 digest (40 upper-case hex digits,
/// used as character codes and repeated); each text byte is XORed with it and
/// written as two hex digits. Equal keys always give the same stream: this
/// hides a text from the eye, it does not protect it.
///
/// Static and stateless: any thread may call it.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

class ZEP3_API CCryptString {
public:
    /// Twice as many upper-case hex digits as the text has bytes.
    static CString EncryptString(const CString& text, const CString& key);
    /// The text back from EncryptString's output; empty when `text` is not
    /// hex of an even length (white space at either end is ignored).
    static CString DecryptString(const CString& text, const CString& key);
};

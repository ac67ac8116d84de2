#pragma once
/// @class CCryptoRc5
/// The RC5 block cipher with 32-bit words, up to 15 rounds and a
/// 16-byte key (RC5-32/r/16), used as an electronic codebook: each block of two
/// words is enciphered on its own, without chaining or padding.
///
/// Words on this platform: `unsigned long` is 64 bits here, so the
/// `unsigned long` forms take one 32-bit word per element, in its low 32 bits
/// (the high bits are ignored) and store each result zero-extended. Callers
/// that hold their data as bytes use the `DWORD` forms, which read and write
/// consecutive 32-bit words in memory exactly as the 32-bit build did. No byte
/// order conversion is made: a word is taken as the caller holds it.
///
/// A single-owner object without locks; `Encrypt` and `Decrypt` do not change
/// it, so any number of threads may run them once `Setup` has returned.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>
#include <zep3/platform/WinTypes.h>

class ZEP3_API CCryptoRc5 {
public:
    /// 15 rounds and a table of zeros until Setup.
    CCryptoRc5();
    virtual ~CCryptoRc5();

    /// Stores the round count (clamped to 0..15) and, for a non-empty key,
    /// expands the first 16 bytes of the key (zero-padded to 16) into the
    /// round keys. An empty key keeps the previous key and table. Always true.
    bool Setup(const CString& key, int rounds);

    /// `words` must be even and at least 2, else false and nothing is written.
    /// `out` receives the result and may equal `in`.
    bool Encrypt(unsigned long* out, unsigned long* in, int words) const;
    bool Decrypt(unsigned long* out, unsigned long* in, int words) const;
    bool Encrypt(DWORD* out, DWORD* in, int words) const;
    bool Decrypt(DWORD* out, DWORD* in, int words) const;

    /// The stored key up to its first zero byte, at most 16 characters.
    CString GetKey();

protected:
    /// One block of two words; `out` may equal `in`.
    void Encrypt8(DWORD* out, const DWORD* in) const;
    void Decrypt8(DWORD* out, const DWORD* in) const;
    /// Rotation by the low five bits of `count`.
    static DWORD RotL(DWORD value, DWORD count);
    static DWORD RotR(DWORD value, DWORD count);

    int m_nRounds;
    DWORD m_S[32]; ///< expanded key table, 2 * rounds + 2 words in use
    unsigned char m_Key[16];
};

#pragma once
/// @class CRC4
/// The RC4 stream cipher. Enciphering and deciphering are the same
/// operation; the key stream continues across calls to Crypt.
///
/// A single-owner object without locks; the static forms use a cipher of their
/// own and may run on any thread.
#include <zep3/platform/Export.h>

class ZEP3_API CRC4 {
public:
    CRC4();

    /// Runs the key schedule and starts the stream. A null key or a length
    /// below 1 leaves the cipher as it was.
    void Init(const unsigned char* key, int keyLength);
    /// XORs `length` bytes in place with the next bytes of the stream. False
    /// (data untouched) before Init or for null data; true for a length below 1.
    bool Crypt(unsigned char* data, int length);

    /// A fresh cipher under `key`, applied to `length` bytes in place.
    static void Crypt(unsigned char* data, int length, const unsigned char* key, int keyLength);
    /// The same with the key's bytes up to its terminating zero.
    static void Crypt(unsigned char* data, int length, const char* key);

private:
    unsigned char m_State[256]; // the permutation
    unsigned char m_Key[256];   // the key repeated over 256 bytes
    int m_I;
    int m_J;
    int m_bInit;
};

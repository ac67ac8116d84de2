#pragma once
/// @class CHash
/// SHA-1, incremental and one-shot, with the 40-digit upper-case hex form
/// that the web login compares.
///
/// A single-owner object: one thread at a time per instance; the static forms
/// may run on any thread. The block function uses the processor's SHA
/// instructions where it has them (chosen once per process; setting the
/// environment variable ZEP3_NO_SHA_NI to anything but "0" forces the portable
/// code) and portable code elsewhere.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

#include <cstddef>
#include <cstdint>

class ZEP3_API CHash {
public:
    /// The running digest: message length in bytes as two 32-bit words (low,
    /// high), the five chaining words and the bytes of an unfinished block.
    struct CSHA1_context {
        uint32_t total[2];
        uint32_t state[5];
        unsigned char buffer[64];
    };

    /// Starts a digest at once.
    CHash();
    virtual ~CHash();

    /// Starts a new digest, dropping the current one.
    void SHA1Init();
    /// Adds `length` bytes; a null pointer or a length below 1 adds nothing.
    void SHA1Update(void* data, int length);
    /// Finishes the digest into `digest`. Call SHA1Init before reusing the object.
    void SHA1GetSum(unsigned char (&digest)[20]);

    /// Digest of one block of `length` bytes (none when null or below 1).
    static void SHA1(unsigned char (&digest)[20], void* data, int length);
    /// Digest of the text's bytes as 40 upper-case hex digits, first byte first.
    static CString SHA1(const CString& text);

private:
    static void SHA1_starts(CSHA1_context* ctx);
    static void SHA1_update(CSHA1_context* ctx, const unsigned char* input, size_t length);
    static void SHA1_process(CSHA1_context* ctx, const unsigned char block[64]);
    static void SHA1_finish(CSHA1_context* ctx, unsigned char digest[20]);

    CSHA1_context m_Context;
};

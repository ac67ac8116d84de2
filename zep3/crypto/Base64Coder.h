#pragma once
/// @class Base64Coder
/// Base64 with the standard alphabet and "=" padding, no line
/// breaks, into buffers of its own that grow and are reused between calls.
///
/// The coder is a single-owner object: one thread at a time may use an
/// instance. Any number of instances may decode at once on different threads;
/// the class-wide decode table is complete when the library has loaded.
///
/// Decoding never fails: white space (codes 7 to 13 and the space) is dropped,
/// and any other character that is not in the alphabet still takes part in the
/// arithmetic (a character with the top bit set counts as the same character
/// without it), so bad text gives unspecified bytes, never an error.
///
/// A subclass may replace the per-group steps (`_EncodeRaw`, `_EncodeToBuffer`,
/// `_DecodeRaw`, `_DecodeToBuffer`, `_IsBadMimeChar`); `Encode` and `Decode`
/// then call them for every group. The base class runs the same steps inline
/// over the whole buffer.
///
/// `unsigned long` counts are 64-bit on this platform; the buffers' capacities
/// and counts stay 32-bit, so a request beyond 4 GiB leaves an empty result.
#include <zep3/platform/Export.h>

#include <cstdint>

class ZEP3_API Base64Coder {
public:
    /// One group between the steps of the coder: three data bytes or four
    /// sextets in nData, with the number of data bytes it carries in nSize.
    class ZEP3_API TempBucket {
    public:
        unsigned char nData[4];
        unsigned char nSize;
        void Clear() { nData[0] = nData[1] = nData[2] = nData[3] = nSize = 0; }
    };

    Base64Coder();
    /// Each copy owns separate buffers with the same contents.
    Base64Coder(const Base64Coder& other);
    Base64Coder& operator=(const Base64Coder& other);
    virtual ~Base64Coder();

    /// Encodes strlen(text) bytes; a null pointer does nothing.
    virtual void Encode(const char* text);
    /// Encodes `size` bytes; the input is also kept as the decoded message.
    /// A null pointer counts as no bytes.
    virtual void Encode(unsigned char* const data, unsigned long size);
    /// Decodes strlen(text) characters; a null pointer does nothing.
    virtual void Decode(const char* text);
    /// Decodes `size` characters; the filtered text is kept as the encoded message.
    virtual void Decode(unsigned char* const text, unsigned long size);

    /// The decoded bytes followed by zeros; "" before the first use. Valid until
    /// the next call that grows that buffer or the coder's destruction.
    virtual const char* DecodedMessage() const;
    /// The encoded text, zero-terminated; "" before the first use. Same lifetime.
    virtual const char* EncodedMessage() const;

    /// Make the buffer at least n bytes (growing to the next multiple of 4096
    /// strictly above n, never shrinking), zero all of it and reset its count.
    /// When n cannot be had the buffer is released and stays empty.
    virtual void AllocEncode(unsigned long n);
    virtual void AllocDecode(unsigned long n);
    /// Load encoded text, dropping the characters `_IsBadMimeChar` rejects.
    virtual void SetEncodeBuffer(unsigned char* const text, unsigned long size);
    /// Load raw bytes as they are.
    virtual void SetDecodeBuffer(unsigned char* const data, unsigned long size);

protected:
    /// Writes the four alphabet characters of a sextet group, "=" in place of
    /// the sextets beyond nSize + 1.
    virtual void _EncodeToBuffer(const TempBucket& sextets, unsigned char* out);
    /// Writes the three bytes of a group and returns how many the data count grows by.
    virtual unsigned long _DecodeToBuffer(const TempBucket& bytes, unsigned char* out);
    /// Three bytes (nSize of them meaningful) to four sextets.
    virtual void _EncodeRaw(TempBucket& sextets, const TempBucket& bytes);
    /// Four decode-table values (nSize of them present) to three bytes.
    virtual void _DecodeRaw(TempBucket& bytes, const TempBucket& values);
    /// True for the white space that decoding drops: codes 7 to 13 and 32.
    virtual int _IsBadMimeChar(unsigned char c);

    /// Builds the class-wide decode table: 254 for characters outside the
    /// alphabet, 255 for "=", the sextet value for the alphabet with and
    /// without the top bit. Runs while the library loads.
    static void _Init();

    unsigned char* m_pDBuffer; ///< decoded data, owned
    unsigned char* m_pEBuffer; ///< encoded text, owned
    uint32_t m_nDBufLen;       ///< capacities in bytes
    uint32_t m_nEBufLen;
    uint32_t m_nDDataLen; ///< bytes of data or text in each
    uint32_t m_nEDataLen;

    static unsigned char m_DecodeTable[256];
    static int m_Init;

private:
    void EncodeSteps(const unsigned char* data, uint32_t size);
    void DecodeSteps(const unsigned char* text, uint32_t size);
    bool UsesOwnSteps() const;
};

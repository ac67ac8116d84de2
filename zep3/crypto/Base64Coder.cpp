#include <zep3/crypto/Base64Coder.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <typeinfo>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kNotInAlphabet = 254;
constexpr unsigned char kPadding = 255;
const char* const kEmpty = "";

// Buffers keep 32-bit capacities: the largest request whose rounded size fits.
const unsigned long kMaxRequest = 0xFFFFEFFFul;

// Two alphabet characters for each 12-bit value, first character in the low byte.
constexpr std::array<uint16_t, 4096> MakePairTable() {
    std::array<uint16_t, 4096> t{};
    for (int v = 0; v < 4096; ++v)
        t[v] = static_cast<uint16_t>(static_cast<unsigned char>(kAlphabet[v >> 6]) |
                                     static_cast<unsigned char>(kAlphabet[v & 63]) << 8);
    return t;
}
constexpr std::array<uint16_t, 4096> kPairs = MakePairTable();

// The decode table's values, masked to six bits and shifted to their place in a
// little-endian three-byte group, one table per position in the group of four.
// In a whole group, padding counts as 0 in the third and fourth positions and
// as 63 in the first two; in a short last group it counts as 0 everywhere.
struct DecodeTables {
    uint32_t pos[4][256];
};

// The class table's entry: the alphabet position of a character with or
// without its top bit, 255 for "=", 254 for anything else.
constexpr unsigned char TableValue(int c) {
    for (int p = 0; p < 64; ++p)
        if ((c & 127) == kAlphabet[p]) return static_cast<unsigned char>(p);
    return (c & 127) == '=' ? kPadding : kNotInAlphabet;
}

constexpr DecodeTables MakeDecodeTables() {
    DecodeTables t{};
    for (int c = 0; c < 256; ++c) {
        uint32_t v = TableValue(c);
        uint32_t s01 = v & 63;
        uint32_t s23 = v == kPadding ? 0 : v & 63;
        t.pos[0][c] = s01 << 2;
        t.pos[1][c] = (s01 >> 4) | (s01 & 15) << 12;
        t.pos[2][c] = (s23 >> 2) << 8 | (s23 & 3) << 22;
        t.pos[3][c] = s23 << 16;
    }
    return t;
}
constexpr DecodeTables kDecode = MakeDecodeTables();

// White space dropped from encoded text: codes 7 to 13 and the space.
inline bool IsMimeSpace(unsigned char c) { return (c >= 7 && c <= 13) || c == 32; }

inline void Store32(unsigned char* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void Store64(unsigned char* p, uint64_t v) { std::memcpy(p, &v, 8); }
inline uint64_t LoadBigEndian64(const unsigned char* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
}

// Encodes whole groups and the padded tail; returns the number of characters.
uint32_t EncodeFast(const unsigned char* in, uint32_t size, unsigned char* out) {
    const unsigned char* const start = out;
    // Six bytes to eight characters per step, read as one 64-bit word.
    while (size >= 8) {
        uint64_t v = LoadBigEndian64(in);
        Store64(out, uint64_t(kPairs[v >> 52]) | uint64_t(kPairs[(v >> 40) & 0xFFF]) << 16 |
                         uint64_t(kPairs[(v >> 28) & 0xFFF]) << 32 |
                         uint64_t(kPairs[(v >> 16) & 0xFFF]) << 48);
        in += 6;
        out += 8;
        size -= 6;
    }
    while (size >= 3) {
        uint32_t v = uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
        uint32_t chars = kPairs[v >> 12] | uint32_t(kPairs[v & 0xFFF]) << 16;
        Store32(out, chars);
        in += 3;
        out += 4;
        size -= 3;
    }
    if (size > 0) {
        uint32_t v = uint32_t(in[0]) << 16 | (size == 2 ? uint32_t(in[1]) << 8 : 0);
        out[0] = kAlphabet[v >> 18];
        out[1] = kAlphabet[(v >> 12) & 63];
        out[2] = size == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out[3] = '=';
        out += 4;
    }
    return static_cast<uint32_t>(out - start);
}

// Decodes filtered text; returns the growth of the data count. Each group is
// stored as four bytes (the fourth is zero), so `out` needs one spare byte.
uint32_t DecodeFast(const unsigned char* in, uint32_t size, unsigned char* out) {
    const auto& t = kDecode.pos;
    uint32_t produced = 0;
    for (; size >= 4; size -= 4, in += 4, out += 3, produced += 3)
        Store32(out, t[0][in[0]] | t[1][in[1]] | t[2][in[2]] | t[3][in[3]]);
    if (size > 0) {
        auto value = [&](int k) { return (in[k] & 127) == '=' ? 0u : t[k][in[k]]; };
        uint32_t v = value(0);
        if (size > 1) v |= value(1);
        if (size > 2) v |= value(2);
        Store32(out, v);
        produced += size;
    }
    return produced;
}

// Copies text without white space; returns the number of characters kept.
uint32_t FilterFast(const unsigned char* in, uint32_t size, unsigned char* out) {
    uint32_t kept = 0, i = 0;
#if defined(__SSE2__)
    // Most text has no white space, or only a line break every 64 or 76
    // characters: copy clean 16-byte runs whole.
    const __m128i seven = _mm_set1_epi8(7), six = _mm_set1_epi8(6), space = _mm_set1_epi8(32);
    for (; i + 16 <= size; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        __m128i shifted = _mm_sub_epi8(x, seven);
        __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(shifted, six), shifted);
        int white = _mm_movemask_epi8(_mm_or_si128(control, _mm_cmpeq_epi8(x, space)));
        if (white == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + kept), x);
            kept += 16;
        } else {
            for (uint32_t k = i; k < i + 16; ++k) {
                out[kept] = in[k];
                kept += !IsMimeSpace(in[k]);
            }
        }
    }
#endif
    for (; i < size; ++i) {
        out[kept] = in[i];
        kept += !IsMimeSpace(in[i]);
    }
    return kept;
}

// Reserves a buffer of the growth rule's size; keeps the old one when it is
// already larger than n, so that a terminating zero always fits.
void AllocBuffer(unsigned char*& buffer, uint32_t& capacity, uint32_t& count, unsigned long n) {
    if (n > kMaxRequest || (n > 0 && n >= capacity)) {
        std::free(buffer);
        buffer = nullptr;
        capacity = 0;
        if (n <= kMaxRequest) {
            uint32_t size = static_cast<uint32_t>((n / 4096 + 1) * 4096);
            buffer = static_cast<unsigned char*>(std::malloc(size));
            if (buffer) capacity = size;
        }
    }
    if (buffer) std::memset(buffer, 0, capacity);
    count = 0;
}

void CopyBuffer(unsigned char*& buffer, uint32_t& capacity, uint32_t& count, const unsigned char* from,
                uint32_t fromCapacity, uint32_t fromCount) {
    std::free(buffer);
    buffer = fromCapacity ? static_cast<unsigned char*>(std::malloc(fromCapacity)) : nullptr;
    capacity = buffer ? fromCapacity : 0;
    count = buffer ? fromCount : 0;
    if (buffer) std::memcpy(buffer, from, capacity);
}

bool Overlaps(const unsigned char* p, const unsigned char* buffer, uint32_t capacity) {
    return buffer && p >= buffer && p < buffer + capacity;
}

// A private copy of input that lies inside a buffer about to be reset.
struct InputCopy {
    unsigned char* data = nullptr;
    ~InputCopy() { std::free(data); }
    const unsigned char* Take(const unsigned char* p, unsigned long size) {
        data = static_cast<unsigned char*>(std::malloc(size ? size : 1));
        if (data) std::memcpy(data, p, size);
        return data;
    }
};

} // namespace

unsigned char Base64Coder::m_DecodeTable[256];
int Base64Coder::m_Init = 0;

namespace {
// Builds the decode table while the library loads, before any application
// thread can decode.
struct TableBuilder : Base64Coder {
    static bool Run() {
        _Init();
        return true;
    }
};
[[maybe_unused]] const bool tableBuilt = TableBuilder::Run();
} // namespace

void Base64Coder::_Init() {
    for (int c = 0; c < 256; ++c) m_DecodeTable[c] = TableValue(c);
    m_Init = 1;
}

Base64Coder::Base64Coder()
    : m_pDBuffer(nullptr), m_pEBuffer(nullptr), m_nDBufLen(0), m_nEBufLen(0), m_nDDataLen(0), m_nEDataLen(0) {
}

Base64Coder::Base64Coder(const Base64Coder& other) : Base64Coder() { *this = other; }

Base64Coder& Base64Coder::operator=(const Base64Coder& other) {
    if (this != &other) {
        CopyBuffer(m_pDBuffer, m_nDBufLen, m_nDDataLen, other.m_pDBuffer, other.m_nDBufLen,
                   other.m_nDDataLen);
        CopyBuffer(m_pEBuffer, m_nEBufLen, m_nEDataLen, other.m_pEBuffer, other.m_nEBufLen,
                   other.m_nEDataLen);
    }
    return *this;
}

Base64Coder::~Base64Coder() {
    std::free(m_pDBuffer);
    std::free(m_pEBuffer);
}

bool Base64Coder::UsesOwnSteps() const { return typeid(*this) == typeid(Base64Coder); }

void Base64Coder::Encode(const char* text) {
    if (text) Encode(reinterpret_cast<unsigned char*>(const_cast<char*>(text)), std::strlen(text));
}

void Base64Coder::Encode(unsigned char* const data, unsigned long size) {
    if (!data) size = 0;
    SetDecodeBuffer(data, size);
    AllocEncode(2 * size);
    // The input now lives in the decoded-data buffer, which stays put while
    // the encoded-text buffer is reset, even when the caller passed one of ours.
    uint32_t n = m_pDBuffer ? m_nDDataLen : 0;
    if (!m_pEBuffer || (uint64_t(n) + 2) / 3 * 4 >= m_nEBufLen) return;
    if (UsesOwnSteps())
        m_nEDataLen = EncodeFast(m_pDBuffer, n, m_pEBuffer);
    else
        EncodeSteps(m_pDBuffer, n);
}

void Base64Coder::Decode(const char* text) {
    if (text) Decode(reinterpret_cast<unsigned char*>(const_cast<char*>(text)), std::strlen(text));
}

void Base64Coder::Decode(unsigned char* const text, unsigned long size) {
    if (!m_Init) _Init();
    if (!text) size = 0;
    SetEncodeBuffer(text, size);
    AllocDecode(size);
    uint32_t n = m_pEBuffer ? m_nEDataLen : 0;
    // Three bytes per started group and the spare byte of the fast stores.
    if (!m_pDBuffer || (uint64_t(n) + 3) / 4 * 3 >= m_nDBufLen) return;
    if (UsesOwnSteps())
        m_nDDataLen = DecodeFast(m_pEBuffer, n, m_pDBuffer);
    else
        DecodeSteps(m_pEBuffer, n);
}

void Base64Coder::EncodeSteps(const unsigned char* data, uint32_t size) {
    TempBucket raw, sextets;
    for (uint32_t i = 0; i < size; i += 3) {
        raw.Clear();
        raw.nSize = static_cast<unsigned char>(size - i < 3 ? size - i : 3);
        std::memcpy(raw.nData, data + i, raw.nSize);
        _EncodeRaw(sextets, raw);
        _EncodeToBuffer(sextets, m_pEBuffer + m_nEDataLen);
        m_nEDataLen += 4;
    }
}

void Base64Coder::DecodeSteps(const unsigned char* text, uint32_t size) {
    TempBucket values, bytes;
    for (uint32_t i = 0; i < size; i += 4) {
        values.Clear();
        values.nSize = static_cast<unsigned char>(size - i < 4 ? size - i : 4);
        for (int k = 0; k < values.nSize; ++k) {
            unsigned char v = m_DecodeTable[text[i + k]];
            values.nData[k] = ((k >= 2 || values.nSize < 4) && v == kPadding) ? 0 : v;
        }
        _DecodeRaw(bytes, values);
        m_nDDataLen += static_cast<uint32_t>(_DecodeToBuffer(bytes, m_pDBuffer + m_nDDataLen));
    }
}

const char* Base64Coder::DecodedMessage() const {
    return m_pDBuffer ? reinterpret_cast<const char*>(m_pDBuffer) : kEmpty;
}

const char* Base64Coder::EncodedMessage() const {
    return m_pEBuffer ? reinterpret_cast<const char*>(m_pEBuffer) : kEmpty;
}

void Base64Coder::AllocEncode(unsigned long n) { AllocBuffer(m_pEBuffer, m_nEBufLen, m_nEDataLen, n); }

void Base64Coder::AllocDecode(unsigned long n) { AllocBuffer(m_pDBuffer, m_nDBufLen, m_nDDataLen, n); }

void Base64Coder::SetEncodeBuffer(unsigned char* const text, unsigned long size) {
    const unsigned char* from = text ? text : reinterpret_cast<const unsigned char*>(kEmpty);
    if (!text) size = 0;
    InputCopy copy;
    if (size && Overlaps(from, m_pEBuffer, m_nEBufLen) && !(from = copy.Take(from, size))) size = 0;
    AllocEncode(size);
    if (!m_pEBuffer) return;
    if (UsesOwnSteps()) {
        m_nEDataLen = FilterFast(from, static_cast<uint32_t>(size), m_pEBuffer);
        // The filter may leave dropped characters past the kept ones.
        std::memset(m_pEBuffer + m_nEDataLen, 0, size - m_nEDataLen);
        return;
    }
    for (unsigned long i = 0; i < size; ++i)
        if (!_IsBadMimeChar(from[i])) m_pEBuffer[m_nEDataLen++] = from[i];
}

void Base64Coder::SetDecodeBuffer(unsigned char* const data, unsigned long size) {
    const unsigned char* from = data;
    if (!data) size = 0;
    InputCopy copy;
    if (size && Overlaps(from, m_pDBuffer, m_nDBufLen) && !(from = copy.Take(from, size))) size = 0;
    AllocDecode(size);
    if (!m_pDBuffer || size == 0) return;
    std::memcpy(m_pDBuffer, from, size);
    m_nDDataLen = static_cast<uint32_t>(size);
}

void Base64Coder::_EncodeToBuffer(const TempBucket& sextets, unsigned char* out) {
    for (int k = 0; k < 4; ++k) out[k] = k <= sextets.nSize ? kAlphabet[sextets.nData[k] & 63] : '=';
}

unsigned long Base64Coder::_DecodeToBuffer(const TempBucket& bytes, unsigned char* out) {
    std::memcpy(out, bytes.nData, 3);
    return bytes.nSize;
}

void Base64Coder::_EncodeRaw(TempBucket& sextets, const TempBucket& bytes) {
    const unsigned char* b = bytes.nData;
    sextets.nData[0] = b[0] >> 2;
    sextets.nData[1] = static_cast<unsigned char>((b[0] & 3) << 4 | b[1] >> 4);
    sextets.nData[2] = static_cast<unsigned char>((b[1] & 15) << 2 | b[2] >> 6);
    sextets.nData[3] = b[2] & 63;
    sextets.nSize = bytes.nSize;
}

void Base64Coder::_DecodeRaw(TempBucket& bytes, const TempBucket& values) {
    const unsigned char* v = values.nData;
    bytes.nData[0] = static_cast<unsigned char>(v[0] * 4 + ((v[1] >> 4) & 3));
    bytes.nData[1] = static_cast<unsigned char>((v[1] & 15) * 16 + ((v[2] >> 2) & 15));
    bytes.nData[2] = static_cast<unsigned char>((v[2] & 3) * 64 + (v[3] & 63));
    bytes.nData[3] = 0;
    bytes.nSize = static_cast<unsigned char>(values.nSize < 3 ? values.nSize : 3);
}

int Base64Coder::_IsBadMimeChar(unsigned char c) { return IsMimeSpace(c); }

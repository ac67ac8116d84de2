#include <zep3/platform/CodePage.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <iconv.h>
#include <memory>
#include <string>
#include <mutex>

namespace {

// Windows-1250, bytes 0x80 to 0xFF; 0 marks the five undefined bytes.
const char16_t kCp1250[128] = {
    0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021, 0x0000, 0x2030, 0x0160, 0x2039, 0x015A,
    0x0164, 0x017D, 0x0179, 0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0000, 0x2122,
    0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154,
    0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
    0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
    0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

// The upper half of the code page in force, built once per change.
struct Table {
    UINT codePage = 1250;
    std::array<char32_t, 128> upper{};
};

std::mutex g_lock;
std::shared_ptr<const Table> g_table;

std::shared_ptr<const Table> Make1250() {
    auto t = std::make_shared<Table>();
    for (int i = 0; i < 128; ++i) t->upper[i] = kCp1250[i] ? kCp1250[i] : char32_t(0x80 + i);
    return t;
}

// Decodes bytes 0x80..0xFF one by one through iconv; null when iconv lacks the code page.
std::shared_ptr<const Table> MakeWithIconv(UINT codePage) {
    const std::string name = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-32LE", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    auto t = std::make_shared<Table>();
    t->codePage = codePage;
    for (int i = 0; i < 128; ++i) {
        char in = char(0x80 + i);
        unsigned char out[4] = {};
        char* pin = &in;
        char* pout = reinterpret_cast<char*>(out);
        size_t inLeft = 1, outLeft = 4;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const bool ok = iconv(cd, &pin, &inLeft, &pout, &outLeft) != size_t(-1) && outLeft == 0;
        t->upper[i] = ok ? char32_t(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24) : char32_t(0x80 + i);
    }
    iconv_close(cd);
    return t;
}

std::shared_ptr<const Table> Current() {
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_table) {
        const char* env = std::getenv("ZEP3_CODEPAGE");
        const UINT cp = env ? UINT(std::strtoul(env, nullptr, 10)) : 1250;
        if (cp != 1250 && cp != 0) g_table = MakeWithIconv(cp);
        if (!g_table) g_table = Make1250();
    }
    return g_table;
}

}  // namespace

UINT GetACP() { return Current()->codePage; }

bool SetACP(UINT codePage) {
    std::shared_ptr<const Table> t = codePage == 1250 ? Make1250() : MakeWithIconv(codePage);
    if (!t) return false;
    std::lock_guard<std::mutex> lock(g_lock);
    g_table = t;
    return true;
}

std::u32string DecodeACP(const char* text, int length) {
    std::u32string out;
    if (!text || length <= 0) return out;
    const std::shared_ptr<const Table> t = Current();
    out.resize(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        out[i] = b < 0x80 ? char32_t(b) : t->upper[b - 0x80];
    }
    return out;
}

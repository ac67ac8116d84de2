// SHA-1, RC4 and Base64 against OpenSSL, and the block CRC-16 against a plain
// one-table loop, all measured in the same run (CPU time).
#include <zep3/zep3.h>

#include "support/BenchSupport.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> randomBytes(size_t n) {
    std::mt19937 rng(11);
    std::vector<unsigned char> v(n);
    for (auto& b : v) b = static_cast<unsigned char>(rng());
    return v;
}

void setBytes(benchmark::State& state, size_t n) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n));
}

void sha1Zep3(benchmark::State& state, size_t n) {
    auto data = randomBytes(n);
    unsigned char digest[20];
    for (auto _ : state) {
        CHash::SHA1(digest, data.data(), static_cast<int>(n));
        benchmark::DoNotOptimize(digest);
    }
    setBytes(state, n);
}

void sha1OpenSsl(benchmark::State& state, size_t n) {
    auto data = randomBytes(n);
    EVP_MD* md = EVP_MD_fetch(nullptr, "SHA1", nullptr);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    unsigned char digest[20];
    for (auto _ : state) {
        EVP_DigestInit_ex(ctx, md, nullptr);
        EVP_DigestUpdate(ctx, data.data(), n);
        EVP_DigestFinal_ex(ctx, digest, nullptr);
        benchmark::DoNotOptimize(digest);
    }
    EVP_MD_CTX_free(ctx);
    EVP_MD_free(md);
    setBytes(state, n);
}

void rc4Zep3(benchmark::State& state, size_t n) {
    auto data = randomBytes(n), key = randomBytes(16);
    CRC4 cipher;
    cipher.Init(key.data(), 16);
    for (auto _ : state) {
        cipher.Crypt(data.data(), static_cast<int>(n));
        benchmark::ClobberMemory();
    }
    setBytes(state, n);
}

void rc4OpenSsl(benchmark::State& state, size_t n) {
    auto data = randomBytes(n), key = randomBytes(16);
    EVP_CIPHER* rc4 = EVP_CIPHER_fetch(nullptr, "RC4", nullptr);
    if (!rc4) {
        state.SkipWithError("OpenSSL's legacy provider (RC4) is missing");
        return;
    }
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex2(ctx, rc4, key.data(), nullptr, nullptr);
    int written = 0;
    for (auto _ : state) {
        EVP_EncryptUpdate(ctx, data.data(), &written, data.data(), static_cast<int>(n));
        benchmark::ClobberMemory();
    }
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(rc4);
    setBytes(state, n);
}

void base64EncodeZep3(benchmark::State& state, size_t n) {
    auto data = randomBytes(n);
    Base64Coder coder;
    for (auto _ : state) {
        coder.Encode(data.data(), n);
        benchmark::DoNotOptimize(coder.EncodedMessage());
    }
    setBytes(state, n);
}

void base64EncodeOpenSsl(benchmark::State& state, size_t n) {
    auto data = randomBytes(n);
    std::vector<unsigned char> text(n / 3 * 4 + 5);
    for (auto _ : state) {
        EVP_EncodeBlock(text.data(), data.data(), static_cast<int>(n));
        benchmark::ClobberMemory();
    }
    setBytes(state, n);
}

std::vector<unsigned char> base64Text(size_t n) {
    auto data = randomBytes(n);
    std::vector<unsigned char> text(n / 3 * 4 + 5);
    text.resize(size_t(EVP_EncodeBlock(text.data(), data.data(), static_cast<int>(n))));
    return text;
}

void base64DecodeZep3(benchmark::State& state, size_t n) {
    auto text = base64Text(n);
    Base64Coder coder;
    for (auto _ : state) {
        coder.Decode(text.data(), text.size());
        benchmark::DoNotOptimize(coder.DecodedMessage());
    }
    setBytes(state, text.size());
}

void base64DecodeOpenSsl(benchmark::State& state, size_t n) {
    auto text = base64Text(n);
    std::vector<unsigned char> data(n + 3);
    for (auto _ : state) {
        EVP_DecodeBlock(data.data(), text.data(), static_cast<int>(text.size()));
        benchmark::ClobberMemory();
    }
    setBytes(state, text.size());
}

void crcZep3(benchmark::State& state, size_t n) {
    auto data = randomBytes(n);
    for (auto _ : state) benchmark::DoNotOptimize(UpdateCRC(0xFFFF, data.data(), n));
    setBytes(state, n);
}

// The plain byte-at-a-time table loop that the sliced form is measured against.
int oneTableCrc(int crc, const unsigned char* p, size_t n) {
    static const auto table = [] {
        std::vector<uint16_t> t(256);
        for (int b = 0; b < 256; ++b) t[size_t(b)] = static_cast<uint16_t>(UpdateCRC(0, b));
        return t;
    }();
    unsigned c = static_cast<unsigned>(crc) & 0xFFFF;
    for (size_t i = 0; i < n; ++i) c = (c >> 8) ^ table[(c ^ p[i]) & 0xFF];
    return static_cast<int>(c);
}

void crcOneTable(benchmark::State& state, size_t n) {
    auto data = randomBytes(n);
    for (auto _ : state) benchmark::DoNotOptimize(oneTableCrc(0xFFFF, data.data(), n));
    setBytes(state, n);
}

} // namespace

int main(int argc, char** argv) {
    OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER* base = OSSL_PROVIDER_load(nullptr, "default");
    using Body = void (*)(benchmark::State&, size_t);
    auto pair = [](const char* what, size_t bytes, Body ours, const char* peer, Body theirs) {
        const std::string size =
            bytes >= (1u << 20) ? std::to_string(bytes >> 20) + " MiB" : std::to_string(bytes >> 10) + " KiB";
        return benchsupport::Pair{std::string(what) + " " + size,
                                  [=](benchmark::State& s) { ours(s, bytes); }, peer,
                                  [=](benchmark::State& s) { theirs(s, bytes); }};
    };
    benchsupport::RunPairs(
        argc, argv,
        {pair("SHA-1", 1024, sha1Zep3, "OpenSSL EVP SHA-1", sha1OpenSsl),
         pair("SHA-1", 65536, sha1Zep3, "OpenSSL EVP SHA-1", sha1OpenSsl),
         pair("RC4", 65536, rc4Zep3, "OpenSSL EVP RC4 (legacy provider)", rc4OpenSsl),
         pair("Base64 encode", 65536, base64EncodeZep3, "EVP_EncodeBlock", base64EncodeOpenSsl),
         pair("Base64 decode", 65536, base64DecodeZep3, "EVP_DecodeBlock", base64DecodeOpenSsl),
         pair("CRC-16 block form", 64 << 20, crcZep3, "one-table byte loop", crcOneTable)});
    OSSL_PROVIDER_unload(base);
    OSSL_PROVIDER_unload(legacy);
    return 0;
}

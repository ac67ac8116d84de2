// Texts that once broke a decoder, replayed through the fuzz targets.
#include "support/FuzzReplay.h"

ZEP3_FUZZ_ENTRY(base64);
ZEP3_FUZZ_ENTRY(hex_text);
ZEP3_FUZZ_ENTRY(crypt_string);

TEST(FuzzRegression, Texts) {
    zep3test::replayFuzzInputs("base64", zep3fuzz_base64);
    zep3test::replayFuzzInputs("hex_text", zep3fuzz_hex_text);
    zep3test::replayFuzzInputs("crypt_string", zep3fuzz_crypt_string);
}

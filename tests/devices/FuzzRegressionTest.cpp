// Byte streams that once troubled the caller-identity decoder, replayed
// through the fuzz target.
#include "support/FuzzReplay.h"

ZEP3_FUZZ_ENTRY(fsk_message);

TEST(FuzzRegression, FSKStreams) { EXPECT_GT(zep3test::replayFuzzInputs("fsk_message", zep3fuzz_fsk_message), 0); }

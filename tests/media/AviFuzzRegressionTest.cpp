// AVI files that once troubled the reader, replayed through its fuzz target.
#include "support/FuzzReplay.h"

ZEP3_FUZZ_ENTRY(avi_reader);

TEST(AviFuzzRegression, KeptInputs) { EXPECT_GT(zep3test::replayFuzzInputs("avi_reader", zep3fuzz_avi_reader), 0); }

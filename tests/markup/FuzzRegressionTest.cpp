// Documents that once broke the parser or the edits, and the fuzzing seeds,
// replayed through the fuzz target.
#include "support/FuzzReplay.h"

ZEP3_FUZZ_ENTRY(markup);

TEST(FuzzRegression, Markup) { EXPECT_GT(zep3test::replayFuzzInputs("markup", zep3fuzz_markup), 0); }

// Wave files that once broke a reader, replayed through the fuzz target.
#include "support/FuzzReplay.h"

ZEP3_FUZZ_ENTRY(wave_file);

TEST(FuzzRegression, WaveFiles) { zep3test::replayFuzzInputs("wave_file", zep3fuzz_wave_file); }

// Settings and log files that once broke a reader, replayed through the fuzz targets.
#include "support/FuzzReplay.h"

ZEP3_FUZZ_ENTRY(ini_file);
ZEP3_FUZZ_ENTRY(log_file);

TEST(FuzzRegression, SettingsFiles) { zep3test::replayFuzzInputs("ini_file", zep3fuzz_ini_file); }

TEST(FuzzRegression, LogFiles) { zep3test::replayFuzzInputs("log_file", zep3fuzz_log_file); }

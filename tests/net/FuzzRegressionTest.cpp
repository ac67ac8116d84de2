// Byte streams that once troubled the packet receiver, replayed through the
// fuzz target.
#include "support/FuzzReplay.h"

ZEP3_FUZZ_ENTRY(packet_stream);

TEST(FuzzRegression, PacketStreams) { EXPECT_GT(zep3test::replayFuzzInputs("packet_stream", zep3fuzz_packet_stream), 0); }

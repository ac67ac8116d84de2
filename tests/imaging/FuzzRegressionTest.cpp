// Image files that once broke a reader, replayed through the fuzz targets.
#include "support/FuzzReplay.h"

ZEP3_FUZZ_ENTRY(bmp_file);
ZEP3_FUZZ_ENTRY(jpeg_header);
ZEP3_FUZZ_ENTRY(jpeg_decompress);
ZEP3_FUZZ_ENTRY(jpeg_file);
ZEP3_FUZZ_ENTRY(load_image);

TEST(FuzzRegression, BitmapFiles) {
    zep3test::replayFuzzInputs("bmp_file", zep3fuzz_bmp_file);
    zep3test::replayFuzzInputs("load_image", zep3fuzz_load_image);
}

TEST(FuzzRegression, JpegStreams) {
    zep3test::replayFuzzInputs("jpeg_header", zep3fuzz_jpeg_header);
    zep3test::replayFuzzInputs("jpeg_decompress", zep3fuzz_jpeg_decompress);
    zep3test::replayFuzzInputs("jpeg_file", zep3fuzz_jpeg_file);
}

// Encoder modules for the failure cases of CLameMP3. Built twice: without
// STUB_COMPLETE it lacks "beWriteVBRHeader" (the module must be refused);
// with it, all six entry points exist, chunks are 4 samples, the first chunk
// gives "abc", every later one fails, and the flush gives "Z".
#include <zep3/media/BladeMP3Enc.h>

#include <cstring>

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
int g_chunks = 0;
int g_closed = 0;
} // namespace

STUB_EXPORT BE_ERR beInitStream(PBE_CONFIG, DWORD* samples, DWORD* bufferSize, PHBE_STREAM stream) {
    *samples = 4;
    *bufferSize = 16;
    *stream = 7;
    g_chunks = 0;
    return BE_ERR_SUCCESSFUL;
}
STUB_EXPORT BE_ERR beEncodeChunk(HBE_STREAM, DWORD, SHORT*, BYTE* output, DWORD* size) {
    if (g_chunks++) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    std::memcpy(output, "abc", 3);
    *size = 3;
    return BE_ERR_SUCCESSFUL;
}
STUB_EXPORT BE_ERR beDeinitStream(HBE_STREAM, BYTE* output, DWORD* size) {
    output[0] = 'Z';
    *size = 1;
    return BE_ERR_SUCCESSFUL;
}
STUB_EXPORT BE_ERR beCloseStream(HBE_STREAM) {
    ++g_closed;
    return BE_ERR_SUCCESSFUL;
}
STUB_EXPORT void beVersion(PBE_VERSION) {}
#ifdef STUB_COMPLETE
STUB_EXPORT BE_ERR beWriteVBRHeader(const char*) { return BE_ERR_SUCCESSFUL; }
STUB_EXPORT int stubStreamsClosed() { return g_closed; }
#endif

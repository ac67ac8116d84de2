// Base64Coder::Decode of any text: the inline decoder and the per-group
// steps (used as soon as a subclass exists) must give the same bytes, and
// encoding the input then decoding it must give the input back.
#include "FuzzSupport.h"

#include <zep3/zep3.h>

#include <cstring>

namespace {

// A subclass that replaces nothing: the coder then runs its group steps.
class StepCoder : public Base64Coder {};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    unsigned char* bytes = size ? reinterpret_cast<unsigned char*>(&text[0]) : nullptr;

    Base64Coder fast;
    StepCoder steps;
    fast.Decode(bytes, size);
    steps.Decode(bytes, size);
    // Three bytes per group of four characters; the buffers are zero beyond the data.
    const size_t decoded = (size + 3) / 4 * 3;
    zep3fuzz::check(std::memcmp(fast.DecodedMessage(), steps.DecodedMessage(), decoded) == 0,
                    "inline and stepwise decoding agree");
    zep3fuzz::check(std::strcmp(fast.EncodedMessage(), steps.EncodedMessage()) == 0,
                    "inline and stepwise filtering agree");

    // The same coder again, now round-tripping the input as data.
    fast.Encode(bytes, size);
    const std::string encoded = fast.EncodedMessage();
    zep3fuzz::check(encoded.size() == (size + 2) / 3 * 4, "four characters per started group");
    fast.Decode(encoded.c_str());
    zep3fuzz::check(size == 0 || std::memcmp(fast.DecodedMessage(), data, size) == 0, "decoding undoes encoding");
    return 0;
}

// CFSKmessage fed any byte stream, one byte at a time: the first byte of the
// input chooses the seizure-less mode for the rest. Every result must be one
// state bit with a known result code, and the texts must stay within their
// buffers whatever arrives.
#include "FuzzSupport.h"

#include <zep3/zep3.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 0x10000) return 0;
    const bool noSeizure = data[0] & 1;
    CFSKmessage fsk;
    for (size_t i = 1; i < size; ++i) {
        const int result = fsk.AddSign(data[i], noSeizure);
        const int state = result & ~3, code = result & 3;
        zep3fuzz::check(state >= 4 && state <= 1024 && (state & (state - 1)) == 0, "one state bit");
        zep3fuzz::check(code != 2, "a known result code");
        // A message ends in the hunt; a hunt's time-out may come with the seizure.
        zep3fuzz::check(code == 0 || state == CFSKmessage::Hunting || state == CFSKmessage::Seizure,
                        "results only when a message or a hunt ends");
    }
    const CString number = fsk.GetCID(false), formatted = fsk.GetCID(true);
    zep3fuzz::check(number.GetLength() < 256, "the number fits its buffer");
    zep3fuzz::check(formatted.GetLength() <= number.GetLength() + 3, "formatting adds at most three characters");
    zep3fuzz::check(fsk.GetDateTime(false).GetLength() < 256, "the date fits its buffer");
    const CString date = fsk.GetDateTime(false), dateTime = fsk.GetDateTime(true);
    zep3fuzz::check(date.GetLength() == 8 ? dateTime.GetLength() == 11 : dateTime == date,
                    "only an eight-character date is formatted");
    return 0;
}

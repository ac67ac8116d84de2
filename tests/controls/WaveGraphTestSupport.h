#pragma once
// The parent window the wave graph tests give the controls: it records their
// messages and answers data requests from a recording it holds.
#include "ControlTestSupport.h"

#include <cstring>
#include <vector>

namespace controltest {

struct Message {
    UINT id;
    int wParam, lParam;
    bool operator==(const Message& o) const { return id == o.id && wParam == o.wParam && lParam == o.lParam; }
};
inline std::ostream& operator<<(std::ostream& os, const Message& m) {
    return os << "{" << m.id << ", " << m.wParam << ", " << m.lParam << "}";
}

class RecordingParent : public CWnd {
public:
    std::vector<Message> messages;
    std::vector<unsigned char> recording; // the sample bytes the parent serves
    LRESULT answer = 1;                   // to data requests
    std::vector<Message> requests;        // data requests: offset, count

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_WAVEGRAPH_DATAREQUEST) {
            const auto* request = reinterpret_cast<const WAVEGRAPHDATAREQUEST*>(wParam);
            requests.push_back({message, request->offset, request->count});
            const bool inside = request->offset >= 0 && request->count >= 0 &&
                                size_t(request->offset) + size_t(request->count) <= recording.size();
            EXPECT_TRUE(inside) << "request beyond the recording";
            if (answer > 0 && inside) std::memcpy(request->buffer, recording.data() + request->offset, size_t(request->count));
            return answer;
        }
        if (message >= WM_WAVEGRAPH_SELSTART && message <= WM_WAVEGRAPH_WINDOWMOVED) {
            messages.push_back({message, int(wParam), int(lParam)});
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

} // namespace controltest

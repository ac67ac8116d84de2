#pragma once
// Helpers of the pipe and mailslot tests: a scratch folder for the channel
// names, and one write or read of either channel as text.
#include "NetTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace pipetest {

// Every test gets its own folder for the names.
class ScratchNames : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1); }
    void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }
    zep3test::TempDir dir;
};

// One write of all of text (a message on a message channel).
template <class Channel> bool WriteText(Channel& channel, const std::string& text) {
    unsigned long done = 0;
    return channel.Write(const_cast<char*>(text.data()), (unsigned long)text.size(), &done) &&
           done == text.size();
}

// One read: its bytes, or "error N".
template <class Channel> std::string ReadOnce(Channel& channel, unsigned long size = 100000) {
    std::string buffer(size, '\0');
    unsigned long done = 0;
    if (!channel.Read(&buffer[0], size, &done)) return "error " + std::to_string(GetLastError());
    return buffer.substr(0, done);
}

} // namespace pipetest

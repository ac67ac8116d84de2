// Caller-identity messages assembled from byte streams as a demodulator
// delivers them.
#include <gtest/gtest.h>

#include <zep3/zep3.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

const Bytes kSeizure = {0x55, 0x55, 0x55};

// The bytes as the delivering device sends them: 0x06 escapes itself.
Bytes Escaped(const Bytes& bytes) {
    Bytes out;
    for (unsigned char b : bytes) {
        if (b == 0x06) out.push_back(0x06);
        out.push_back(b == 0x06 ? 0x26 : b);
    }
    return out;
}

// A message as sent: type, length, body, checksum (+ error), escaped.
Bytes Message(unsigned char type, const std::string& body, int checksumError = 0) {
    Bytes message = {type, static_cast<unsigned char>(body.size())};
    message.insert(message.end(), body.begin(), body.end());
    unsigned sum = 0;
    for (unsigned char b : message) sum += b;
    message.push_back(static_cast<unsigned char>(-sum + checksumError));
    return Escaped(message);
}

// A multiple-data message: the date-time and the number parameters.
Bytes MultipleDataMessage(const std::string& dateTime, const std::string& number, int checksumError = 0) {
    return Message(0x80, std::string{1, char(dateTime.size())} + dateTime + std::string{2, char(number.size())} + number,
                   checksumError);
}

// Feeds the bytes; the results of each.
std::vector<int> Feed(CFSKmessage& fsk, const Bytes& bytes, bool noSeizure = false) {
    std::vector<int> results;
    for (unsigned char b : bytes) results.push_back(fsk.AddSign(b, noSeizure));
    return results;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Lets a test move the time of the previous byte back.
class AgedFSKmessage : public CFSKmessage {
public:
    void Age(int seconds) { m_PreviousByteTime = CTime::GetCurrentTime() - CTimeSpan(seconds); }
};

} // namespace

TEST(FSKmessage, MultipleDataMessageWalksTheStates) {
    CFSKmessage fsk;
    const Bytes message = MultipleDataMessage("12251830", "0501234567");
    std::vector<int> r = Feed(fsk, Join({kSeizure, message}));
    // Seizure, type, length, then parameter type, length and data in turn.
    EXPECT_EQ(r[2], CFSKmessage::Seizure);
    EXPECT_EQ(r[3], CFSKmessage::MultipleType);
    EXPECT_EQ(r[4], CFSKmessage::MultipleData);
    EXPECT_EQ(r[5], CFSKmessage::ParameterType);
    EXPECT_EQ(r[6], CFSKmessage::ParameterData);
    EXPECT_EQ(r[14], CFSKmessage::MultipleData); // after the eighth date byte
    EXPECT_EQ(r.back(), CFSKmessage::Hunting | CFSKmessage::MessageComplete);
    EXPECT_EQ(fsk.GetDateTime(false), "12251830");
    EXPECT_EQ(fsk.GetCID(false), "0501234567");
    EXPECT_EQ(fsk.GetDateTime(true), "25/12 18:30");
    EXPECT_EQ(fsk.GetCID(true), "(501) 234 567");

}

// A wrong checksum gives up (5), a zero byte ends early (7); both keep what came.
TEST(FSKmessage, CutAndWrongMessagesKeepTheirText) {
    CFSKmessage fsk;
    EXPECT_EQ(Feed(fsk, Join({kSeizure, MultipleDataMessage("01020304", "123456", 1)})).back(), 5);
    EXPECT_EQ(fsk.GetCID(true), "123 456");
    Bytes cut = Join({kSeizure, MultipleDataMessage("12251830", "0501234567")});
    cut.resize(3 + 2 + 2 + 4);
    cut.push_back(0);
    EXPECT_EQ(Feed(fsk, cut).back(), 7);
    EXPECT_EQ(fsk.GetDateTime(false), "1225");
}

TEST(FSKmessage, SeizureNeedsThreeBytes) {
    CFSKmessage fsk;
    EXPECT_EQ(Feed(fsk, {0x55, 0x55, 0x80}).back(), CFSKmessage::Hunting);
    // One unknown byte after the seizure, then the single-data type.
    EXPECT_EQ(Feed(fsk, {0x55, 0x55, 0x55, 0x31}).back(), CFSKmessage::UnknownAfterSeizure);
    EXPECT_EQ(fsk.AddSign(0x04, false), CFSKmessage::SingleType);
    // A second unknown byte gives up.
    EXPECT_EQ(Feed(fsk, {0x00, 0x55, 0x55, 0x55, 0x31, 0x32}).back(), CFSKmessage::Hunting);
    // Without a seizure, the first byte is the type.
    CFSKmessage direct;
    EXPECT_EQ(direct.AddSign(0x80, true), CFSKmessage::MultipleType);
}

TEST(FSKmessage, SingleDataMessageTakesTheNumberFromTheEleventhByte) {
    // Eight date digits, two more bytes, then the number.
    CFSKmessage fsk;
    std::vector<int> r = Feed(fsk, Join({kSeizure, Message(0x04, "0312094599" "601234567")}));
    EXPECT_EQ(r[4], CFSKmessage::SingleData);
    EXPECT_EQ(r.back(), 7);
    EXPECT_EQ(fsk.GetCID(false), "601234567");
    EXPECT_EQ(fsk.GetDateTime(false), "");
}

TEST(FSKmessage, EscapeByteShiftsTheNextByte) {
    CFSKmessage fsk;
    // 0x06 0x75 is 0x55; escaping leaves the state alone.
    EXPECT_EQ(fsk.AddSign(0x06, false), CFSKmessage::Hunting);
    Feed(fsk, {0x75, 0x55});
    EXPECT_EQ(fsk.AddSign(0x55, false), CFSKmessage::Seizure);
    // An escaped 0x06 (0x06 0x26) is data, and counts in the checksum.
    EXPECT_EQ(Feed(fsk, MultipleDataMessage("01010000", std::string("12\x06", 3))).back(), 7);
    EXPECT_EQ(fsk.GetCID(false), "12\x06");
}

TEST(FSKmessage, GarbageBetweenMessagesAndHuntTimeOut) {
    CFSKmessage fsk;
    const Bytes noise(101, 0x31);
    std::vector<int> r = Feed(fsk, Join({noise, {0x31}, noise, {0x31}}));
    for (size_t i = 0; i < r.size(); ++i)
        EXPECT_EQ(r[i], (i == 101 || i == 203) ? 5 : 4) << "byte " << i + 1;

    const Bytes first = MultipleDataMessage("11111111", "0221234567");
    const Bytes second = MultipleDataMessage("02020202", "987");
    r = Feed(fsk, Join({{0x47, 0x55, 0x12}, kSeizure, first, {0x55, 0x33, 0x55}, kSeizure, second}));
    EXPECT_EQ(r[3 + 3 + first.size() - 1], 7);
    EXPECT_EQ(r.back(), 7);
    EXPECT_EQ(fsk.GetCID(true), "987");
    EXPECT_EQ(fsk.GetDateTime(false), "02020202");
}

TEST(FSKmessage, PauseStartsAfresh) {
    AgedFSKmessage fsk;
    const Bytes message = MultipleDataMessage("12251830", "0501234567");
    Feed(fsk, Join({kSeizure, Bytes(message.begin(), message.begin() + 10)}));
    fsk.Age(9); // 9 or 10 s by the time the byte comes: not yet a pause
    EXPECT_EQ(fsk.AddSign(message[10], false), CFSKmessage::ParameterData);
    fsk.Age(11);
    EXPECT_EQ(fsk.AddSign(0x55, false), CFSKmessage::Hunting);
    EXPECT_EQ(fsk.GetDateTime(false), "");
    EXPECT_EQ(Feed(fsk, {0x55, 0x55}).back(), CFSKmessage::Seizure);
}

TEST(FSKmessage, Formatting) {
    for (auto [number, formatted] : {std::pair{"123", "123"}, {"123456", "123 456"}, {"012", "012"}, {"0123", "(12) 3"},
                                     {"0601234567", "(601) 234 567"}, {"0701234567", "(70) 123 4567"}}) {
        CFSKmessage fsk;
        Feed(fsk, Join({kSeizure, MultipleDataMessage("1234567", number)}));
        EXPECT_EQ(fsk.GetCID(true), formatted) << number;
        EXPECT_EQ(fsk.GetDateTime(true), "1234567"); // not eight characters: unchanged
    }
}

TEST(FSKmessage, OverlongParametersStayInTheirBuffers) {
    CFSKmessage fsk;
    const std::string number(300, '7');
    Bytes message = {0x80, 255, 2, 255};
    message.insert(message.end(), number.begin(), number.end());
    Feed(fsk, Join({kSeizure, message}));
    EXPECT_EQ(fsk.GetCID(false).str(), std::string(253, '7'));
}

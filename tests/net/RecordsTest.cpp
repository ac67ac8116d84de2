// The remote-control records against a table written from the protocol:
// sizes, field offsets, type codes and initial values, with the bytes a
// constructor must leave alone checked to be untouched.
#include "NetTestSupport.h"

#include <new>

namespace {

enum Kind { Int, Bool, Text, Unset, Stamp };

// One field of the table: where it lies, how long it is and what the
// constructor puts there (Text: the text, zero-filled to the field's end).
struct Field {
    size_t offset, size;
    Kind kind;
    int32_t value;
    const char* text;
};

struct Record {
    const char* name;
    size_t size;
    int32_t type, flags;
    std::vector<Field> fields;            // after the head, from the table
    std::vector<unsigned char> bytes;     // a fresh record over 0xAA bytes (param 7)
    std::vector<size_t> memberOffsets;    // where the library put its members
};

// Constructs R over bytes that are all 0xAA, so that unset bytes show.
template <class R, class... Args> std::vector<unsigned char> Fresh(Args... args) {
    alignas(R) unsigned char storage[sizeof(R)];
    std::memset(storage, 0xAA, sizeof storage);
    asm volatile("" : : "r"(storage) : "memory"); // the fill must really happen
    R* r = new (storage) R(args...);
    std::vector<unsigned char> bytes(storage, storage + sizeof(R));
    r->~R();
    return bytes;
}

template <class R, class M> size_t At(const R& r, const M& member) {
    return size_t(reinterpret_cast<const char*>(&member) - reinterpret_cast<const char*>(&r));
}

Field I(size_t offset, int32_t value) { return {offset, 4, Int, value, nullptr}; }
Field B(size_t offset, bool value) { return {offset, 1, Bool, value, nullptr}; }
Field T(size_t offset, size_t size, const char* text = "") { return {offset, size, Text, 0, text}; }
Field U(size_t offset, size_t size) { return {offset, size, Unset, 0, nullptr}; }
Field Time(size_t offset) { return {offset, 20, Stamp, 0, nullptr}; } // the unset time stamp
std::vector<Field> Ints(size_t offset, int count, int32_t value = 0) {
    std::vector<Field> f;
    for (int i = 0; i < count; ++i) f.push_back(I(offset + 4 * size_t(i), value));
    return f;
}
std::vector<Field> Join(std::initializer_list<std::vector<Field>> parts) {
    std::vector<Field> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<Record> Table() {
    std::vector<Record> t;
    {
        CTextMessage r(7, "hi");
        t.push_back({"CTextMessage", 116, -2, 0, {T(12, 100, "hi"), U(112, 4)}, Fresh<CTextMessage>(7, "hi"),
                     {At(r, r.m_szText)}});
    }
    {
        CPromptMessage r(7);
        t.push_back({"CPromptMessage", 36, 1, 0, {T(12, 24, "Dravolin Remote Control")}, Fresh<CPromptMessage>(7),
                     {At(r, r.m_szPrompt)}});
    }
    {
        CLoginMessage r(7);
        t.push_back({"CLoginMessage", 52, 2, 0, {T(12, 20), T(32, 20)}, Fresh<CLoginMessage>(7),
                     {At(r, r.m_szLogin1), At(r, r.m_szLogin2)}});
    }
    {
        CGeneralStatusMessage r(7);
        t.push_back({"CGeneralStatusMessage", 68, 3, 0, Join({Ints(12, 4), {T(28, 20), T(48, 20)}}),
                     Fresh<CGeneralStatusMessage>(7), {At(r, r.m_nStatus), At(r, r.m_szStatus1), At(r, r.m_szStatus2)}});
    }
    {
        CCameraStatusMessage r(7);
        const CCameraStatus& s = r.m_Status;
        t.push_back({"CCameraStatusMessage", 60, 4, 0,
                     {B(12, false), U(13, 3), I(16, -1), T(20, 20), I(40, 0), I(44, 0), I(48, 0), B(52, false),
                      B(53, false), U(54, 2), I(56, 0)},
                     Fresh<CCameraStatusMessage>(7),
                     {At(r, r.m_bValid), At(r, s.m_nValue1), At(r, s.m_szText), At(r, s.m_nValue2), At(r, s.m_nValue3),
                      At(r, s.m_nValue4), At(r, s.m_bFlag1), At(r, s.m_bFlag2), At(r, s.m_nValue5)}});
    }
    {
        CPrepareImageServerMessage r(7);
        t.push_back({"CPrepareImageServerMessage", 40, 5, 0, Join({{I(12, 0), I(16, 0), I(20, 1)}, Ints(24, 4)}),
                     Fresh<CPrepareImageServerMessage>(7),
                     {At(r, r.m_nValue1), At(r, r.m_nValue2), At(r, r.m_nValue3), At(r, r.m_nValues)}});
    }
    {
        CImageMessage r(7);
        t.push_back({"CImageMessage", 72, 6, 0,
                     Join({{I(12, -1)}, Ints(16, 2), Ints(24, 4), {I(40, 0), B(44, false), U(45, 3), I(48, -1), Time(52)}}),
                     Fresh<CImageMessage>(7),
                     {At(r, r.m_nValue1), At(r, r.m_nSize), At(r, r.m_nValues), At(r, r.m_nValue2), At(r, r.m_bFlag),
                      At(r, r.m_nValue3), At(r, r.m_Time)}});
    }
    {
        CArchiveLogMessage a(7);
        CDayLogMessage d(7);
        t.push_back({"CArchiveLogMessage", 16, 7, 0, {I(12, 0)}, Fresh<CArchiveLogMessage>(7), {At(a, a.m_nValue)}});
        t.push_back({"CDayLogMessage", 16, 8, 0, {I(12, 0)}, Fresh<CDayLogMessage>(7), {At(d, d.m_nValue)}});
    }
    {
        CCameraLogMessage r(7);
        t.push_back({"CCameraLogMessage", 584, 9, 0,
                     Join({{I(12, -1), B(16, false), U(17, 3), I(20, 0), I(24, -1)}, Ints(28, 3),
                           {B(40, true), U(41, 3), I(44, 0), I(48, 0), T(52, 256), T(308, 256), I(564, -1)},
                           Ints(568, 4)}),
                     Fresh<CCameraLogMessage>(7),
                     {At(r, r.m_nValue1), At(r, r.m_bFlag1), At(r, r.m_nValue2), At(r, r.m_nValue3), At(r, r.m_nValues1),
                      At(r, r.m_bFlag2), At(r, r.m_nValue4), At(r, r.m_nValue5), At(r, r.m_szText1), At(r, r.m_szText2),
                      At(r, r.m_nValue6), At(r, r.m_nValues2)}});
    }
    {
        CEventLogMessage r(7);
        t.push_back({"CEventLogMessage", 272, 10, 0, {T(12, 256), I(268, 0)}, Fresh<CEventLogMessage>(7),
                     {At(r, r.m_szText), At(r, r.m_nValue)}});
    }
    {
        COnEventMessage r(7);
        t.push_back({"COnEventMessage", 1104, 11, 1,
                     Join({{I(12, -1)}, Ints(16, 10), Ints(56, 5), {U(76, 1020), I(1096, 0), I(1100, -1)}}),
                     Fresh<COnEventMessage>(7),
                     {At(r, r.m_nValue1), At(r, r.m_dwValues), At(r, r.m_nValue2), At(r, r.m_nValue3), At(r, r.m_nValue4),
                      At(r, r.m_nValue5), At(r, r.m_dwValue6), At(r, r.m_Data), At(r, r.m_nValue7), At(r, r.m_nValue8)}});
    }
    return t;
}

} // namespace

TEST(Records, SizesOffsetsTypeCodesAndInitialValuesFollowTheTable) {
    for (const Record& r : Table()) {
        SCOPED_TRACE(r.name);
        ASSERT_EQ(r.bytes.size(), r.size);
        EXPECT_EQ(int32_t(nettest::Le32(&r.bytes[0])), r.type);
        EXPECT_EQ(int32_t(nettest::Le32(&r.bytes[4])), r.flags);
        EXPECT_EQ(int32_t(nettest::Le32(&r.bytes[8])), 7) << "param";
        size_t covered = 12;
        std::vector<size_t> fieldStarts;
        for (const Field& f : r.fields) {
            SCOPED_TRACE(f.offset);
            EXPECT_EQ(f.offset, covered) << "the table leaves no gap";
            covered = f.offset + f.size;
            const unsigned char* p = &r.bytes[f.offset];
            switch (f.kind) {
            case Int: EXPECT_EQ(int32_t(nettest::Le32(p)), f.value); break;
            case Bool: EXPECT_EQ(int(*p), f.value); break;
            case Text:
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), f.size),
                          std::string(f.text) + std::string(f.size - std::strlen(f.text), '\0'));
                break;
            case Stamp: {
                const CSystemTime unset;
                EXPECT_EQ(std::memcmp(p, &unset, sizeof unset), 0);
                break;
            }
            case Unset:
                for (size_t i = 0; i < f.size; ++i) EXPECT_EQ(p[i], 0xAA) << "byte " << f.offset + i << " was touched";
                break;
            }
        }
        EXPECT_EQ(covered, r.size);
        // Every member lies where a field of the table starts.
        for (size_t offset : r.memberOffsets)
            EXPECT_TRUE(std::any_of(r.fields.begin(), r.fields.end(), [&](const Field& f) { return f.offset == offset; }))
                << "member at " << offset;
    }
    EXPECT_EQ(sizeof(CRemoteMessage), 12u);
    EXPECT_EQ(sizeof(CCameraStatus), 44u);
    EXPECT_EQ(sizeof(CIOLineStatus), 32u);
    CRemoteMessage head(1, 2, 3);
    EXPECT_EQ(head.m_nType, 2);
    EXPECT_EQ(head.m_nFlags, 3);
    EXPECT_EQ(head.m_nParam, 1);
}

TEST(Records, LongTextsKeepTheirFirstHundredCharactersWithoutTerminator) {
    std::string text(150, '\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = char('a' + i % 26);
    CTextMessage m(0, text.c_str());
    EXPECT_EQ(std::string(m.m_szText, 100), text.substr(0, 100));
    CTextMessage none(0, nullptr);
    EXPECT_EQ(none.m_szText[0], '\0');
}

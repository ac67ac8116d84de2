// Typed items of CIniFile: the text form of each simple value type.
#include <zep3/foundation/IniFile.h>

#include <zep3/foundation/detail/ValueText.h>

#include <charconv>
#include <cstring>

using zep3::detail::ParseDecimal;

namespace {

// Decimal text of a number, as "%i" / "%u" print it.
template <class T> CString decimalText(T value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return CString(buf, static_cast<int>(r.ptr - buf));
}

uint32_t decimalOf(const CString& text) { return ParseDecimal(text, static_cast<size_t>(text.GetLength())); }

// Reads comma-separated fields the way the font text was always read: a
// field runs to the next comma; when there is none, the field is empty and
// the rest of the text stays for the next one.
class FieldReader {
public:
    explicit FieldReader(const CString& text) : m_text(text) {}
    CString Next() {
        int comma = m_text.Find(',', m_pos);
        if (comma < 0) return CString();
        CString field = m_text.Mid(m_pos, comma - m_pos);
        m_pos = comma + 1;
        return field;
    }
    int32_t NextNumber() { return static_cast<int32_t>(decimalOf(Next())); }
    BYTE NextByte() { return static_cast<BYTE>(decimalOf(Next())); }
    CString Rest() const { return m_text.Mid(m_pos); }

private:
    const CString& m_text;
    int m_pos = 0;
};

} // namespace

bool CIniFile::ReadItem(const CString& key, CString& value) { return GetItem(key, value); }

void CIniFile::WriteItem(const CString& key, const CString& value) {
    SetItem(key, value, value.GetLength());
}

// Integers: the decimal reading rule, then the low bits the type holds.
#define ZEP3_INI_INTEGER_ITEM(Type, Stored, Printed)                 \
    bool CIniFile::ReadItem(const CString& key, Type& value) {      \
        CString text;                                               \
        if (!GetItem(key, text)) return false;                      \
        value = static_cast<Type>(static_cast<Stored>(decimalOf(text))); \
        return true;                                                \
    }                                                               \
    void CIniFile::WriteItem(const CString& key, Type value) {      \
        WriteItem(key, decimalText(static_cast<Printed>(value)));   \
    }

ZEP3_INI_INTEGER_ITEM(unsigned char, uint8_t, int)
ZEP3_INI_INTEGER_ITEM(short, int16_t, int)
ZEP3_INI_INTEGER_ITEM(unsigned short, uint16_t, unsigned)
ZEP3_INI_INTEGER_ITEM(int, int32_t, int32_t)
ZEP3_INI_INTEGER_ITEM(unsigned int, uint32_t, uint32_t)
// long is 64-bit here; its text and value stay 32-bit as they always were.
ZEP3_INI_INTEGER_ITEM(long, int32_t, int32_t)
ZEP3_INI_INTEGER_ITEM(unsigned long, uint32_t, uint32_t)
#undef ZEP3_INI_INTEGER_ITEM

bool CIniFile::ReadItem(const CString& key, float& value) {
    CString text;
    if (!GetItem(key, text)) return false;
    value = zep3::detail::NarrowToFloat(zep3::detail::ParseFloat(text, static_cast<size_t>(text.GetLength())));
    return true;
}

void CIniFile::WriteItem(const CString& key, float value) {
    char buf[64];
    size_t n = zep3::detail::FormatFloat(buf, value);
    SetItem(key, buf, static_cast<int>(n));
}

bool CIniFile::ReadItem(const CString& key, LOGFONT& font) {
    CString text;
    if (!GetItem(key, text) || text.IsEmpty()) return false;
    font = LOGFONT();
    FieldReader fields(text);
    CString face = fields.Next();
    std::memcpy(font.lfFaceName, face, std::min(face.GetLength(), LF_FACESIZE - 1));
    font.lfHeight = fields.NextNumber();
    font.lfWidth = fields.NextNumber();
    font.lfWeight = fields.NextNumber();
    font.lfItalic = fields.NextByte();
    font.lfUnderline = fields.NextByte();
    font.lfStrikeOut = fields.NextByte();
    font.lfCharSet = fields.NextByte();
    font.lfOutPrecision = fields.NextByte();
    font.lfClipPrecision = fields.NextByte();
    font.lfQuality = fields.NextByte();
    font.lfPitchAndFamily = fields.NextByte();
    font.lfEscapement = fields.NextNumber();
    font.lfOrientation = static_cast<LONG>(decimalOf(fields.Rest()));
    return true;
}

void CIniFile::WriteItem(const CString& key, const LOGFONT& font) {
    CString text(font.lfFaceName, static_cast<int>(strnlen(font.lfFaceName, LF_FACESIZE)));
    text.AppendFormat(",%i,%i,%i,%u,%u,%u,%u,%u,%u,%u,%u,%i,%i", font.lfHeight, font.lfWidth, font.lfWeight,
                      font.lfItalic, font.lfUnderline, font.lfStrikeOut, font.lfCharSet, font.lfOutPrecision,
                      font.lfClipPrecision, font.lfQuality, font.lfPitchAndFamily, font.lfEscapement,
                      font.lfOrientation);
    WriteItem(key, text);
}

namespace {

// Mode 0 reads, mode 1 writes, any other does nothing. A null value makes a
// read fail and a write do nothing.
template <class T, class Read, class Write>
bool exchange(int mode, T* value, Read read, Write write) {
    if (mode == 0) return value && read(*value);
    if (mode == 1 && value) write(*value);
    return true;
}

} // namespace

#define ZEP3_INI_EXCHANGE_SIMPLE(Type)                                                   \
    bool CIniFile::ExchangeSimpleObject(int mode, const CString& key, Type* value) {    \
        return exchange(                                                                 \
            mode, value, [&](Type& v) { return ReadItem(key, v); },                     \
            [&](const Type& v) { WriteItem(key, v); });                                  \
    }

ZEP3_INI_EXCHANGE_SIMPLE(unsigned char)
ZEP3_INI_EXCHANGE_SIMPLE(short)
ZEP3_INI_EXCHANGE_SIMPLE(unsigned short)
ZEP3_INI_EXCHANGE_SIMPLE(int)
ZEP3_INI_EXCHANGE_SIMPLE(unsigned int)
ZEP3_INI_EXCHANGE_SIMPLE(long)
ZEP3_INI_EXCHANGE_SIMPLE(unsigned long)
ZEP3_INI_EXCHANGE_SIMPLE(CString)
ZEP3_INI_EXCHANGE_SIMPLE(LOGFONT)
#undef ZEP3_INI_EXCHANGE_SIMPLE

bool ExchangeObject(CIniFile* ini, int mode, const CString& key, float* value) {
    if (!ini) return false;
    if (mode == 0 && value) {
        // The variable follows the item even when it is absent: 0.0 then.
        float read = 0.0f;
        bool present = ini->ReadItem(key, read);
        *value = present ? read : 0.0f;
        return present;
    }
    return exchange(
        mode, value, [](float&) { return false; }, [&](float v) { ini->WriteItem(key, v); });
}

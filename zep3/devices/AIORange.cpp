#include <zep3/devices/AIORange.h>

CAIORange::CAIORange() : m_Code(0xFFFFFFFFu) {}

CAIORange::CAIORange(DWORD code, CString const& name) : m_Code(code), m_Name(name) {}

CAIORange::CAIORange(const CAIORange& other) = default;

CAIORange& CAIORange::operator=(const CAIORange& other) = default;

CAIORange::~CAIORange() = default;

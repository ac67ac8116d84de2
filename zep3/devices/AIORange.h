#pragma once
/// @class CAIORange
/// A named input range of an analog device: a range code of the
/// device (0xFFFFFFFF: unset) and its name.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>
#include <zep3/platform/WinTypes.h>

class ZEP3_API CAIORange {
public:
    ///@{
    /// Unset: code 0xFFFFFFFF, empty name.
    CAIORange();
    CAIORange(DWORD code, CString const& name);
    CAIORange(const CAIORange& other);
    ///@}
    CAIORange& operator=(const CAIORange& other);
    ~CAIORange();

    DWORD m_Code;
    CString m_Name;
};

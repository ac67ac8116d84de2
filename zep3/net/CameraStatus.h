#pragma once
/// @class CCameraStatus
/// The status fields of one camera (no record head), carried
/// inside CCameraStatusMessage: a value, a text of up to 19 characters, three
/// values, two flags and a value. The default constructor sets nothing.
#include <zep3/platform/Export.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

class ZEP3_API CCameraStatus {
public:
    CCameraStatus() {}
    CCameraStatus(const CCameraStatus& other) { *this = other; }
    CCameraStatus& operator=(const CCameraStatus& other) {
        std::memcpy(static_cast<void*>(this), &other, sizeof other);
        return *this;
    }

    int32_t m_nValue1;
    char m_szText[20];
    int32_t m_nValue2;
    int32_t m_nValue3;
    int32_t m_nValue4;
    bool m_bFlag1;
    bool m_bFlag2;
    int32_t m_nValue5;
};

static_assert(sizeof(CCameraStatus) == 44, "CCameraStatus is 44 bytes");
static_assert(offsetof(CCameraStatus, m_nValue1) == 0 && offsetof(CCameraStatus, m_szText) == 4 &&
                  offsetof(CCameraStatus, m_nValue2) == 24 && offsetof(CCameraStatus, m_nValue3) == 28 &&
                  offsetof(CCameraStatus, m_nValue4) == 32 && offsetof(CCameraStatus, m_bFlag1) == 36 &&
                  offsetof(CCameraStatus, m_bFlag2) == 37 && offsetof(CCameraStatus, m_nValue5) == 40,
              "CCameraStatus field offsets");

#pragma once
/// @class CIOLineStatus
/// 32 bytes of input/output line status (no record head) that
/// the library only copies.
#include <zep3/platform/Export.h>

#include <cstdint>
#include <cstring>

class ZEP3_API CIOLineStatus {
public:
    CIOLineStatus() {}
    CIOLineStatus(const CIOLineStatus& other) { *this = other; }
    CIOLineStatus& operator=(const CIOLineStatus& other) {
        std::memcpy(static_cast<void*>(this), &other, sizeof other);
        return *this;
    }

    int32_t m_nValues[8];
};

static_assert(sizeof(CIOLineStatus) == 32, "CIOLineStatus is 32 bytes");

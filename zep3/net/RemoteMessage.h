#pragma once
/// @class CRemoteMessage
/// The common head of the remote-control records. A record
/// travels as the body of one packet, byte for byte as it lies in memory, and
/// the receiver picks the record by its first field (m_nType, each record's
/// Type). The records are plain data with fixed 32-bit layouts (little-endian,
/// 4-byte integers at natural alignment, 1-byte bools, zero-terminated 8-bit
/// texts inside their fields); copying one copies all of its bytes.
#include <zep3/platform/Export.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

class ZEP3_API CRemoteMessage {
public:
    /// The first argument goes to the third field.
    CRemoteMessage(int param, int type, int flags) : m_nType(type), m_nFlags(flags), m_nParam(param) {}

    int32_t m_nType;
    int32_t m_nFlags;
    int32_t m_nParam;
};

static_assert(sizeof(CRemoteMessage) == 12, "CRemoteMessage is 12 bytes");
static_assert(offsetof(CRemoteMessage, m_nType) == 0 && offsetof(CRemoteMessage, m_nFlags) == 4 &&
                  offsetof(CRemoteMessage, m_nParam) == 8,
              "CRemoteMessage field offsets");

// Records derive from the head, so their field offsets are checked with
// offsetof on a type that is not standard-layout: single, non-virtual
// inheritance, which GCC and Clang lay out as plain concatenation.
#define ZEP3_RECORD_OFFSET(Record, field, offset)                                                               \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Winvalid-offsetof\"")                     \
        static_assert(offsetof(Record, field) == (offset), #Record "::" #field " at offset " #offset);          \
    _Pragma("GCC diagnostic pop")

// Byte-for-byte copies of a record, padding and unset bytes included.
#define ZEP3_RECORD_COPY(Record)                                                                                \
    Record(const Record& other) : CRemoteMessage(other) {                                                      \
        std::memcpy(static_cast<void*>(this), &other, sizeof(Record));                                         \
    }                                                                                                          \
    Record& operator=(const Record& other) {                                                                   \
        std::memcpy(static_cast<void*>(this), &other, sizeof(Record));                                         \
        return *this;                                                                                          \
    }

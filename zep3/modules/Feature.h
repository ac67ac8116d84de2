#pragma once
/// @class CFeature
/// A named option of an analysis module and its state: 1 on, 0 off,
/// any other value meaning "take the state from the configuration on the
/// next read" (CModule::Exchange).
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

class ZEP3_API CFeature {
public:
    CFeature() : m_nState(0) {}
    CFeature(const CString& name, int state) : m_Name(name), m_nState(state) {}

    CString m_Name;
    int m_nState;
};

#pragma once
/// @struct CRuntimeClass
/// The framework's run-time class record, as far as the
/// library's classes need it: a class name and a base class to ask
/// IsDerivedFrom of. Classes that carry one declare
///     static const CRuntimeClass classCName;
///     virtual CRuntimeClass* GetRuntimeClass() const;
/// and RUNTIME_CLASS(CName) names the record.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

struct ZEP3_API CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;
    const CRuntimeClass* m_pBaseClass; ///< null at the root

    /// TRUE when this class is `base` or derives from it.
    BOOL IsDerivedFrom(const CRuntimeClass* base) const {
        for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass)
            if (c == base) return TRUE;
        return FALSE;
    }
};

#define RUNTIME_CLASS(class_name) (const_cast<CRuntimeClass*>(&class_name::class##class_name))

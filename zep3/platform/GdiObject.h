#pragma once
/// @class CGdiObject
/// The C++ side of a GDI object handle (pen, brush, font, bitmap,
/// palette, region). The object owns its handle: the destructor and
/// DeleteObject free it, Detach gives it up. Deleting an object that a device
/// context still has selected is safe: the context keeps using it until it is
/// deselected. Stock objects are never freed. Objects may be used from any
/// thread; one object is not meant to be changed from two threads at once.
#include <zep3/platform/Export.h>
#include <zep3/platform/GdiConstants.h>

class ZEP3_API CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    /// The handle, or null when the object holds none.
    HGDIOBJ m_hObject = nullptr;
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    operator HGDIOBJ() const { return m_hObject; }

    /// Takes ownership of a live handle; false when this object already holds
    /// one or the handle is not a live GDI object.
    BOOL Attach(HGDIOBJ hObject);
    /// Gives up the handle without freeing it; returns it.
    HGDIOBJ Detach();
    /// Frees the handle (stock objects are only detached); false without one.
    BOOL DeleteObject();
    /// Copies the object's description (LOGPEN, LOGBRUSH, LOGFONT, BITMAP,
    /// WORD entry count of a palette) into buffer; returns the bytes written,
    /// or the size needed when buffer is null; 0 on failure.
    int GetObject(int nCount, LPVOID lpObject) const;
    /// OBJ_PEN, OBJ_BRUSH, ...; 0 without a live handle.
    UINT GetObjectType() const;
    /// Attaches the stock object of that index (WHITE_BRUSH, NULL_PEN, ...).
    BOOL CreateStockObject(int nIndex);
    /// Accepted for compatibility; brushes have no origin here.
    BOOL UnrealizeObject() { return m_hObject != nullptr; }

    /// The permanent object attached to the handle, or a temporary wrapper
    /// owned by the layer and valid while the handle lives; null for a handle
    /// that is not a live GDI object.
    static CGdiObject* FromHandle(HGDIOBJ hObject);
};

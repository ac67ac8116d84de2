#pragma once
// The objects behind GDI handles. A handle is the address of its ObjectData;
// the live handles are kept in a table so that a stale or foreign handle is
// refused instead of followed. Objects are reference counted: the handle holds
// one reference and every device context that selects the object holds one,
// so deleting an object that is still selected leaves the context drawing
// with it until it is deselected.
#include <zep3/platform/GdiConstants.h>
#include <zep3/platform/PixelSurface.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

class CGdiObject;

namespace zep3::detail {

class FontFace;

enum class Kind { Pen = OBJ_PEN, Brush = OBJ_BRUSH, Palette = OBJ_PAL, Font = OBJ_FONT, Bitmap = OBJ_BITMAP, Region = OBJ_REGION };

struct ObjectData {
    explicit ObjectData(Kind k) : kind(k) {}
    virtual ~ObjectData();
    ObjectData(const ObjectData&) = delete;
    ObjectData& operator=(const ObjectData&) = delete;

    const Kind kind;
    std::atomic<int> refs{1};
    bool stock = false;
    CGdiObject* owner = nullptr;       // the permanent C++ object attached to the handle
    CGdiObject* wrapper = nullptr;     // temporary wrapper handed out by FromHandle, owned here
};

struct PenData : ObjectData {
    PenData() : ObjectData(Kind::Pen) {}
    int style = PS_SOLID;
    int width = 0;
    COLORREF color = 0;
};

struct BrushData : ObjectData {
    BrushData() : ObjectData(Kind::Brush) {}
    int style = BS_SOLID;
    COLORREF color = 0;
};

struct PaletteData : ObjectData {
    PaletteData() : ObjectData(Kind::Palette) {}
    std::vector<PALETTEENTRY> entries;
};

struct RegionData : ObjectData {
    RegionData() : ObjectData(Kind::Region) {}
    RECT rect{0, 0, 0, 0};
};

struct FontData : ObjectData {
    FontData() : ObjectData(Kind::Font) {}
    LOGFONT lf{};
    // The realised face, looked up on first use.
    std::shared_ptr<FontFace> Face();

private:
    std::mutex m_lock;
    std::shared_ptr<FontFace> m_face;
};

// A bitmap: either a device bitmap (32-bit pixels in `surface`, with the bit
// count it was asked for kept for its description) or a DIB section whose
// bits live in `bits` in their own format. A 32-bit DIB section's surface
// views those bits; other DIB sections have no drawable surface and are read
// through their header and colour table.
struct BitmapData : ObjectData {
    BitmapData() : ObjectData(Kind::Bitmap) {}
    CPixelSurface surface;
    int declaredBits = 32;
    bool dibSection = false;
    BITMAPINFOHEADER header{};
    std::vector<RGBQUAD> colors;
    std::vector<BYTE> bits;
    DWORD masks[3] = {0, 0, 0};

    int Width() const { return dibSection ? header.biWidth : surface.GetWidth(); }
    int Height() const { return dibSection ? std::abs(header.biHeight) : surface.GetHeight(); }
    bool Drawable() const { return !surface.IsEmpty(); }
};

// Reference-counted pointer to an object's data.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : m_p(p) { if (m_p) AddRef(m_p); }
    Ref(const Ref& o) : Ref(o.m_p) {}
    Ref& operator=(const Ref& o) { Ref t(o); std::swap(m_p, t.m_p); return *this; }
    ~Ref() { if (m_p) Release(m_p); }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

void AddRef(ObjectData* d);
void Release(ObjectData* d);

// Registers new data as a live handle (with the handle's reference).
HGDIOBJ Register(ObjectData* d);
// The data of a live handle, null for null, stale or foreign handles. The
// returned pointer stays valid while the handle lives; take a Ref to keep it.
ObjectData* Lookup(HGDIOBJ h);
template <class T>
T* LookupAs(HGDIOBJ h, Kind k) { ObjectData* d = Lookup(h); return d && d->kind == k ? static_cast<T*>(d) : nullptr; }
// Removes the handle and drops its reference; false for stock or unknown handles.
bool Unregister(HGDIOBJ h);
inline HGDIOBJ HandleOf(const ObjectData* d) { return const_cast<ObjectData*>(d); }

// Stock objects, made on first use and never freed.
ObjectData* Stock(int index);

// The C++ object for data: its permanent owner, or a temporary wrapper of the
// right class kept until the data is freed.
CGdiObject* WrapperOf(ObjectData* d);

// The classic system colour table.
COLORREF SysColor(int index);

}  // namespace zep3::detail

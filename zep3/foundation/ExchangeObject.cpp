#include <zep3/foundation/ExchangeObject.h>

#include <zep3/crypto/HexText.h>
#include <zep3/foundation/detail/ValueText.h>

#include <algorithm>
#include <cstdint>

namespace {

bool IsNoOp(int mode) { return mode != 0 && mode != 1; }

// Simple values go through the store's own typed items.
template <class T> bool Simple(CIniFile* ini, int mode, const CString& key, T* value) {
    return ini && ini->ExchangeSimpleObject(mode, key, value);
}

// The parts of a point, size or rectangle, exchanged as long under fixed
// names in a child view at key.
struct Part {
    const char* name;
    LONG* field;
};

template <size_t N> bool ExchangeParts(CIniFile* ini, int mode, const CString& key, const Part (&parts)[N]) {
    CIniFile view(ini, key);
    for (const Part& part : parts) {
        long v = *part.field;
        if (!view.ExchangeSimpleObject(mode, part.name, &v)) return false;
        *part.field = static_cast<LONG>(v);
    }
    return true;
}

const int kMemoryRow = 16;
const int kMemoryReadLimit = 10240;

CString RowKey(int offset) {
    CString key;
    key.Format("0x%04X", static_cast<unsigned>(offset));
    return key;
}

bool WriteMemory(CIniFile& view, CMemory& block) {
    int size = block.GetSize();
    view.ExchangeSimpleObject(1, "Size", &size);
    CString pointer;
    pointer.Format("0x%08lX", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(block.GetData())));
    view.ExchangeSimpleObject(1, "Pointer", &pointer);
    for (int offset = 0; offset < size; offset += kMemoryRow) {
        CString hex = CHexText::Encrypt(block.GetData() + offset, std::min(kMemoryRow, size - offset));
        view.ExchangeSimpleObject(1, RowKey(offset), &hex);
    }
    return true;
}

bool ReadMemory(CIniFile& view, CMemory& block) {
    int size = 0;
    view.ExchangeSimpleObject(0, "Size", &size); // absent counts as 0
    if (block.GetSize() > 0 && block.GetData()) {
        if (size != block.GetSize()) return false;
    } else {
        block.Clear();
        if (size < 0 || size >= kMemoryReadLimit || !block.Create(size, nullptr)) return false;
    }
    for (int offset = 0; offset < size; offset += kMemoryRow) {
        const int n = std::min(kMemoryRow, size - offset);
        CString hex;
        view.ExchangeSimpleObject(0, RowKey(offset), &hex);
        if (hex.GetLength() != 2 * n || !CHexText::Decrypt(hex, block.GetData() + offset, n)) return false;
    }
    return true;
}

} // namespace

bool ExchangeObject(CIniFile* ini, int mode, const CString& key, unsigned char* value) { return Simple(ini, mode, key, value); }
bool ExchangeObject(CIniFile* ini, int mode, const CString& key, short* value) { return Simple(ini, mode, key, value); }
bool ExchangeObject(CIniFile* ini, int mode, const CString& key, unsigned short* value) { return Simple(ini, mode, key, value); }
bool ExchangeObject(CIniFile* ini, int mode, const CString& key, int* value) { return Simple(ini, mode, key, value); }
bool ExchangeObject(CIniFile* ini, int mode, const CString& key, unsigned int* value) { return Simple(ini, mode, key, value); }
bool ExchangeObject(CIniFile* ini, int mode, const CString& key, long* value) { return Simple(ini, mode, key, value); }
bool ExchangeObject(CIniFile* ini, int mode, const CString& key, unsigned long* value) { return Simple(ini, mode, key, value); }
bool ExchangeObject(CIniFile* ini, int mode, const CString& key, CString* value) { return Simple(ini, mode, key, value); }
bool ExchangeObject(CIniFile* ini, int mode, const CString& key, LOGFONT* value) { return Simple(ini, mode, key, value); }

bool ExchangeObject(CIniFile* ini, int mode, const CString& key, double* value) {
    if (!ini) return false;
    if (IsNoOp(mode) || !value) return mode != 0;
    float f = mode == 1 ? zep3::detail::NarrowToFloat(*value) : 0.0f;
    bool ok = ExchangeObject(ini, mode, key, &f);
    if (mode == 0) *value = f;
    return ok;
}

bool ExchangeObject(CIniFile* ini, int mode, const CString& key, bool* value) {
    if (!ini) return false;
    if (IsNoOp(mode) || !value) return mode != 0;
    int i = *value ? 1 : 0;
    if (!ini->ExchangeSimpleObject(mode, key, &i)) return false;
    *value = i != 0;
    return true;
}

bool ExchangeObject(CIniFile* ini, int mode, const CString& key, CTime* value) {
    if (!ini) return false;
    if (IsNoOp(mode) || !value) return mode != 0;
    long seconds = static_cast<int32_t>(value->GetTime());
    if (!ini->ExchangeSimpleObject(mode, key, &seconds)) return false;
    if (mode == 0) *value = CTime(static_cast<time_t>(seconds));
    return true;
}

bool ExchangeObject(CIniFile* ini, int mode, const CString& key, CPoint* value) {
    if (!ini) return false;
    if (IsNoOp(mode) || !value) return mode != 0;
    return ExchangeParts(ini, mode, key, {{"X", &value->x}, {"Y", &value->y}});
}

bool ExchangeObject(CIniFile* ini, int mode, const CString& key, CSize* value) {
    if (!ini) return false;
    if (IsNoOp(mode) || !value) return mode != 0;
    return ExchangeParts(ini, mode, key, {{"CX", &value->cx}, {"CY", &value->cy}});
}

bool ExchangeObject(CIniFile* ini, int mode, const CString& key, CRect* value) {
    if (!ini) return false;
    if (IsNoOp(mode) || !value) return mode != 0;
    return ExchangeParts(ini, mode, key,
                         {{"Left", &value->left}, {"Top", &value->top}, {"Right", &value->right}, {"Bottom", &value->bottom}});
}

bool ExchangeObject(CIniFile* ini, int mode, const CString& key, CMemory* value) {
    if (!ini) return false;
    if (IsNoOp(mode) || !value) return mode != 0;
    CIniFile view(ini, key);
    return mode == 1 ? WriteMemory(view, *value) : ReadMemory(view, *value);
}

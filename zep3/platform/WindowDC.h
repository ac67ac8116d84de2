#pragma once
/// @class CWindowDC
/// A device context on a whole window. Windows here have no frame,
/// so the whole window is its client area and this is CClientDC by another
/// name.
#include <zep3/platform/ClientDC.h>

class ZEP3_API CWindowDC : public CClientDC {
public:
    explicit CWindowDC(CWnd* pWnd) : CClientDC(pWnd) {}
};

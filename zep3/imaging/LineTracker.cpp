#include <zep3/imaging/LineTracker.h>

#include <zep3/imaging/detail/ShapeSupport.h>

#include <zep3/platform/Cursor.h>
#include <zep3/platform/Messages.h>

using namespace zep3::detail;

CLineTracker::CLineTracker() {
    AddHandle(CPoint(0, 0));
    AddHandle(CPoint(100, 100));
}

CLineTracker::~CLineTracker() = default;

bool CLineTracker::Exchange(CIniFile* ini, int mode) {
    CArray<CPoint, CPoint> before;
    before.Copy(m_Handles);
    bool ok = CHandleTracker::Exchange(ini, mode);
    if (mode == 0 && ini && !RestoreOutOfRangeHandles(m_Handles, before)) {
        InitHandleRect();
        ok = false;
    }
    return ok;
}

bool CLineTracker::Draw(CDC* dc, double zoom) {
    if (!CHandleTracker::Draw(dc, zoom)) return false;
    OutlinePen pen(dc, m_Color, OutlineStyle(m_nGrabbedHandle != -1));
    dc->MoveTo(ZoomPoint(HandlePoint(0), zoom));
    dc->LineTo(ZoomPoint(HandlePoint(1), zoom));
    return true;
}

bool CLineTracker::SetCursor(CWnd*, UINT hitCode) {
    if (!m_bEnabled || hitCode != HTCLIENT || m_nSelectedHandle == -1) return false;
    ::SetCursor(LoadCursor(nullptr, IDC_CROSS));
    return true;
}

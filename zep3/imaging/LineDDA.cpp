#include <zep3/imaging/LineDDA.h>

#include <zep3/platform/GdiFunctions.h>

#include <type_traits>

static_assert(std::is_same<LPARAM, long>::value, "LineProc must be a LINEDDAPROC");

CLineDDA::CLineDDA(CPoint start, CPoint end) { Create(start, end); }

int CLineDDA::Create(CPoint start, CPoint end) {
    m_StartPoint = start;
    m_EndPoint = end;
    m_Points.RemoveAll();
    LineDDA(start.x, start.y, end.x, end.y, LineProc, reinterpret_cast<LPARAM>(this));
    return GetSize();
}

CPoint CLineDDA::GetPoint(int index) const {
    return index >= 0 && index < GetSize() ? m_Points[index] : CPoint();
}

void CLineDDA::LineProc(int x, int y, long data) {
    reinterpret_cast<CLineDDA*>(data)->m_Points.Add(CPoint(x, y));
}

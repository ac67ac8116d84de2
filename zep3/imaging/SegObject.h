#pragma once
/// @class CSegObject
/// The statistics of one connected component of a run-length
/// region (CRLC::ObjectExtraction), gathered run by run.
///
/// The centre (GetGravity) is the mean of the run midpoints (x0 + x1) / 2 and
/// rows y, every run weighing the same whatever its length; sums and counts
/// are kept doubled so that they stay integers. Sums wrap at 32 bits rather
/// than overflow. Used by one thread at a time.
#include <zep3/imaging/Contour.h>
#include <zep3/imaging/MPoint.h>
#include <zep3/platform/Rect.h>

#include <algorithm>

class CIniFile;

class ZEP3_API CSegObject {
public:
    ///@{
    /// Identifier -1, not initialised, everything else 0.
    CSegObject() = default;
    CSegObject(const CSegObject& other) = default;
    ///@}
    CSegObject& operator=(const CSegObject& other) = default;

    /// Starts the object with the run [x0, x1) of row y: mass, box, run sums
    /// and gravity of that run alone; `colour` is kept (true: foreground).
    void Init(int y, int x0, int x1, bool colour) {
        m_bColor = colour;
        m_bInitialised = true;
        m_nMass = x1 - x0;
        m_Rect.SetRect(x0, y, x1, y + 1);
        m_nMinRunSum = m_nMaxRunSum = x0 + x1;
        m_GravitySum = CPoint(x0 + x1, 2 * y);
        m_nGravityCount = 2;
    }
    /// Adds the run [x0, x1) of row y (Init for the first run). The colour of
    /// later runs is not looked at.
    void Add(int y, int x0, int x1, bool colour) {
        if (!m_bInitialised) return Init(y, x0, x1, colour);
        m_nMass = WrapAdd(m_nMass, x1 - x0);
        m_Rect.left = std::min<int>(m_Rect.left, x0);
        m_Rect.right = std::max<int>(m_Rect.right, x1);
        m_Rect.top = std::min<int>(m_Rect.top, y);
        m_Rect.bottom = std::max<int>(m_Rect.bottom, y + 1);
        m_GravitySum.x = WrapAdd(m_GravitySum.x, x0 + x1);
        m_GravitySum.y = WrapAdd(m_GravitySum.y, 2 * y);
        m_nGravityCount = WrapAdd(m_nGravityCount, 2);
        m_nMinRunSum = std::min(m_nMinRunSum, x0 + x1);
        m_nMaxRunSum = std::max(m_nMaxRunSum, x0 + x1);
    }
    /// Merges another object into this one: mass, gravity sums and counts
    /// added, boxes united, run sums combined. An uninitialised `other`
    /// changes nothing; into an uninitialised object it is copied (identifier,
    /// colour and contour stay this object's).
    void Add(const CSegObject& other);

    /// Mean of the run midpoints; (0, 0) while no run has been added.
    CMPoint GetGravity() const;
    /// Stores a centre with two decimals: count 100, sums round(x × 100) and
    /// round(y × 100), halves away from zero.
    void SetGravity(const CMPoint& centre);

    /// Items "Gravity" (the sums as a point), "GravityCount" and "Mass" in the
    /// given view; mode 0 reads, 1 writes, others do nothing. True only when
    /// all three succeed.
    bool Exchange(CIniFile* ini, int mode);

    int GetID() const { return m_ID; }
    void SetID(int id) { m_ID = id; }
    /// Left and top inclusive, right and bottom exclusive.
    const CRect& GetRect() const { return m_Rect; }
    int GetMass() const { return m_nMass; }
    /// Smallest and greatest x0 + x1 over the object's runs.
    int GetMinRunSum() const { return m_nMinRunSum; }
    int GetMaxRunSum() const { return m_nMaxRunSum; }
    /// True for a foreground component.
    bool GetColor() const { return m_bColor; }
    bool IsInitialised() const { return m_bInitialised; }
    const CPoint& GetGravitySum() const { return m_GravitySum; }
    int GetGravityCount() const { return m_nGravityCount; }
    ///@{
    /// Empty unless the caller fills it (CRLC::GetContour).
    CContour& GetContour() { return m_Contour; }
    const CContour& GetContour() const { return m_Contour; }
    ///@}

private:
    static int WrapAdd(int a, int b) {
        return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
    }

    int m_ID = -1;
    CRect m_Rect;
    int m_nMass = 0;
    int m_nMinRunSum = 0;
    int m_nMaxRunSum = 0;
    CContour m_Contour;
    bool m_bColor = false;
    bool m_bInitialised = false;
    CPoint m_GravitySum;
    int m_nGravityCount = 0;
};

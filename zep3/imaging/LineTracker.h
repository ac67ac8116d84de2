#pragma once
/// @class CLineTracker
/// A line between two handles, 0 the start and 1 the end.
///
/// Stored with the handle tracker's Exchange: `Handles\[0..1]`, ViewIndex, Name.
/// Used on the thread of the window that shows it; failures are false results.
#include <zep3/imaging/HandleTracker.h>

class ZEP3_API CLineTracker : public CHandleTracker {
public:
    /// Start (0, 0), end (100, 100).
    CLineTracker();

    // --- virtual operations of the handle tracker ----------------------------
    ~CLineTracker() override;
    /// The handle tracker's items. After a read, handles with coordinates
    /// beyond +-32767 keep their previous value and the result is false.
    bool Exchange(CIniFile* ini, int mode) override;
    /// The handle squares, then the line from start to end in the colour,
    /// dotted while a handle is grabbed. False when disabled or `dc` is null.
    bool Draw(CDC* dc, double zoom) override;
    /// With hit code HTCLIENT and a handle selected: the cross cursor, true.
    bool SetCursor(CWnd* wnd, UINT hitCode) override;

    CPoint GetStart() const { return GetHandle(0); }
    CPoint GetEnd() const { return GetHandle(1); }
};

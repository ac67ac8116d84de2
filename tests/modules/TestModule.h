#pragma once
// A module with a tracker of every kind, as an application's analysis
// module holds them, and the protected routing opened for the tests.
#include <zep3/zep3.h>

#include <vector>

class TestModule : public CModule {
public:
    // View 0: the polygon "Zone", the rectangle "Gate", an unnamed line and
    // the parallelogram "Lane". View 1: an unnamed rectangle and the
    // perspective tracker "Floor".
    CPolygonTracker zone;
    CRectangleTracker gate;
    CLineTracker line;
    CParallelTracker lane;
    CRectangleTracker far;
    CPerspectiveTracker floor;

    TestModule() {
        // View 0 in a 400 x 300 picture: the zone at the left, the gate and
        // the line along the top, the lane below them.
        zone.InitHandles(4);
        Move(zone, CPoint(50, 50), CPoint(70, 70)); // the inside: the whole square
        Move(zone, CPoint(120, 120), CPoint(60, 70)); // a corner: now concave
        zone.SetName("Zone");
        gate.SetRect(CRect(140, 20, 240, 100));
        gate.SetName("Gate");
        Move(line, line.GetStart(), CPoint(260, 20));
        Move(line, line.GetEnd(), CPoint(380, 60));
        lane.SetPosition(CPoint(250, 160), CPoint(300, 140), CPoint(350, 160), CPoint(300, 180));
        lane.SetName("Lane");
        far.SetViewIndex(1);
        floor.SetName("Floor");
        floor.SetViewIndex(1);
        for (CHandleTracker* t : std::vector<CHandleTracker*>{&zone, &gate, &line, &lane, &far, &floor}) {
            if (t != &far && t != &floor) t->SetViewIndex(0);
            t->EnableHighlight(true);
            ControlTracker(t);
        }
        AddFeature(0, "Count", 1);
        AddFeature(2, "Alarm", 2);
    }

    // Takes the tracker at `from` and drops it at `to`.
    static void Move(CHandleTracker& t, CPoint from, CPoint to) {
        t.Select(from, true);
        t.Drag(to);
        t.Drop();
        t.DeSelect();
    }

    CString GetModuleName() override { return "Test"; }
    bool Initialize() override { return true; }
    bool Process(CImageBuffer*, int) override { return true; }

    using CModule::GetHighlightedTracker;
    using CModule::GetNearestTracker;
    using CModule::SelectTrackerHandle;
};

#pragma once
/// @class CMPoint
/// A point of two double coordinates, the analysis classes' point.
class CMPoint {
public:
    CMPoint() = default;
    CMPoint(double px, double py) : x(px), y(py) {}

    bool operator==(const CMPoint& o) const { return x == o.x && y == o.y; }
    bool operator!=(const CMPoint& o) const { return !(*this == o); }

    double x = 0;
    double y = 0;
};

#pragma once

namespace tessaro {

// An axis-aligned box as four doubles. The empty box has its minimum above its maximum, so
// that the first union with any point or box yields that point or box.
struct CExtent {
    static constexpr double EmptyValue = 1.7e308;

    double MinX = EmptyValue;
    double MinY = EmptyValue;
    double MaxX = -EmptyValue;
    double MaxY = -EmptyValue;

    static CExtent Empty() { return CExtent{}; }
    // Every coordinate zero: the state of a network whose extent was never set.
    static CExtent Zero() { return CExtent{0.0, 0.0, 0.0, 0.0}; }

    double Width() const { return MaxX - MinX; }
    double Height() const { return MaxY - MinY; }

    void Include(double x, double y)
    {
        if (x < MinX) MinX = x;
        if (x > MaxX) MaxX = x;
        if (y < MinY) MinY = y;
        if (y > MaxY) MaxY = y;
    }

    void Unite(const CExtent& other)
    {
        if (other.MinX < MinX) MinX = other.MinX;
        if (other.MinY < MinY) MinY = other.MinY;
        if (other.MaxX > MaxX) MaxX = other.MaxX;
        if (other.MaxY > MaxY) MaxY = other.MaxY;
    }

    bool operator==(const CExtent&) const = default;
};

} // namespace tessaro

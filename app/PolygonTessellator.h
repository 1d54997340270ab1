#pragma once

#include <array>
#include <deque>
#include <memory>
#include <vector>

struct GLUtesselator;

namespace tessaro {

// Fills polygons in OpenGL immediate mode through GLU's tessellator, into whatever context is
// current: any number of rings, concave or crossing themselves, a ring inside another cutting a
// hole by the odd winding rule. One object serves a whole frame.
class CPolygonTessellator {
public:
    using Vertex = std::array<double, 3>;

    CPolygonTessellator();
    ~CPolygonTessellator();
    CPolygonTessellator(const CPolygonTessellator&) = delete;
    CPolygonTessellator& operator=(const CPolygonTessellator&) = delete;

    // Fills one polygon in the current colour; the rings' vertices are in the frame's
    // coordinates, a closing vertex that repeats the first left out.
    void Fill(const std::vector<std::vector<Vertex>>& rings);

private:
    struct Deleter {
        void operator()(GLUtesselator* tessellator) const;
    };
    static void Combine(const double coordinates[3], void* neighbours[4], const float weights[4], void** made,
                        void* self);

    std::unique_ptr<GLUtesselator, Deleter> Tessellator_;
    // Vertices the tessellator makes where edges cross; they live until the polygon is filled.
    std::deque<Vertex> Made_;
};

} // namespace tessaro

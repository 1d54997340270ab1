#include "app/PolygonTessellator.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace tessaro {
namespace {

using Callback = void (*)();

// GLU takes every callback as a function of no arguments and calls it with the arguments of
// its kind.
template <class Function> Callback AsCallback(Function function)
{
    return reinterpret_cast<Callback>(function);
}

void BeginPrimitive(GLenum mode)
{
    glBegin(mode);
}

void EmitVertex(const GLdouble* xyz)
{
    glVertex3dv(xyz);
}

void EndPrimitive()
{
    glEnd();
}

// A ring GLU cannot fill (too few vertices, coordinates out of its range) is left unfilled.
void IgnoreError(GLenum) {}

} // namespace

void CPolygonTessellator::Deleter::operator()(GLUtesselator* tessellator) const
{
    gluDeleteTess(tessellator);
}

CPolygonTessellator::CPolygonTessellator() : Tessellator_(gluNewTess())
{
    GLUtesselator* t = Tessellator_.get();
    if (t == nullptr)
        return;
    gluTessProperty(t, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
    // The map lies in the plane z = 0; naming its normal spares GLU finding one per polygon.
    gluTessNormal(t, 0.0, 0.0, 1.0);
    gluTessCallback(t, GLU_TESS_BEGIN, AsCallback(&BeginPrimitive));
    gluTessCallback(t, GLU_TESS_VERTEX, AsCallback(&EmitVertex));
    gluTessCallback(t, GLU_TESS_END, AsCallback(&EndPrimitive));
    gluTessCallback(t, GLU_TESS_ERROR, AsCallback(&IgnoreError));
    gluTessCallback(t, GLU_TESS_COMBINE_DATA, AsCallback(&CPolygonTessellator::Combine));
}

CPolygonTessellator::~CPolygonTessellator() = default;

void CPolygonTessellator::Combine(const double coordinates[3], void* [4], const float[4], void** made, void* self)
{
    auto& tessellator = *static_cast<CPolygonTessellator*>(self);
    tessellator.Made_.push_back({coordinates[0], coordinates[1], coordinates[2]});
    *made = tessellator.Made_.back().data();
}

void CPolygonTessellator::Fill(const std::vector<std::vector<Vertex>>& rings)
{
    GLUtesselator* t = Tessellator_.get();
    if (t == nullptr)
        return;
    // GLU keeps the vertices' addresses until the polygon ends; `rings` holds them that long.
    gluTessBeginPolygon(t, this);
    for (const std::vector<Vertex>& ring : rings) {
        size_t count = ring.size();
        if (count > 1 && ring.front() == ring.back())
            --count;
        if (count < 3)
            continue;
        gluTessBeginContour(t);
        for (size_t i = 0; i < count; ++i)
            gluTessVertex(t, const_cast<GLdouble*>(ring[i].data()), const_cast<GLdouble*>(ring[i].data()));
        gluTessEndContour(t);
    }
    gluTessEndPolygon(t);
    Made_.clear();
}

} // namespace tessaro

#pragma once

#include <QPoint>
#include <QSurfaceFormat>

#include <cstdint>
#include <optional>
#include <vector>

class QOpenGLContext;

namespace tessaro {

// The camera and the frame and pick passes of the network view, in OpenGL 1.x immediate mode
// through libGL and GLU. It draws into whatever context is current: the view's widget owns the
// context and makes it current around every call, and the tests use an off-screen context.
//
// The scene is flat at depth 0 and seen through a fixed frustum (left -1, right 1, bottom -1,
// top 1, near Near, far Far) after a translation of Depth along z: with the default camera
// the unit square [-1, 1]^2 fills Near / -Depth (about 0.87) of the window about its centre.
class CInnerOpenGL {
public:
    // Entries of the selection buffer of a pick pass: four per hit of one name.
    static constexpr int SelectBufferSize = 512;
    // Side of the pick region around the cursor, in pixels.
    static constexpr double PickRegion = 5.0;
    // What EndPick returns when nothing was hit.
    static constexpr std::uint32_t NoName = 0xFFFFFFFFu;

    enum Background { Black = 0, Grey = 1, PaleYellow = 2 };

    virtual ~CInnerOpenGL() = default;

    // The context the view asks for: OpenGL 2.1 compatibility (immediate mode, selection
    // buffer), double-buffered RGBA with 8 bits a colour and a 32-bit depth buffer.
    static QSurfaceFormat PixelFormat();

    // Checks the current context and sets its first state: clear depth 1, the depth test on
    // with its less-than comparison, identity model-view. A missing context shows
    // "ChoosePixelFormat failed"; one that cannot draw in immediate mode (a core or ES
    // context) "SetPixelFormat failed". False after either.
    bool Create(const QOpenGLContext* context);

    // The default camera: Near 0.02, Far 0.1, Depth -0.023, no tilt, shift or zoom.
    void ResetCamera();
    // The share of the window's half-size that the half-side of the unit square fills, with no
    // tilt, shift or zoom: the frustum's unit half-width at Near, seen at -Depth, is Near / -Depth
    // of the window, about its centre (0.87 by default).
    double SquareShare() const { return Near / -Depth; }
    // Projection: identity, then the camera's frustum; the viewport is the client rectangle
    // in device pixels.
    void SetProjection(int width, int height);
    // Clears to the background (black, grey or pale yellow; any other value black) and sets
    // the model-view: translate Depth along z and Shift along y, push, rotate Tilt about x and
    // `angle` about z (degrees), scale Zoom in x and y.
    void BeginFrame(double angle, int background);
    // The same on a background of any colour, each channel from 0 to 1.
    void BeginFrame(double angle, double red, double green, double blue);
    // Pops the model-view and waits for the drawing to finish. The widget presents the frame.
    void EndFrame();
    // A pick pass: a selection buffer, selection mode with the name stack holding one entry,
    // and a 5 x 5 pixel pick region centred on `cursor` (device pixels from the client's
    // top-left) under the same frustum; then BeginFrame(0, Black). Draw named objects, then
    // call EndPick.
    void BeginPick(QPoint cursor);
    // Ends the pass: nothing without a hit, else the first hit's first name (NoName for an
    // object drawn without one). A region holding more names than the buffer takes still
    // reports the first. The caller tells the user, once the context is released.
    std::optional<std::uint32_t> EndPick();

    double Near = 0.02;
    double Far = 0.1;
    double Depth = -0.023;
    double Tilt = 0.0;
    double Shift = 0.0;
    double Zoom = 1.0;

private:
    void ApplyFrustum() const;
    void ClearAndPlace(double angle);

    int Viewport_[4] = {0, 0, 1, 1};
    std::vector<std::uint32_t> SelectBuffer_;
};

} // namespace tessaro

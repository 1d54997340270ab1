#include "app/InnerOpenGL.h"

#include "platform/UserInterface.h"

#include <QOpenGLContext>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

namespace tessaro {

QSurfaceFormat CInnerOpenGL::PixelFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(2, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setDepthBufferSize(32);
    return format;
}

bool CInnerOpenGL::Create(const QOpenGLContext* context)
{
    if (context == nullptr || !context->isValid()) {
        ShowMessage("ChoosePixelFormat failed", MessageKind::Error);
        return false;
    }
    // Immediate mode and the selection buffer exist only outside core and ES contexts.
    if (context->isOpenGLES() || context->format().profile() == QSurfaceFormat::CoreProfile) {
        ShowMessage("SetPixelFormat failed", MessageKind::Error);
        return false;
    }
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return true;
}

void CInnerOpenGL::ResetCamera()
{
    Near = 0.02;
    Far = 0.1;
    Depth = -0.023;
    Tilt = 0.0;
    Shift = 0.0;
    Zoom = 1.0;
}

void CInnerOpenGL::ApplyFrustum() const
{
    glFrustum(-1.0, 1.0, -1.0, 1.0, Near, Far);
}

void CInnerOpenGL::SetProjection(int width, int height)
{
    Viewport_[0] = 0;
    Viewport_[1] = 0;
    Viewport_[2] = std::max(width, 1);
    Viewport_[3] = std::max(height, 1);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    ApplyFrustum();
    glViewport(Viewport_[0], Viewport_[1], Viewport_[2], Viewport_[3]);
    glMatrixMode(GL_MODELVIEW);
}

void CInnerOpenGL::BeginFrame(double angle, int background)
{
    switch (background) {
    case Grey:
        glClearColor(155.0f / 255.0f, 155.0f / 255.0f, 155.0f / 255.0f, 1.0f);
        break;
    case PaleYellow:
        glClearColor(1.0f, 1.0f, 199.0f / 255.0f, 1.0f);
        break;
    default:
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        break;
    }
    ClearAndPlace(angle);
}

void CInnerOpenGL::BeginFrame(double angle, double red, double green, double blue)
{
    glClearColor(static_cast<GLfloat>(red), static_cast<GLfloat>(green), static_cast<GLfloat>(blue), 1.0f);
    ClearAndPlace(angle);
}

void CInnerOpenGL::ClearAndPlace(double angle)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0.0, 0.0, Depth);
    glTranslated(0.0, Shift, 0.0);
    glPushMatrix();
    glRotated(Tilt, 1.0, 0.0, 0.0);
    glRotated(angle, 0.0, 0.0, 1.0);
    glScaled(Zoom, Zoom, 1.0);
}

void CInnerOpenGL::EndFrame()
{
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glFlush();
    glFinish();
}

void CInnerOpenGL::BeginPick(QPoint cursor)
{
    SelectBuffer_.assign(SelectBufferSize, 0);
    glSelectBuffer(SelectBufferSize, SelectBuffer_.data());
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(NoName);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    // GL counts rows from the bottom of the viewport; the pick region is centred on the
    // pixel's centre.
    gluPickMatrix(cursor.x() + 0.5, Viewport_[3] - cursor.y() - 0.5, PickRegion, PickRegion, Viewport_);
    ApplyFrustum();
    glMatrixMode(GL_MODELVIEW);
    BeginFrame(0.0, Black);
}

std::optional<std::uint32_t> CInnerOpenGL::EndPick()
{
    EndFrame();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    // -1 means the buffer overflowed: it still holds the first records whole.
    const GLint hits = glRenderMode(GL_RENDER);
    std::optional<std::uint32_t> name;
    if (hits != 0) {
        // A record is: name count, minimum depth, maximum depth, the names.
        name = SelectBuffer_[0] > 0 ? SelectBuffer_[3] : NoName;
    }
    SelectBuffer_.clear();
    SelectBuffer_.shrink_to_fit();
    return name;
}

} // namespace tessaro

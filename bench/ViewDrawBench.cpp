// Frames per second of the network view's scene drawer on an off-screen OpenGL context: the
// scene drawn in immediate mode as the view draws it (one vertex call per point, every frame),
// and for comparison the same lines sent as client-side vertex arrays. Each frame clears,
// draws and waits for the renderer (glFinish), so the figure includes rasterization.
// Needs an X server: run it under xvfb-run -a for Mesa's software renderer.
#include "app/GLDrawNetwork.h"
#include "app/InnerOpenGL.h"
#include "engine/QuadTree.h"
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/SilentUserInterface.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tessaro;

constexpr int Width = 1280;
constexpr int Height = 800;

// us_counties read as the program opens it, optionally with a depth-7 quadtree over its
// vertices as a cartogram run leaves one.
struct Counties {
    CNetwork Network;
    CQuadTree Tree;
};

std::unique_ptr<Counties> LoadCounties(bool withTree)
{
    auto counties = std::make_unique<Counties>();
    counties->Network.SetKeyMode(KeyByCoordinates);
    CShpFileTranslator reader(counties->Network);
    reader.ReadShapeFile(std::string(TESSARO_SOURCE_DIR) + "/examples/us_counties/us_counties.shp", -1);
    if (withTree) {
        std::vector<double> points;
        for (const auto& polygon : counties->Network.Polygons())
            for (const auto& ring : polygon->Rings())
                points.insert(points.end(), ring->Points(), ring->Points() + 2 * ring->PointCount());
        const CExtent& e = counties->Network.Extent();
        CTreeRect root{e.MinX, e.MaxY, e.MaxX, e.MinY};
        counties->Tree.BuildForPoints(root, 7, int(points.size() / 2), points.data());
    }
    return counties;
}

// 100,000 chains of five points each, a short random walk from a random start in a 1000 x 600
// box; ends joined by coordinates.
std::unique_ptr<CNetwork> MakeChains(int count)
{
    auto network = std::make_unique<CNetwork>();
    network->SetKeyMode(KeyByCoordinates);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> x(0.0, 1000.0), y(0.0, 600.0), step(-3.0, 3.0);
    for (int c = 0; c < count; ++c) {
        double points[10];
        points[0] = x(random);
        points[1] = y(random);
        for (int i = 1; i < 5; ++i) {
            points[2 * i] = points[2 * i - 2] + step(random);
            points[2 * i + 1] = points[2 * i - 1] + step(random);
        }
        auto chain = std::make_unique<CNetworkChain>();
        chain->SetPoints(5, points);
        network->AddChain(std::move(chain));
    }
    network->BuildTopology();
    network->SetExtent(CExtent{-10.0, -10.0, 1010.0, 610.0}, true);
    return network;
}

class CTarget {
public:
    CTarget()
    {
        Surface_.setFormat(CInnerOpenGL::PixelFormat());
        Surface_.create();
        Context_.setFormat(CInnerOpenGL::PixelFormat());
        Ready_ = Context_.create() && Context_.makeCurrent(&Surface_);
        if (!Ready_)
            return;
        QOpenGLFramebufferObjectFormat format;
        format.setAttachment(QOpenGLFramebufferObject::Depth);
        Frame_ = std::make_unique<QOpenGLFramebufferObject>(Width, Height, format);
        Ready_ = Frame_->bind() && GL_.Create(&Context_);
        std::fprintf(stderr, "renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    }
    bool Ready() const { return Ready_; }
    CInnerOpenGL& GL() { return GL_; }

private:
    QOffscreenSurface Surface_;
    QOpenGLContext Context_;
    std::unique_ptr<QOpenGLFramebufferObject> Frame_;
    CInnerOpenGL GL_;
    bool Ready_ = false;
};

CTarget* Target = nullptr;

// The drawer fitted as the view fits a 3000-unit-wide canvas into a client of the target's size.
CGLDrawNetwork Fitted(const CNetwork& network, const CQuadTree* tree)
{
    CGLDrawNetwork drawer;
    drawer.Network = &network;
    drawer.QuadTree = tree;
    const CExtent& e = network.Extent();
    drawer.Scale = std::min(3000.0 / e.Width(), 1800.0 / e.Height());
    drawer.ClientWidth = Width * 254.0 / 96.0;
    drawer.ClientHeight = -Height * 254.0 / 96.0;
    return drawer;
}

void DrawFrames(benchmark::State& state, const CGLDrawNetwork& drawer, std::int64_t vertices)
{
    if (!Target->Ready()) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    for (auto _ : state) {
        Target->GL().SetProjection(Width, Height);
        Target->GL().BeginFrame(0.0, CInnerOpenGL::Black);
        drawer.DrawScene();
        Target->GL().EndFrame();
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["vertices"] = double(vertices);
}

std::int64_t RingVertices(const CNetwork& network)
{
    std::int64_t n = 0;
    for (const auto& polygon : network.Polygons())
        n += polygon->TotalPointCount();
    return n;
}

std::int64_t ChainVertices(const CNetwork& network)
{
    std::int64_t n = 0;
    for (const CNetworkChain* chain : network.Chains())
        n += chain->PointCount();
    return n;
}

void BM_ImmediateUsCounties(benchmark::State& state)
{
    static const std::unique_ptr<Counties> counties = LoadCounties(false);
    DrawFrames(state, Fitted(counties->Network, nullptr), RingVertices(counties->Network));
}

void BM_ImmediateUsCountiesWithQuadtree(benchmark::State& state)
{
    static const std::unique_ptr<Counties> counties = LoadCounties(true);
    std::vector<const CQuadTreeNode*> leaves;
    counties->Tree.Leaves(leaves);
    state.counters["leaves"] = double(leaves.size());
    DrawFrames(state, Fitted(counties->Network, &counties->Tree), RingVertices(counties->Network) + 5 * leaves.size());
}

void BM_Immediate100kChains(benchmark::State& state)
{
    static const std::unique_ptr<CNetwork> chains = MakeChains(100000);
    DrawFrames(state, Fitted(*chains, nullptr), ChainVertices(*chains));
}

// The same chains as line strips from one client-side array; the world-to-device mapping
// becomes the model-view matrix instead of a computation per vertex.
void BM_VertexArrays100kChains(benchmark::State& state)
{
    static const std::unique_ptr<CNetwork> chains = MakeChains(100000);
    if (!Target->Ready()) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    std::vector<GLdouble> xy;
    std::vector<GLint> firsts;
    std::vector<GLsizei> counts;
    for (const CNetworkChain* chain : chains->Chains()) {
        firsts.push_back(GLint(xy.size() / 2));
        counts.push_back(chain->PointCount());
        xy.insert(xy.end(), chain->Points(), chain->Points() + 2 * chain->PointCount());
    }
    // OpenGL 1.4: resolved through the context, as libGL need not export it.
    using MultiDrawArrays = void (*)(GLenum, const GLint*, const GLsizei*, GLsizei);
    const auto multiDraw =
        reinterpret_cast<MultiDrawArrays>(QOpenGLContext::currentContext()->getProcAddress("glMultiDrawArrays"));
    if (multiDraw == nullptr) {
        state.SkipWithError("no glMultiDrawArrays");
        return;
    }
    const CGLDrawNetwork drawer = Fitted(*chains, nullptr);
    const CGLDrawNetwork::DevicePoint origin = drawer.ToDevice(0.0, 0.0);
    const CGLDrawNetwork::DevicePoint unit = drawer.ToDevice(1.0, 1.0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_DOUBLE, 0, xy.data());
    for (auto _ : state) {
        Target->GL().SetProjection(Width, Height);
        Target->GL().BeginFrame(0.0, CInnerOpenGL::Black);
        glPushMatrix();
        glTranslated(origin.X, origin.Y, 0.0);
        glScaled(unit.X - origin.X, unit.Y - origin.Y, 1.0);
        glColor4d(1.0, 1.0, 0.0, 1.0);
        multiDraw(GL_LINE_STRIP, firsts.data(), counts.data(), GLsizei(counts.size()));
        glPopMatrix();
        Target->GL().EndFrame();
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["vertices"] = double(xy.size() / 2);
}

BENCHMARK(BM_ImmediateUsCounties)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ImmediateUsCountiesWithQuadtree)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_Immediate100kChains)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_VertexArrays100kChains)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    InstallUserInterface(std::make_unique<CSilentUserInterface>(false));
    CTarget target;
    Target = &target;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    InstallUserInterface(nullptr);
    return 0;
}

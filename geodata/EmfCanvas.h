#pragma once

#include "geodata/PictureCanvas.h"

#include <memory>

namespace tessaro {

// The picture as an Enhanced Metafile, its records made by libUEMF. The reference device has
// 100 pixels per millimetre, so device pixels and the logical 0.01 mm units coincide; the
// map mode is MM_HIMETRIC (y upward). Pens are created on demand and deleted once replaced;
// the brushes are stock objects (hollow) or created solid brushes.
class CEmfCanvas : public CPictureCanvas {
public:
    CEmfCanvas();
    ~CEmfCanvas() override;
    CEmfCanvas(const CEmfCanvas&) = delete;
    CEmfCanvas& operator=(const CEmfCanvas&) = delete;

    void Begin(std::int32_t width, std::int32_t height, const std::string& description) override;
    void SetPen(std::int32_t width, CPictureColor color) override;
    void SetBrush(std::optional<CPictureColor> fill) override;
    void MoveTo(CPicturePoint p) override;
    void LineTo(CPicturePoint p) override;
    void Polygon(const std::vector<CPicturePoint>& points) override;
    void Ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) override;
    void PolyPolygon(const std::vector<std::vector<CPicturePoint>>& rings) override;
    void Text(CPicturePoint at, const std::string& text, std::int32_t height, CPictureColor color) override;
    std::optional<std::string> Finish() override;

private:
    struct State;
    std::unique_ptr<State> State_;
};

} // namespace tessaro

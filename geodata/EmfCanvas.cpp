#include "geodata/EmfCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

extern "C" {
#include <uemf.h>
#include <uemf_utf.h>
}

namespace tessaro {
namespace {

// libUEMF records are malloc'ed; this owns one until it is copied into the picture.
struct RecordDeleter {
    void operator()(char* record) const { std::free(record); }
};
using RecordPtr = std::unique_ptr<char, RecordDeleter>;

// Device pixels per millimetre of the reference device: one pixel per 0.01 mm.
constexpr std::int32_t PixelsPerMillimetre = 100;

bool IsStockBrushColor(const CPictureColor& c) { return c == CPictureColor{64, 64, 64}; }

// The font of the texts, and the advance of a character in its character heights: Arial's
// widths, near enough for a reader that places every character by the record's spacing.
constexpr const char* FontFace = "Arial";

double Advance(std::uint16_t c)
{
    if (c == ' ' || c == '.' || c == ',' || c == ':' || c == '/' || c == 'i' || c == 'l' || c == 'j')
        return 0.278;
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))
        return c == 'm' || c == 'w' ? 0.833 : 0.556;
    if (c == '%' || c == 'M' || c == 'W')
        return 0.889;
    if (c == '(' || c == ')' || c == '-')
        return 0.333;
    return 0.667;
}

} // namespace

struct CEmfCanvas::State {
    std::string Bytes;
    std::uint32_t Records = 0;
    EMFHANDLES* Handles = nullptr;
    std::uint32_t Pen = 0;   // created pen selected now, 0 for a stock pen
    std::uint32_t Brush = 0; // created brush selected now, 0 for a stock brush
    std::uint32_t Font = 0;  // created font selected now, 0 before the first text
    std::int32_t FontHeight = 0;
    bool EvenOdd = false; // the fill mode of shapes of several rings has been set
    bool Begun = false;
    bool Failed = false;
    std::int32_t Width = 0;
    std::int32_t Height = 0;

    // Appends one record (taking it over); a null record marks the picture as failed.
    void Append(char* raw)
    {
        RecordPtr record(raw);
        if (!record) {
            Failed = true;
            return;
        }
        std::uint32_t size = 0;
        std::memcpy(&size, record.get() + offsetof(U_EMR, nSize), sizeof size);
        Bytes.append(record.get(), size);
        ++Records;
    }

    void DeleteCreated(std::uint32_t& handle)
    {
        if (handle != 0)
            Append(deleteobject_set(&handle, Handles));
        handle = 0;
    }

    // The device-unit box of logical points under MM_HIMETRIC (y flips), one unit wider for
    // the pen.
    static U_RECTL DeviceBounds(const std::vector<CPicturePoint>& points)
    {
        std::int32_t minX = std::numeric_limits<std::int32_t>::max();
        std::int32_t minY = minX;
        std::int32_t maxX = std::numeric_limits<std::int32_t>::min();
        std::int32_t maxY = maxX;
        for (const CPicturePoint& p : points) {
            const std::int32_t dy = p.Y == std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::max() : -p.Y;
            minX = std::min(minX, p.X);
            maxX = std::max(maxX, p.X);
            minY = std::min(minY, dy);
            maxY = std::max(maxY, dy);
        }
        U_RECTL box;
        box.left = minX;
        box.top = minY;
        box.right = maxX;
        box.bottom = maxY;
        return box;
    }
};

CEmfCanvas::CEmfCanvas() : State_(std::make_unique<State>())
{
    if (emf_htable_create(128, 128, &State_->Handles) != 0)
        State_->Failed = true;
}

CEmfCanvas::~CEmfCanvas()
{
    if (State_->Handles)
        emf_htable_free(&State_->Handles);
}

void CEmfCanvas::Begin(std::int32_t width, std::int32_t height, const std::string& description)
{
    State& s = *State_;
    s.Begun = true;
    s.Width = std::max<std::int32_t>(width, 1);
    s.Height = std::max<std::int32_t>(height, 1);

    U_RECTL bounds;
    bounds.left = 0;
    bounds.top = 0;
    bounds.right = s.Width;
    bounds.bottom = s.Height;
    const U_RECTL frame = bounds; // device pixels and 0.01 mm coincide
    const std::int32_t mmWidth = (s.Width + PixelsPerMillimetre - 1) / PixelsPerMillimetre;
    const std::int32_t mmHeight = (s.Height + PixelsPerMillimetre - 1) / PixelsPerMillimetre;
    const U_SIZEL device = sizel_set(mmWidth * PixelsPerMillimetre, mmHeight * PixelsPerMillimetre);
    const U_SIZEL millimetres = sizel_set(mmWidth, mmHeight);

    size_t length = 0;
    uint16_t* text = U_Utf8ToUtf16le(description.c_str(), 0, &length);
    if (!text) {
        s.Failed = true;
        return;
    }
    std::uint32_t characters = 0;
    while (text[characters] != 0)
        ++characters;
    s.Append(U_EMRHEADER_set(bounds, frame, nullptr, characters + 1, text, device, millimetres, 0));
    std::free(text);
    s.Append(U_EMRSETMAPMODE_set(U_MM_HIMETRIC));
    s.Append(U_EMRSETBKMODE_set(U_TRANSPARENT));
}

void CEmfCanvas::SetPen(std::int32_t width, CPictureColor color)
{
    State& s = *State_;
    const std::uint32_t previous = s.Pen;
    if (width == 0 && color == CPictureColor{}) {
        s.Append(U_EMRSELECTOBJECT_set(U_BLACK_PEN));
        s.Pen = 0;
    } else {
        // Marked geometric: the width is in logical units (0.01 mm), as for any pen wider than 1.
        const U_LOGPEN pen = logpen_set(U_PS_SOLID | U_PS_GEOMETRIC, point32_set(width, 0), colorref3_set(color.Red, color.Green, color.Blue));
        std::uint32_t handle = 0;
        s.Append(createpen_set(&handle, s.Handles, pen));
        s.Append(selectobject_set(handle, s.Handles));
        s.Pen = handle;
    }
    std::uint32_t old = previous;
    s.DeleteCreated(old);
}

void CEmfCanvas::SetBrush(std::optional<CPictureColor> fill)
{
    State& s = *State_;
    const std::uint32_t previous = s.Brush;
    if (!fill) {
        s.Append(U_EMRSELECTOBJECT_set(U_NULL_BRUSH));
        s.Brush = 0;
    } else if (IsStockBrushColor(*fill)) {
        s.Append(U_EMRSELECTOBJECT_set(U_DKGRAY_BRUSH));
        s.Brush = 0;
    } else {
        const U_LOGBRUSH brush = logbrush_set(U_BS_SOLID, colorref3_set(fill->Red, fill->Green, fill->Blue), 0);
        std::uint32_t handle = 0;
        s.Append(createbrushindirect_set(&handle, s.Handles, brush));
        s.Append(selectobject_set(handle, s.Handles));
        s.Brush = handle;
    }
    std::uint32_t old = previous;
    s.DeleteCreated(old);
}

void CEmfCanvas::MoveTo(CPicturePoint p) { State_->Append(U_EMRMOVETOEX_set(point32_set(p.X, p.Y))); }

void CEmfCanvas::LineTo(CPicturePoint p) { State_->Append(U_EMRLINETO_set(point32_set(p.X, p.Y))); }

void CEmfCanvas::Polygon(const std::vector<CPicturePoint>& points)
{
    if (points.empty())
        return;
    std::vector<U_POINTL> record;
    record.reserve(points.size());
    for (const CPicturePoint& p : points)
        record.push_back(point32_set(p.X, p.Y));
    State_->Append(U_EMRPOLYGON_set(State::DeviceBounds(points), static_cast<std::uint32_t>(record.size()), record.data()));
}

void CEmfCanvas::Ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
{
    U_RECTL box;
    box.left = left;
    box.top = top;
    box.right = right;
    box.bottom = bottom;
    State_->Append(U_EMRELLIPSE_set(box));
}

void CEmfCanvas::PolyPolygon(const std::vector<std::vector<CPicturePoint>>& rings)
{
    State& s = *State_;
    std::vector<std::uint32_t> counts;
    std::vector<U_POINTL> record;
    std::vector<CPicturePoint> all;
    for (const std::vector<CPicturePoint>& ring : rings) {
        if (ring.empty())
            continue;
        counts.push_back(static_cast<std::uint32_t>(ring.size()));
        for (const CPicturePoint& p : ring)
            record.push_back(point32_set(p.X, p.Y));
        all.insert(all.end(), ring.begin(), ring.end());
    }
    if (record.empty())
        return;
    if (!s.EvenOdd) {
        s.Append(U_EMRSETPOLYFILLMODE_set(U_ALTERNATE));
        s.EvenOdd = true;
    }
    s.Append(U_EMRPOLYPOLYGON_set(State::DeviceBounds(all), static_cast<std::uint32_t>(counts.size()), counts.data(),
                                  static_cast<std::uint32_t>(record.size()), record.data()));
}

void CEmfCanvas::Text(CPicturePoint at, const std::string& text, std::int32_t height, CPictureColor color)
{
    State& s = *State_;
    size_t length = 0;
    std::unique_ptr<std::uint16_t, void (*)(void*)> utf16(U_Utf8ToUtf16le(text.c_str(), 0, &length), std::free);
    if (!utf16) {
        s.Failed = true;
        return;
    }
    std::uint32_t units = 0;
    while (utf16.get()[units] != 0)
        ++units;
    if (units == 0)
        return;
    if (s.Font == 0 || s.FontHeight != height) {
        std::unique_ptr<std::uint16_t, void (*)(void*)> face(U_Utf8ToUtf16le(FontFace, 0, &length), std::free);
        // A negative height asks for the characters' height rather than the cell's.
        const U_LOGFONT font =
            logfont_set(-height, 0, 0, 0, U_FW_NORMAL, 0, 0, 0, U_DEFAULT_CHARSET, U_OUT_DEFAULT_PRECIS,
                        U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY, U_DEFAULT_PITCH | U_FF_SWISS, face.get());
        std::uint32_t previous = s.Font;
        s.Append(extcreatefontindirectw_set(&s.Font, s.Handles, reinterpret_cast<const char*>(&font), nullptr));
        s.Append(selectobject_set(s.Font, s.Handles));
        s.DeleteCreated(previous);
        s.FontHeight = height;
    }
    std::vector<std::uint32_t> spacing(units);
    double width = 0.0;
    for (std::uint32_t i = 0; i < units; ++i) {
        spacing[i] = static_cast<std::uint32_t>(std::lround(Advance(utf16.get()[i]) * height));
        width += spacing[i];
    }
    const std::vector<CPicturePoint> corners{{at.X, at.Y + height},
                                             {at.X + static_cast<std::int32_t>(width), at.Y - height / 4}};
    const U_RECTL bounds = State::DeviceBounds(corners);
    s.Append(U_EMRSETTEXTCOLOR_set(colorref3_set(color.Red, color.Green, color.Blue)));
    s.Append(U_EMRSETTEXTALIGN_set(U_TA_BASELINE | U_TA_LEFT));
    RecordPtr run(emrtext_set(point32_set(at.X, at.Y), units, 2, utf16.get(), U_ETO_NONE, bounds, spacing.data()));
    if (!run) {
        s.Failed = true;
        return;
    }
    s.Append(U_EMREXTTEXTOUTW_set(bounds, U_GM_COMPATIBLE, 1.0f, 1.0f, reinterpret_cast<PU_EMRTEXT>(run.get())));
}

std::optional<std::string> CEmfCanvas::Finish()
{
    State& s = *State_;
    if (!s.Begun || s.Failed)
        return std::nullopt;
    if (s.Font != 0) {
        s.Append(U_EMRSELECTOBJECT_set(U_SYSTEM_FONT));
        s.DeleteCreated(s.Font);
    }
    // Put the stock objects back and delete what we created.
    if (s.Pen != 0) {
        s.Append(U_EMRSELECTOBJECT_set(U_BLACK_PEN));
        s.DeleteCreated(s.Pen);
    }
    if (s.Brush != 0) {
        s.Append(U_EMRSELECTOBJECT_set(U_WHITE_BRUSH));
        s.DeleteCreated(s.Brush);
    }
    EMFTRACK track{};
    s.Append(U_EMREOF_set(0, nullptr, &track));
    if (s.Failed || s.Bytes.size() > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;

    // The header's totals: bytes, records and the handle table's size (slot 0 is reserved).
    const std::uint32_t bytes = static_cast<std::uint32_t>(s.Bytes.size());
    const std::uint16_t handles = static_cast<std::uint16_t>(std::min<std::uint32_t>(s.Handles->peak + 1, 0xFFFF));
    std::memcpy(s.Bytes.data() + offsetof(U_EMRHEADER, nBytes), &bytes, sizeof bytes);
    std::memcpy(s.Bytes.data() + offsetof(U_EMRHEADER, nRecords), &s.Records, sizeof s.Records);
    std::memcpy(s.Bytes.data() + offsetof(U_EMRHEADER, nHandles), &handles, sizeof handles);
    return s.Bytes;
}

} // namespace tessaro

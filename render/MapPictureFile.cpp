#include "render/MapPictureFile.h"

#include "platform/AtomicFileWriter.h"
#include "platform/InputFiles.h"
#include "render/MapPicture.h"

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace tessaro {
namespace {

constexpr double InchesPerMeter = 1.0 / 0.0254;

std::string LowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

QByteArray PngBytes(const CMapPicture& picture, const PictureResolution& resolution)
{
    const QSizeF page = picture.PageSize();
    const double dpi = resolution.WidthPixels
                           ? *resolution.WidthPixels * 72.0 / page.width()
                           : static_cast<double>(resolution.Dpi.value_or(PictureResolution::DefaultDpi));
    const int width = std::max(1, static_cast<int>(std::lround(page.width() * dpi / 72.0)));
    const int height = std::max(1, static_cast<int>(std::lround(page.height() * dpi / 72.0)));
    QImage image(width, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(static_cast<int>(std::lround(dpi * InchesPerMeter)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dpi * InchesPerMeter)));
    {
        QPainter painter(&image);
        picture.Draw(painter, QRectF(0.0, 0.0, width, height));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// In points: the page's unit, so the SVG's user units are points too.
QByteArray SvgBytes(const CMapPicture& picture, const std::string& title)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setResolution(72);
    svg.setSize(picture.PageSize().toSize());
    svg.setViewBox(QRectF(QPointF(), picture.PageSize()));
    svg.setTitle(QString::fromStdString(title));
    QPainter painter(&svg);
    picture.Draw(painter, QRectF(QPointF(), picture.PageSize()));
    painter.end();
    return bytes;
}

QByteArray PdfBytes(const CMapPicture& picture, const std::string& title)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setPageSize(QPageSize(picture.PageSize(), QPageSize::Point));
    pdf.setPageMargins(QMarginsF());
    pdf.setTitle(QString::fromStdString(title));
    pdf.setCreator(QStringLiteral("Tessaro"));
    QPainter painter(&pdf);
    picture.Draw(painter, QRectF(0.0, 0.0, pdf.width(), pdf.height()));
    painter.end();
    return bytes;
}

} // namespace

std::optional<PictureFormat> PictureFormatOf(const std::string& path)
{
    const std::string lower = LowerCase(path);
    const auto endsWith = [&lower](const char* ending) {
        const size_t n = std::strlen(ending);
        return lower.size() > n && lower.compare(lower.size() - n, n, ending) == 0;
    };
    if (endsWith(".png"))
        return PictureFormat::Png;
    if (endsWith(".svg"))
        return PictureFormat::Svg;
    if (endsWith(".pdf"))
        return PictureFormat::Pdf;
    return std::nullopt;
}

std::optional<std::string> CheckPicturePath(const std::string& path, const CInputFiles& inputs)
{
    if (!PictureFormatOf(path))
        return "Cannot write the map picture " + path + ": its name must end in .png, .svg or .pdf.";
    return inputs.CheckOutput(path);
}

std::optional<std::string> WriteMapPicture(const CMapPicture& picture, const std::string& path,
                                           const PictureResolution& resolution, const CInputFiles& inputs)
{
    if (auto refusal = CheckPicturePath(path, inputs))
        return refusal;
    const std::string title = picture.Title();
    QByteArray bytes;
    switch (*PictureFormatOf(path)) {
    case PictureFormat::Png:
        bytes = PngBytes(picture, resolution);
        break;
    case PictureFormat::Svg:
        bytes = SvgBytes(picture, title);
        break;
    case PictureFormat::Pdf:
        bytes = PdfBytes(picture, title);
        break;
    }
    if (bytes.isEmpty())
        return "Cannot draw the map picture " + path + ".";
    CAtomicFileWriter writer;
    if (!writer.Open(path) || !writer.Write(bytes.toStdString()) || !writer.Commit())
        return "Cannot write the map picture " + path + ": " + std::strerror(writer.LastError()) + ".";
    return std::nullopt;
}

} // namespace tessaro

#include "app/Icons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// Resources of a static library are registered explicitly; the name is the .qrc file's.
static void InitIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace tessaro {
namespace {

// The SVG resource drawn at `size` pixels square; a null pixmap when it is missing or invalid.
QPixmap RenderPixmap(const QString& path, int size)
{
    static const bool registered = (InitIconResources(), true);
    (void)registered;
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QIcon RenderSvg(const QString& path)
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        const QPixmap pixmap = RenderPixmap(path, size);
        if (pixmap.isNull())
            return {};
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QIcon CommandIcon(const QString& name)
{
    return RenderSvg(QStringLiteral(":/icons/%1.svg").arg(name));
}

QIcon ApplicationIcon()
{
    return RenderSvg(QStringLiteral(":/icons/tessaro.svg"));
}

std::optional<QCursor> ZoomCursor(const QString& name)
{
    // Drawn on a 32-pixel grid with the lens centred at (13, 13).
    constexpr int Size = 32;
    const QPixmap pixmap = RenderPixmap(QStringLiteral(":/icons/%1.svg").arg(name), Size);
    if (pixmap.isNull())
        return std::nullopt;
    return QCursor(pixmap, 13, 13);
}

} // namespace tessaro

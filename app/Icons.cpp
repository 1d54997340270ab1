#include "app/Icons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// Resources of a static library are registered explicitly; the name is the .qrc file's.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace tessaro {
namespace {

QIcon RenderSvg(const QString& path)
{
    static const bool registered = (InitIconResources(), true);
    (void)registered;
    QSvgRenderer renderer(path);
    QIcon icon;
    if (!renderer.isValid())
        return icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QIcon CommandIcon(const QString& name) { return RenderSvg(QStringLiteral(":/icons/%1.svg").arg(name)); }

QIcon ApplicationIcon() { return RenderSvg(QStringLiteral(":/icons/tessaro.svg")); }

} // namespace tessaro

#pragma once

#include <QCursor>
#include <QIcon>
#include <QString>

#include <optional>

namespace tessaro {

// A toolbar icon by name ("new", "zoom-in", ...), drawn from the program's SVG resources at the
// usual toolbar sizes. Rendered here rather than through Qt's SVG icon plugin, so the icons
// need no plugin at run time.
QIcon CommandIcon(const QString& name);
// The program's own icon, for the windows and the About box.
QIcon ApplicationIcon();
// The view's zoom cursor, a magnifier with its hot spot in the lens; nothing when the resource
// `name` is missing or unreadable.
std::optional<QCursor> ZoomCursor(const QString& name = QStringLiteral("zoom-cursor"));

} // namespace tessaro

#pragma once

#include <QIcon>
#include <QString>

namespace tessaro {

// A toolbar icon by name ("new", "zoom-in", ...), drawn from the program's SVG resources at the
// usual toolbar sizes. Rendered here rather than through Qt's SVG icon plugin, so the icons
// need no plugin at run time.
QIcon CommandIcon(const QString& name);
// The program's own icon, for the windows and the About box.
QIcon ApplicationIcon();

} // namespace tessaro

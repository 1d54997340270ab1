#pragma once

#include "geodata/PictureCanvas.h"

#include <QColor>

#include <cstdint>

namespace tessaro {

// A picture colour as Qt's, and back (opaque, 8 bits a channel).
inline QColor ToQColor(const CPictureColor& c)
{
    return QColor(c.Red, c.Green, c.Blue);
}

inline CPictureColor FromQColor(const QColor& c)
{
    return {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
            static_cast<std::uint8_t>(c.blue())};
}

} // namespace tessaro

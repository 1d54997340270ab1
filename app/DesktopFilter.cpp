#include "app/DesktopFilter.h"

#include <QString>

namespace tessaro {
namespace {

// "Shapefile(*.shp;*.shx;*.dbf)" -> "Shapefile"; a description without parentheses stays.
QString DescriptionWords(QString description)
{
    description = description.trimmed();
    if (description.endsWith(QLatin1Char(')'))) {
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0)
            description = description.left(open).trimmed();
    }
    return description;
}

QString QtPatterns(const QString& patterns)
{
    QStringList cleaned;
    for (const QString& pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        if (trimmed.isEmpty())
            continue;
        cleaned.append(trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    return cleaned.join(QLatin1Char(' '));
}

} // namespace

QStringList QtNameFilters(const std::string& desktopFilter)
{
    const QStringList parts = QString::fromStdString(desktopFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = QtPatterns(parts[i + 1]);
        if (parts[i].trimmed().isEmpty() || patterns.isEmpty())
            continue;
        filters.append(DescriptionWords(parts[i]) + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters;
}

} // namespace tessaro

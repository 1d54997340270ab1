#include "app/RecentFileList.h"

#include <QFileInfo>
#include <QSettings>

namespace tessaro {
namespace {

const QString Group = QStringLiteral("Recent File List");

QString Key(int index) { return QStringLiteral("File%1").arg(index + 1); }

QString Resolved(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

bool CRecentFileList::SameFile(const QString& a, const QString& b) { return Resolved(a) == Resolved(b); }

void CRecentFileList::Load(QSettings& settings)
{
    Files_.clear();
    settings.beginGroup(Group);
    for (int i = 0; i < Capacity; ++i) {
        const QString path = settings.value(Key(i)).toString();
        if (!path.isEmpty() && Files_.size() < Capacity)
            Files_.append(path);
    }
    settings.endGroup();
}

void CRecentFileList::Save(QSettings& settings) const
{
    settings.beginGroup(Group);
    for (int i = 0; i < Capacity; ++i) {
        if (i < Files_.size())
            settings.setValue(Key(i), Files_[i]);
        else
            settings.remove(Key(i));
    }
    settings.endGroup();
}

void CRecentFileList::Add(const QString& path)
{
    Remove(path);
    Files_.prepend(QFileInfo(path).absoluteFilePath());
    while (Files_.size() > Capacity)
        Files_.removeLast();
}

void CRecentFileList::Remove(const QString& path)
{
    Files_.removeIf([&path](const QString& entry) { return SameFile(entry, path); });
}

} // namespace tessaro

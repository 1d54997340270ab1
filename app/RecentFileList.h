#pragma once

#include <QString>
#include <QStringList>

class QSettings;

namespace tessaro {

// The recent-file list: the last files opened, newest first, at most Capacity of them, kept in
// the per-user settings as "Recent File List/File1" ... "File8".
class CRecentFileList {
public:
    static constexpr int Capacity = 8;

    void Load(QSettings& settings);
    void Save(QSettings& settings) const;

    // Puts the file at the head; an entry for the same file (the same absolute path, links
    // resolved) moves there instead of appearing twice.
    void Add(const QString& path);
    void Remove(const QString& path);

    const QStringList& Files() const { return Files_; }

    // The same file, for paths given in different ways.
    static bool SameFile(const QString& a, const QString& b);

private:
    QStringList Files_;
};

} // namespace tessaro

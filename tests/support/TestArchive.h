#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Writes ZIP archives with whatever entries a test needs, including ones no well-behaved tool
// would write ("../evil", absolute paths, links that point outside).
namespace TestArchive {

struct Entry {
    enum class Kind { file, directory, symlink };
    Kind kind = Kind::file;
    QString path;
    QByteArray content; // the data of a file, the target of a link
    int mode = 0644;

    static Entry file(const QString& path, const QByteArray& content, int mode = 0644) {
        return {Kind::file, path, content, mode};
    }
    static Entry directory(const QString& path) { return {Kind::directory, path, {}, 0755}; }
    static Entry symlink(const QString& path, const QByteArray& target) {
        return {Kind::symlink, path, target, 0777};
    }
};

bool writeZip(const QString& path, const QList<Entry>& entries);

// A runnable install folder "Orlavo.app" under `parent`: bin/orlavo prints `version`, and lib/
// holds a library with the usual versioned name and a relative link to it.
bool makeAppFolder(const QString& parent, const QString& version);

} // namespace TestArchive

#include "TestArchive.h"

#include <QDir>
#include <QFile>

#include <archive.h>
#include <archive_entry.h>

namespace TestArchive {

bool writeZip(const QString& path, const QList<Entry>& entries) {
    archive* writer = archive_write_new();
    bool ok = archive_write_set_format_zip(writer) == ARCHIVE_OK &&
              archive_write_open_filename(writer, QFile::encodeName(path).constData()) == ARCHIVE_OK;
    for (const Entry& item : entries) {
        if (!ok) {
            break;
        }
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, item.path.toUtf8().constData());
        archive_entry_set_perm(entry, item.mode);
        archive_entry_set_mtime(entry, 1'700'000'000, 0);
        switch (item.kind) {
        case Entry::Kind::file:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_size(entry, item.content.size());
            break;
        case Entry::Kind::directory:
            archive_entry_set_filetype(entry, AE_IFDIR);
            break;
        case Entry::Kind::symlink:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, item.content.constData());
            break;
        }
        ok = archive_write_header(writer, entry) == ARCHIVE_OK;
        if (ok && item.kind == Entry::Kind::file && !item.content.isEmpty()) {
            ok = archive_write_data(writer, item.content.constData(), item.content.size()) ==
                 item.content.size();
        }
        archive_entry_free(entry);
    }
    ok = archive_write_close(writer) == ARCHIVE_OK && ok;
    archive_write_free(writer);
    return ok;
}

bool makeAppFolder(const QString& parent, const QString& version) {
    const QDir app(QDir(parent).filePath(QStringLiteral("Orlavo.app")));
    if (!app.mkpath(QStringLiteral("bin")) || !app.mkpath(QStringLiteral("lib"))) {
        return false;
    }
    QFile executable(app.filePath(QStringLiteral("bin/orlavo")));
    QFile library(app.filePath(QStringLiteral("lib/libdemo.so.1")));
    if (!executable.open(QIODevice::WriteOnly) || !library.open(QIODevice::WriteOnly)) {
        return false;
    }
    executable.write("#!/bin/sh\necho " + version.toUtf8() + "\n");
    library.write("library " + version.toUtf8());
    executable.close();
    library.close();
    return executable.setPermissions(executable.permissions() | QFile::ExeOwner | QFile::ExeGroup |
                                     QFile::ExeOther) &&
           QFile::link(QStringLiteral("libdemo.so.1"), app.filePath(QStringLiteral("lib/libdemo.so")));
}

} // namespace TestArchive

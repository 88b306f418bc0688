#include "TemporaryEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <ctime>
#include <optional>

TemporaryEnvironment::TemporaryEnvironment() {
    QDir(m_directory.path()).mkpath(QStringLiteral("Documents"));
    set("XDG_CONFIG_HOME", m_directory.filePath(QStringLiteral("config")).toUtf8());
    set("XDG_DATA_HOME", m_directory.filePath(QStringLiteral("data")).toUtf8());
    set("XDG_DOCUMENTS_DIR", m_directory.filePath(QStringLiteral("Documents")).toUtf8());
}

TemporaryEnvironment::~TemporaryEnvironment() {
    for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it) {
        if (it->second) {
            qputenv(it->first.constData(), *it->second);
        } else {
            qunsetenv(it->first.constData());
        }
    }
    tzset();
}

void TemporaryEnvironment::set(const char* name, const QByteArray& value) {
    m_saved.append(
        {QByteArray(name), qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
    qputenv(name, value);
    tzset();
}

QString TemporaryEnvironment::write(const QString& name, const QByteArray& bytes) const {
    const QString file = QDir(path()).filePath(name);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile out(file);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(bytes);
    }
    return file;
}

QByteArray TemporaryEnvironment::read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

#include "ui/settings/FeatureSuggestion.h"

#include <QFile>
#include <QStringList>

namespace FeatureSuggestion {

QString body(const QString& text, const QString& version, const QString& build, const QString& systemName) {
    const auto known = [](const QString& value) { return value.isEmpty() ? QStringLiteral("?") : value; };
    return text + QStringLiteral("\n\n---\nOrlavo v") + known(version) + QStringLiteral(" (") + known(build) +
           QStringLiteral(")\n") + systemName;
}

QUrl mailtoUrl(const QString& address, const QString& text, const QString& version, const QString& build,
               const QString& systemName) {
    const QByteArray encoded = "mailto:" + QUrl::toPercentEncoding(address, "@") +
                               "?subject=" + QUrl::toPercentEncoding(subject) +
                               "&body=" + QUrl::toPercentEncoding(body(text, version, build, systemName));
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

QString systemName(const QString& osReleasePath) {
    const QStringList candidates =
        osReleasePath.isEmpty()
            ? QStringList{QStringLiteral("/etc/os-release"), QStringLiteral("/usr/lib/os-release")}
            : QStringList{osReleasePath};
    for (const QString& path : candidates) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            continue;
        }
        // Shell-style assignments; the value may be quoted.
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (!line.startsWith(QLatin1String("PRETTY_NAME="))) {
                continue;
            }
            QString value = line.mid(12);
            if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
                value.back() == value.front()) {
                value = value.mid(1, value.size() - 2);
            }
            return value.isEmpty() ? QStringLiteral("Linux") : QStringLiteral("Linux, ") + value;
        }
        return QStringLiteral("Linux");
    }
    return QStringLiteral("Linux");
}

} // namespace FeatureSuggestion

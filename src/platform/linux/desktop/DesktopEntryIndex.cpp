#include "platform/linux/desktop/DesktopEntryIndex.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>

namespace {

// Desktop files are small; anything far larger is not one.
constexpr qint64 maxFileSize = 1 << 20;

QString unescape(const QString& value) {
    QString result;
    result.reserve(value.size());
    for (qsizetype index = 0; index < value.size(); ++index) {
        const QChar character = value.at(index);
        if (character != QLatin1Char('\\') || index + 1 == value.size()) {
            result.append(character);
            continue;
        }
        const QChar escaped = value.at(++index);
        switch (escaped.unicode()) {
        case 's':
            result.append(QLatin1Char(' '));
            break;
        case 'n':
            result.append(QLatin1Char('\n'));
            break;
        case 't':
            result.append(QLatin1Char('\t'));
            break;
        case 'r':
            result.append(QLatin1Char('\r'));
            break;
        default:
            result.append(escaped);
            break;
        }
    }
    return result;
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::parse(const QByteArray& contents, const QString& id) {
    DesktopEntry entry;
    entry.id = id;
    bool inMainGroup = false;
    bool isApplication = false;
    bool hidden = false;
    for (const QByteArray& rawLine : contents.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup) {
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            continue;
        }
        // Localised keys ("Name[de]") are skipped: the names are matched against English words.
        const QString key = line.left(equals).trimmed();
        const QString value = unescape(line.mid(equals + 1).trimmed());
        if (key == QLatin1String("Type")) {
            isApplication = value == QLatin1String("Application");
        } else if (key == QLatin1String("Name")) {
            entry.name = value;
        } else if (key == QLatin1String("StartupWMClass")) {
            entry.startupWmClass = value;
        } else if (key == QLatin1String("Categories")) {
            entry.categories = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        } else if (key == QLatin1String("Hidden")) {
            hidden = value == QLatin1String("true");
        }
    }
    if (!isApplication || hidden || entry.name.isEmpty()) {
        return std::nullopt;
    }
    return entry;
}

QStringList DesktopEntryIndex::applicationDirectories() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty()) {
        dataHome = QDir::homePath() + QLatin1String("/.local/share");
    }
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty()) {
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    }
    QStringList directories{dataHome + QLatin1String("/applications")};
    for (const QString& directory : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        directories << directory + QLatin1String("/applications");
    }
    return directories;
}

DesktopEntryIndex::DesktopEntryIndex(const QStringList& directories) {
    QSet<QString> seenIds;
    for (const QString& directory : directories) {
        const QDir root(directory);
        QDirIterator files(directory, {QStringLiteral("*.desktop")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            // The id of applications/vendor/app.desktop is "vendor-app".
            QString id = root.relativeFilePath(path);
            id.chop(int(sizeof(".desktop") - 1));
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (seenIds.contains(id)) {
                continue;
            }
            seenIds.insert(id);
            QFile file(path);
            if (file.size() > maxFileSize || !file.open(QIODevice::ReadOnly)) {
                continue;
            }
            std::optional<DesktopEntry> entry = DesktopEntry::parse(file.readAll(), id);
            if (!entry) {
                continue;
            }
            const std::size_t index = m_entries.size();
            const QString wmClass = entry->startupWmClass.toLower();
            if (!wmClass.isEmpty() && !m_byWmClass.contains(wmClass)) {
                m_byWmClass.insert(wmClass, index);
            }
            const QString lowerId = id.toLower();
            m_byId.insert(lowerId, index);
            const qsizetype lastDot = lowerId.lastIndexOf(QLatin1Char('.'));
            if (lastDot >= 0 && !m_byId.contains(lowerId.mid(lastDot + 1))) {
                m_byId.insert(lowerId.mid(lastDot + 1), index);
            }
            m_entries.push_back(std::move(*entry));
        }
    }
}

const DesktopEntry* DesktopEntryIndex::find(const QString& windowClass, const QString& instanceName) const {
    for (const QString& key : {windowClass, instanceName}) {
        if (key.isEmpty()) {
            continue;
        }
        if (const auto found = m_byWmClass.constFind(key.toLower()); found != m_byWmClass.constEnd()) {
            return &m_entries[found.value()];
        }
    }
    for (const QString& key : {windowClass, instanceName}) {
        if (const DesktopEntry* entry = findOne(key)) {
            return entry;
        }
    }
    return nullptr;
}

const DesktopEntry* DesktopEntryIndex::findOne(const QString& key) const {
    if (key.isEmpty()) {
        return nullptr;
    }
    const auto found = m_byId.constFind(key.toLower());
    return found == m_byId.constEnd() ? nullptr : &m_entries[found.value()];
}

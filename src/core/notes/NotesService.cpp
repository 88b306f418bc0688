#include "core/notes/NotesService.h"

#include "core/common/ErrorCode.h"
#include "core/common/FileError.h"
#include "core/files/FileBookmark.h"
#include "core/paths/AppPaths.h"
#include "core/ports/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unistd.h>

namespace {

PTTError readError(const QString& path, int error) {
    const FileError code = error == EACCES || error == EPERM ? FileError::readNoPermission
                           : error == ENOENT                 ? FileError::readNoSuchFile
                                                             : FileError::readUnknown;
    return makeError(code,
                     QStringLiteral(u"The file “%1” couldn’t be opened: %2.")
                         .arg(QFileInfo(path).fileName(), QString::fromLocal8Bit(std::strerror(error))));
}

PTTError writeError(const QString& path, int error) {
    const FileError code = error == EACCES || error == EPERM ? FileError::writeNoPermission
                           : error == ENOSPC || error == EDQUOT || error == EFBIG ? FileError::writeOutOfSpace
                           : error == EROFS ? FileError::writeVolumeReadOnly
                                            : FileError::writeUnknown;
    return makeError(code,
                     QStringLiteral(u"The file “%1” couldn’t be saved: %2.")
                         .arg(QFileInfo(path).fileName(), QString::fromLocal8Bit(std::strerror(error))));
}

PTTError folderError(const QString& folder) {
    return makeError(FileError::writeNoPermission,
                     QStringLiteral(u"The folder “%1” couldn’t be created.").arg(folder));
}

// Closes the descriptor on every path; a failing close after a successful write changes nothing.
class FileDescriptor final {
public:
    explicit FileDescriptor(int descriptor)
        : m_descriptor(descriptor) {}
    ~FileDescriptor() {
        if (m_descriptor >= 0) {
            ::close(m_descriptor);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_descriptor; }
    bool isValid() const { return m_descriptor >= 0; }

private:
    int m_descriptor;
};

int lockExclusively(int descriptor) {
    while (::flock(descriptor, LOCK_EX) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

// The whole file, read through the locked descriptor. Answers errno on failure.
int readAll(int descriptor, QByteArray& contents) {
    contents.clear();
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t count = ::pread(descriptor, buffer, sizeof buffer, offset);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (count == 0) {
            return 0;
        }
        contents.append(buffer, count);
        offset += count;
    }
}

int writeAllAt(int descriptor, const QByteArray& bytes, off_t offset) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::pwrite(descriptor, bytes.constData() + written,
                                       static_cast<size_t>(bytes.size() - written), offset + written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        written += count;
    }
    return 0;
}

int countEntries(const QByteArray& contents) {
    static const QByteArray marker("- **");
    int count = 0;
    qsizetype lineStart = 0;
    while (lineStart <= contents.size()) {
        if (contents.size() - lineStart >= marker.size() &&
            std::memcmp(contents.constData() + lineStart, marker.constData(), marker.size()) == 0) {
            ++count;
        }
        const qsizetype lineFeed = contents.indexOf('\n', lineStart);
        if (lineFeed < 0) {
            break;
        }
        lineStart = lineFeed + 1;
    }
    return count;
}

std::unique_ptr<icu::DateFormat> localizedFormat(const icu::Locale& locale, const icu::TimeZone& zone,
                                                 const char16_t* skeleton, const char16_t* fallback) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    icu::UnicodeString pattern(fallback);
    if (U_SUCCESS(status)) {
        const icu::UnicodeString best = generator->getBestPattern(icu::UnicodeString(skeleton), status);
        if (U_SUCCESS(status) && !best.isEmpty()) {
            pattern = best;
        }
    }
    status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(pattern, locale, status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        format = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString(fallback), icu::Locale::getRoot(),
                                                         status);
        if (U_FAILURE(status)) {
            return nullptr;
        }
    }
    format->setTimeZone(zone);
    return format;
}

QString formatMoment(const icu::DateFormat* format, const QDateTime& moment) {
    if (!format) {
        return moment.toString(Qt::ISODate);
    }
    icu::UnicodeString text;
    format->format(static_cast<UDate>(moment.toMSecsSinceEpoch()), text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace

NotesService::NotesService(const Clock& clock, const QString& localeName, const QString& timeZoneId)
    : m_clock(clock) {
    const QString name = localeName.isEmpty() ? userLocaleName() : localeName;
    const icu::Locale locale = icu::Locale::createCanonical(name.toUtf8().constData());
    std::unique_ptr<icu::TimeZone> zone(timeZoneId.isEmpty()
                                            ? icu::TimeZone::createDefault()
                                            : icu::TimeZone::createTimeZone(icu::UnicodeString(
                                                  reinterpret_cast<const UChar*>(timeZoneId.utf16()),
                                                  static_cast<int32_t>(timeZoneId.size()))));
    m_dayFormat = localizedFormat(locale, *zone, u"EEEEdMMMMy", u"EEEE d MMMM y");
    m_timeFormat = localizedFormat(locale, *zone, u"HHmm", u"HH:mm");
}

NotesService::~NotesService() = default;

QString NotesService::userLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        QString value = qEnvironmentVariable(variable);
        if (value.isEmpty()) {
            continue;
        }
        // "es_ES.UTF-8@euro" → "es_ES"; the C locale reads as American English without a region's quirks.
        value = value.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
        if (value == QLatin1String("C") || value == QLatin1String("POSIX")) {
            return QStringLiteral(u"en_US_POSIX");
        }
        return value;
    }
    return QStringLiteral(u"en_US_POSIX");
}

QString NotesService::dayHeading(const QDateTime& moment) const {
    return QStringLiteral(u"## ") + formatMoment(m_dayFormat.get(), moment);
}

QString NotesService::timeOfDay(const QDateTime& moment) const {
    return formatMoment(m_timeFormat.get(), moment);
}

Result<QString> NotesService::defaultNotesPath() const {
    const QString folder = AppPaths::documentsDirectory();
    if (!QDir().mkpath(folder)) {
        return folderError(folder);
    }
    return folder + QLatin1Char('/') + defaultFileName;
}

Result<NoteSaveResult> NotesService::saveNote(const QString& text,
                                              const std::optional<QByteArray>& bookmarkData) {
    auto target = bookmarkData ? FileBookmark::resolve(*bookmarkData) : defaultNotesPath();
    if (!target) {
        return target.error();
    }
    const QString path = target.value();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return folderError(folder);
    }

    const QDateTime moment = m_clock.now();
    const QByteArray heading = dayHeading(moment).toUtf8();
    const QByteArray entry =
        (QStringLiteral(u"- **") + timeOfDay(moment) + QStringLiteral(u"** — ") + text + QLatin1Char('\n'))
            .toUtf8();
    const QByteArray encodedPath = QFile::encodeName(path);

    // Another process may replace the file between our open and our lock (a sync tool, an editor
    // saving by rename); the lock is then on a file nobody reads, so open the path again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const FileDescriptor file(::open(encodedPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
        if (!file.isValid()) {
            return writeError(path, errno);
        }
        if (const int error = lockExclusively(file.get())) {
            return writeError(path, error);
        }
        struct stat opened {};
        struct stat current {};
        if (::fstat(file.get(), &opened) != 0) {
            return readError(path, errno);
        }
        if (::stat(encodedPath.constData(), &current) != 0 || current.st_dev != opened.st_dev ||
            current.st_ino != opened.st_ino) {
            continue;
        }

        QByteArray contents;
        if (const int error = readAll(file.get(), contents)) {
            return readError(path, error);
        }
        QByteArray addition;
        // A file that is new, or empty, starts as a new journal.
        if (contents.isEmpty()) {
            addition = title.toUtf8();
        }
        if (!contents.contains(heading)) {
            addition += '\n' + heading + "\n\n";
        } else if (!contents.endsWith('\n')) {
            // The entry starts a line of its own, even after text written without a final line feed.
            addition += '\n';
        }
        addition += entry;

        const auto originalSize = static_cast<off_t>(contents.size());
        const int error = writeAllAt(file.get(), addition, originalSize);
        if (error == 0 && ::fsync(file.get()) == 0) {
            contents += addition;
            return NoteSaveResult{QUrl::fromLocalFile(path), countEntries(contents)};
        }
        const int failure = error != 0 ? error : errno;
        // Take back whatever part of the entry reached the file.
        while (::ftruncate(file.get(), originalSize) != 0 && errno == EINTR) {
        }
        return writeError(path, failure);
    }
    return writeError(path, EBUSY);
}

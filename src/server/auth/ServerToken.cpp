#include "server/auth/ServerToken.h"

#include "core/common/FileError.h"
#include "server/auth/FolderLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t maximumTokenLength = 1024;
constexpr std::size_t maximumFileBytes = 4096;

bool isTokenCharacter(char c) {
    return c > 0x20 && c < 0x7F;
}

PTTError fileError(const QString& path, const char* what, int error) {
    return systemFileError(
        error, QStringLiteral("%1 %2: %3")
                   .arg(QString::fromUtf8(what), path, QString::fromLocal8Bit(std::strerror(error))));
}

// Runs in time that depends only on the expected token's length.
bool constantTimeEquals(std::string_view expected, std::string_view candidate) {
    unsigned char difference = expected.size() == candidate.size() ? 0 : 1;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const char other = i < candidate.size() ? candidate[i] : '\0';
        difference |= static_cast<unsigned char>(expected[i] ^ other);
    }
    return difference == 0;
}

std::optional<std::string> randomToken() {
    std::array<unsigned char, 32> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got > 0) {
            filled += std::size_t(got);
        } else if (errno != EINTR) {
            return std::nullopt;
        }
    }
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string text;
    std::uint32_t buffer = 0;
    int bits = 0;
    for (const unsigned char byte : bytes) {
        buffer = buffer << 8 | byte;
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            text.push_back(alphabet[(buffer >> bits) & 0x3F]);
        }
    }
    if (bits > 0) {
        text.push_back(alphabet[(buffer << (6 - bits)) & 0x3F]);
    }
    return text;
}

struct FileRead {
    bool exists = false;
    std::string content;
};

Result<FileRead> readTokenFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == ENOENT) {
            return FileRead{};
        }
        return fileError(path, "cannot open", errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return systemFileError(EINVAL, QStringLiteral("%1 is not a regular file").arg(path));
    }
    if ((info.st_mode & 077) != 0) {
        // The token guards the user's microphone transcripts; others must not read it.
        ::fchmod(fd, S_IRUSR | S_IWUSR);
    }
    FileRead read{true, {}};
    std::array<char, 1024> buffer{};
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return fileError(path, "cannot read", error);
        }
        if (got == 0) {
            break;
        }
        read.content.append(buffer.data(), std::size_t(got));
        if (read.content.size() > maximumFileBytes) {
            ::close(fd);
            return systemFileError(EFBIG, QStringLiteral("%1 is too large to be a token file").arg(path));
        }
    }
    ::close(fd);
    return read;
}

// Writes the token to a private temporary file first, so that a reader never sees half a token,
// then puts it in place: without replacing anything when `replace` is false (another server that
// started at the same moment may have won), atomically over a blank file otherwise.
Result<bool> publishToken(const QString& path, const std::string& token, bool replace) {
    const QByteArray native = QFile::encodeName(path);
    // Unique per process and call, so concurrent starts never share a temporary file.
    const std::optional<std::string> suffix = randomToken();
    const QByteArray temporary = native + ".new." + QByteArray::number(::getpid()) + "." +
                                 QByteArray::fromStdString(suffix.value_or("x").substr(0, 8));
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          S_IRUSR | S_IWUSR);
    if (fd < 0) {
        return fileError(path, "cannot create", errno);
    }
    const std::string line = token + "\n";
    const bool written = ::write(fd, line.data(), line.size()) == ssize_t(line.size()) && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    if (!written) {
        ::unlink(temporary.constData());
        return fileError(path, "cannot write", writeError);
    }
    if (replace) {
        if (::rename(temporary.constData(), native.constData()) != 0) {
            const int error = errno;
            ::unlink(temporary.constData());
            return fileError(path, "cannot replace", error);
        }
        return true;
    }
    const bool linked = ::link(temporary.constData(), native.constData()) == 0;
    const int linkError = errno;
    ::unlink(temporary.constData());
    if (!linked && linkError != EEXIST) {
        return fileError(path, "cannot create", linkError);
    }
    return linked;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

} // namespace

std::optional<ServerToken> ServerToken::fromText(std::string_view text, Origin origin) {
    if (text.empty() || text.size() > maximumTokenLength) {
        return std::nullopt;
    }
    for (const char c : text) {
        if (!isTokenCharacter(c)) {
            return std::nullopt;
        }
    }
    return ServerToken(std::string(text), origin);
}

Result<std::optional<ServerToken>> ServerToken::read(const QString& path) {
    auto existing = readTokenFile(path);
    if (!existing) {
        return existing.error();
    }
    const std::string_view content = trimmed(existing->content);
    if (content.empty()) {
        return std::optional<ServerToken>();
    }
    if (auto token = fromText(content, Origin::file)) {
        return token;
    }
    return systemFileError(
        EINVAL,
        QStringLiteral("%1 does not hold a token (one line of visible ASCII characters); fix or delete it")
            .arg(path));
}

Result<ServerToken> ServerToken::loadOrCreate(const QString& path) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return systemFileError(EACCES, QStringLiteral("cannot create the folder of %1").arg(path));
    }
    // Starts at the same moment take turns: otherwise one that found no file could see the token
    // another had just written, take it for a blank file and replace it, and the two servers would
    // answer to different tokens. Where the folder cannot be locked, the no-clobber write remains.
    const FolderLock lock(QFileInfo(path).absolutePath());
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto existing = read(path);
        if (!existing) {
            return existing.error();
        }
        if (existing.value()) {
            return std::move(*existing.value());
        }
        const bool blankFile = QFileInfo::exists(path);
        std::optional<std::string> fresh = randomToken();
        if (!fresh) {
            return systemFileError(errno, QStringLiteral("no random numbers for a new token"));
        }
        auto published = publishToken(path, *fresh, blankFile);
        if (!published) {
            return published.error();
        }
        if (published.value()) {
            return ServerToken(std::move(*fresh), Origin::generated);
        }
        // Lost the race to another server starting at the same time: read the token it wrote.
    }
    return systemFileError(EAGAIN, QStringLiteral("%1 keeps changing; cannot settle on a token").arg(path));
}

bool ServerToken::acceptsAuthorization(std::string_view headerValue) const {
    constexpr std::string_view scheme = "bearer ";
    if (headerValue.size() < scheme.size()) {
        return false;
    }
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        const char c = headerValue[i];
        if ((c >= 'A' && c <= 'Z' ? char(c + 32) : c) != scheme[i]) {
            return false;
        }
    }
    return constantTimeEquals(m_text, trimmed(headerValue.substr(scheme.size())));
}

#include "core/backend/ServerConfigFile.h"

#include "core/backend/UpstreamAddress.h"
#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/common/FileError.h"
#include "core/common/JsonFields.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace ServerConfigFile {

namespace {

using nlohmann::ordered_json;

PTTError fileError(const QString& path, const QString& what) {
    return makeError(FileError::failed, QStringLiteral("%1: %2").arg(path, what));
}

// The object in `path`; an empty one when there is no file. A file that is not a JSON object is
// an error, so that nothing the user wrote is overwritten.
Result<ordered_json> readObject(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        return ordered_json::object();
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return fileError(path, file.errorString());
    }
    const QByteArray bytes = file.readAll();
    auto parsed = ordered_json::parse(bytes.cbegin(), bytes.cend(), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        return fileError(path, QStringLiteral("not a JSON object; correct it or remove it first"));
    }
    return parsed;
}

bool hasControlCharacter(const QString& text) {
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

std::optional<PTTError> replaceFile(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        return fileError(path, QStringLiteral("cannot create its folder"));
    }
    QByteArray name = QFile::encodeName(info.absoluteFilePath()) + ".XXXXXX";
    // mkstemp makes the file 0600 from the start: the key is never readable by others, not even
    // for a moment.
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        return fileError(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    int failure = 0;
    for (qsizetype written = 0; written < bytes.size() && !failure;) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n > 0) {
            written += n;
        } else if (n == 0 || errno != EINTR) {
            failure = n == 0 ? EIO : errno;
        }
    }
    if (!failure && ::fsync(fd) != 0) {
        failure = errno;
    }
    if (::close(fd) != 0 && !failure) {
        failure = errno;
    }
    if (!failure && ::rename(name.constData(), QFile::encodeName(info.absoluteFilePath()).constData()) != 0) {
        failure = errno;
    }
    if (failure) {
        ::unlink(name.constData());
        return fileError(path, QString::fromLocal8Bit(std::strerror(failure)));
    }
    return std::nullopt;
}

} // namespace

Result<ServerEngineChoice> read(const QString& path) {
    auto object = readObject(path);
    if (!object) {
        return object.error();
    }
    ServerEngineChoice choice;
    const std::pair<const char*, QString*> fields[] = {{"upstreamUrl", &choice.serviceUrl},
                                                       {"upstreamKey", &choice.key},
                                                       {"transcribeModel", &choice.transcribeModel},
                                                       {"editModel", &choice.editModel}};
    for (const auto& [key, field] : fields) {
        if (auto value = JsonFields::optionalString(*object, key)) {
            if (!value->ok()) {
                return fileError(path, QStringLiteral("\"%1\" must be a string").arg(QLatin1String(key)));
            }
            *field = value->value();
        }
    }
    // As the server decides: an upstream answers unless the file says otherwise.
    choice.useService = !choice.serviceUrl.isEmpty();
    if (auto engine = JsonFields::optionalString(*object, "engine"); engine && engine->ok()) {
        choice.useService = engine->value() == QLatin1String("openai");
    }
    return choice;
}

std::optional<QString> problem(const ServerEngineChoice& choice) {
    if (hasControlCharacter(choice.serviceUrl + choice.key + choice.transcribeModel + choice.editModel)) {
        return QStringLiteral("The service settings hold a control character (a line break or tab).");
    }
    if (choice.useService && choice.serviceUrl.isEmpty()) {
        return QStringLiteral("Enter the service's URL, for example https://api.openai.com/v1.");
    }
    if (choice.useService && choice.transcribeModel.isEmpty()) {
        return QStringLiteral("Enter the service's transcription model, for example whisper-1.");
    }
    if (!choice.serviceUrl.isEmpty()) {
        if (auto problem = UpstreamAddress::problem(choice.serviceUrl, !choice.key.isEmpty())) {
            // "the upstream URL must ..." becomes "The service URL must ...".
            QString sentence = *problem;
            sentence.replace(QLatin1String("upstream"), QLatin1String("service"));
            sentence[0] = sentence[0].toUpper();
            return sentence + QLatin1Char('.');
        }
    }
    return std::nullopt;
}

std::optional<PTTError> write(const QString& path, const ServerEngineChoice& choice) {
    if (auto refusal = problem(choice)) {
        return makeError(FileError::refused, *refusal);
    }
    auto object = readObject(path);
    if (!object) {
        return object.error();
    }
    ordered_json& json = object.value();
    json["engine"] = choice.useService ? "openai" : "local";
    const std::pair<const char*, const QString*> fields[] = {{"upstreamUrl", &choice.serviceUrl},
                                                             {"upstreamKey", &choice.key},
                                                             {"transcribeModel", &choice.transcribeModel},
                                                             {"editModel", &choice.editModel}};
    for (const auto& [key, field] : fields) {
        if (field->isEmpty() &&
            (key == std::string_view("upstreamUrl") || key == std::string_view("upstreamKey"))) {
            json.erase(key);
        } else {
            json[key] = field->toStdString();
        }
    }
    return replaceFile(path, QByteArray::fromStdString(json.dump(2) + "\n"));
}

} // namespace ServerConfigFile

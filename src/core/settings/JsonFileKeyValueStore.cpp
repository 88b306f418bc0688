#include "core/settings/JsonFileKeyValueStore.h"

#include "core/common/CoreLogging.h"
#include "core/common/ErrorCode.h"
#include "core/common/FileError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using nlohmann::ordered_json;

namespace {

constexpr auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

bool isUtf8(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

ordered_json encode(const KeyValueStore::Value& value) {
    if (const bool* flag = std::get_if<bool>(&value)) {
        return *flag;
    }
    if (const QString* text = std::get_if<QString>(&value)) {
        return text->toStdString();
    }
    const QByteArray& bytes = std::get<QByteArray>(value);
    ordered_json wrapped = ordered_json::object();
    if (isUtf8(bytes)) {
        wrapped["data"] = bytes.toStdString();
    } else {
        wrapped["base64"] = bytes.toBase64().toStdString();
    }
    return wrapped;
}

std::optional<KeyValueStore::Value> decode(const ordered_json& stored) {
    if (stored.is_boolean()) {
        return stored.get<bool>();
    }
    if (stored.is_string()) {
        return QString::fromStdString(stored.get_ref<const std::string&>());
    }
    if (stored.is_object() && stored.size() == 1) {
        if (const auto data = stored.find("data"); data != stored.end() && data->is_string()) {
            return QByteArray::fromStdString(data->get_ref<const std::string&>());
        }
        if (const auto base64 = stored.find("base64"); base64 != stored.end() && base64->is_string()) {
            const auto decoded = QByteArray::fromBase64Encoding(
                QByteArray::fromStdString(base64->get_ref<const std::string&>()),
                QByteArray::AbortOnBase64DecodingErrors);
            if (decoded) {
                return *decoded;
            }
        }
    }
    return std::nullopt;
}

void report(const PTTError& error) {
    qCWarning(lcSettings).noquote() << error.description;
}

} // namespace

JsonFileKeyValueStore::JsonFileKeyValueStore(QString filePath, Access access)
    : m_filePath(std::move(filePath))
    , m_writeProtected(access == Access::readOnly) {
    load();
}

std::optional<QString> JsonFileKeyValueStore::lastWriteFailure() const {
    if (!m_lastWriteFailed) {
        return std::nullopt;
    }
    return m_lastError ? m_lastError->description : QString();
}

std::optional<KeyValueStore::Value> JsonFileKeyValueStore::value(const QString& key) const {
    const auto found = m_document.find(key.toStdString());
    if (found == m_document.end()) {
        return std::nullopt;
    }
    return decode(*found);
}

void JsonFileKeyValueStore::setValue(const QString& key, const Value& value) {
    m_document[key.toStdString()] = encode(value);
    persist();
}

void JsonFileKeyValueStore::remove(const QString& key) {
    if (m_document.erase(key.toStdString()) > 0) {
        persist();
    }
}

void JsonFileKeyValueStore::load() {
    QFile file(m_filePath);
    if (!file.exists()) {
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_writeProtected = true;
        m_lastError = makeError(FileError::readNoPermission,
                                QStringLiteral("The settings file “%1” could not be read: %2")
                                    .arg(m_filePath, file.errorString()));
        report(*m_lastError);
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    auto parsed = ordered_json::parse(bytes.cbegin(), bytes.cend(), nullptr, false);
    if (!parsed.is_discarded() && parsed.is_object()) {
        m_document = std::move(parsed);
        return;
    }

    if (m_writeProtected) {
        m_lastError = makeError(
            FileError::readCorruptFile,
            QStringLiteral("The settings file “%1” is damaged; using the defaults.").arg(m_filePath));
        report(*m_lastError);
        return;
    }
    const QString aside = m_filePath + QStringLiteral(".corrupt-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (QFile::rename(m_filePath, aside)) {
        m_keptAsidePath = aside;
        m_lastError =
            makeError(FileError::readCorruptFile,
                      QStringLiteral("The settings file was damaged and has been kept as “%1”.").arg(aside));
    } else {
        m_writeProtected = true;
        m_lastError =
            makeError(FileError::readCorruptFile,
                      QStringLiteral("The settings file “%1” is damaged and could not be moved aside; "
                                     "changes will not be saved.")
                          .arg(m_filePath));
    }
    report(*m_lastError);
}

void JsonFileKeyValueStore::persist() {
    m_lastWriteFailed = true;
    if (m_writeProtected) {
        if (!m_lastError) {
            m_lastError = makeError(FileError::writeUnknown, QStringLiteral("The settings are not saved."));
        }
        return;
    }
    const QFileInfo info(m_filePath);
    QDir directory = info.absoluteDir();
    if (!directory.exists()) {
        if (!directory.mkpath(QStringLiteral("."))) {
            m_lastError =
                makeError(FileError::writeNoPermission,
                          QStringLiteral("The folder “%1” could not be created.").arg(directory.path()));
            report(*m_lastError);
            return;
        }
        QFile::setPermissions(directory.path(), ownerOnly | QFileDevice::ExeOwner);
    }

    QSaveFile file(m_filePath);
    const QByteArray bytes = QByteArray::fromStdString(m_document.dump(2)) + '\n';
    const bool written = file.open(QIODevice::WriteOnly) && file.setPermissions(ownerOnly) &&
                         file.write(bytes) == bytes.size() && file.commit();
    if (!written) {
        m_lastError =
            makeError(FileError::writeUnknown, QStringLiteral("The settings could not be saved to “%1”: %2")
                                                   .arg(m_filePath, file.errorString()));
        report(*m_lastError);
        return;
    }
    m_lastError.reset();
    m_lastWriteFailed = false;
}

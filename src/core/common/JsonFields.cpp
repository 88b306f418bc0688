#include "core/common/JsonFields.h"

#include "core/common/ErrorCode.h"
#include "core/common/JsonError.h"

#include <cmath>
#include <limits>

using nlohmann::ordered_json;

namespace JsonFields {

namespace {

const ordered_json* present(const ordered_json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return nullptr;
    }
    return &*found;
}

std::optional<qint64> asInt64(const ordered_json& value) {
    if (value.is_number_integer() && !value.is_number_unsigned()) {
        return value.get<qint64>();
    }
    if (value.is_number_unsigned()) {
        const auto unsignedValue = value.get<quint64>();
        if (unsignedValue <= static_cast<quint64>(std::numeric_limits<qint64>::max())) {
            return static_cast<qint64>(unsignedValue);
        }
        return std::nullopt;
    }
    if (value.is_number_float()) {
        // 63.0 is the integer 63; 63.5 is not an integer at all.
        const double number = value.get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && std::fabs(number) < 9.2e18) {
            return static_cast<qint64>(number);
        }
    }
    return std::nullopt;
}

} // namespace

PTTError missing(const char* key) {
    return makeError(JsonError::missingValue,
                     QStringLiteral("The data couldn’t be read because the value for “%1” is missing.")
                         .arg(QString::fromUtf8(key)));
}

PTTError invalid(const char* key) {
    return makeError(JsonError::invalidValue,
                     QStringLiteral("The data couldn’t be read because the value for “%1” is not valid.")
                         .arg(QString::fromUtf8(key)));
}

Result<ordered_json> parseObject(const QByteArray& bytes) {
    auto parsed = ordered_json::parse(bytes.cbegin(), bytes.cend(), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        return makeError(JsonError::notJson,
                         QStringLiteral("The data couldn’t be read because it isn’t in the correct format."));
    }
    return parsed;
}

Result<QString> requiredString(const ordered_json& object, const char* key) {
    auto value = optionalString(object, key);
    if (!value) {
        return missing(key);
    }
    return std::move(*value);
}

Result<bool> requiredBool(const ordered_json& object, const char* key) {
    auto value = optionalBool(object, key);
    if (!value) {
        return missing(key);
    }
    return *value;
}

Result<qint64> requiredInt64(const ordered_json& object, const char* key) {
    auto value = optionalInt64(object, key);
    if (!value) {
        return missing(key);
    }
    return *value;
}

Result<quint64> requiredUInt64(const ordered_json& object, const char* key) {
    const ordered_json* value = present(object, key);
    if (!value) {
        return missing(key);
    }
    if (value->is_number_unsigned()) {
        return value->get<quint64>();
    }
    if (const auto integer = asInt64(*value); integer && *integer >= 0) {
        return static_cast<quint64>(*integer);
    }
    return invalid(key);
}

std::optional<Result<QString>> optionalString(const ordered_json& object, const char* key) {
    const ordered_json* value = present(object, key);
    if (!value) {
        return std::nullopt;
    }
    if (!value->is_string()) {
        return Result<QString>(invalid(key));
    }
    return Result<QString>(QString::fromStdString(value->get_ref<const std::string&>()));
}

std::optional<Result<bool>> optionalBool(const ordered_json& object, const char* key) {
    const ordered_json* value = present(object, key);
    if (!value) {
        return std::nullopt;
    }
    if (!value->is_boolean()) {
        return Result<bool>(invalid(key));
    }
    return Result<bool>(value->get<bool>());
}

std::optional<Result<qint64>> optionalInt64(const ordered_json& object, const char* key) {
    const ordered_json* value = present(object, key);
    if (!value) {
        return std::nullopt;
    }
    if (const auto integer = asInt64(*value)) {
        return Result<qint64>(*integer);
    }
    return Result<qint64>(invalid(key));
}

std::optional<Result<double>> optionalDouble(const ordered_json& object, const char* key) {
    const ordered_json* value = present(object, key);
    if (!value) {
        return std::nullopt;
    }
    if (!value->is_number()) {
        return Result<double>(invalid(key));
    }
    return Result<double>(value->get<double>());
}

std::optional<QByteArray> strictBase64(const QString& text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    for (const QChar character : text) {
        const char16_t unit = character.unicode();
        const bool allowed = (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z') ||
                             (unit >= u'0' && unit <= u'9') || unit == u'+' || unit == u'/' || unit == u'=';
        if (!allowed) {
            return std::nullopt;
        }
    }
    auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        return std::nullopt;
    }
    return *decoded;
}

} // namespace JsonFields

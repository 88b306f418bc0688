#pragma once

#include "core/common/Result.h"

#include <QByteArray>
#include <QString>

#include <nlohmann/json.hpp>
#include <optional>

// Strict readers for the JSON records the system stores and exchanges: a value of the wrong type
// is an error, never a silent default. "Absent" means the key is missing or null.
namespace JsonFields {

PTTError missing(const char* key);
PTTError invalid(const char* key);

// The bytes as a JSON object (anything else is an error).
Result<nlohmann::ordered_json> parseObject(const QByteArray& bytes);

Result<QString> requiredString(const nlohmann::ordered_json& object, const char* key);
Result<bool> requiredBool(const nlohmann::ordered_json& object, const char* key);
Result<qint64> requiredInt64(const nlohmann::ordered_json& object, const char* key);
Result<quint64> requiredUInt64(const nlohmann::ordered_json& object, const char* key);

// Absent → nullopt; present with the wrong type → an error inside.
std::optional<Result<QString>> optionalString(const nlohmann::ordered_json& object, const char* key);
std::optional<Result<bool>> optionalBool(const nlohmann::ordered_json& object, const char* key);
std::optional<Result<qint64>> optionalInt64(const nlohmann::ordered_json& object, const char* key);
std::optional<Result<double>> optionalDouble(const nlohmann::ordered_json& object, const char* key);

// Standard-alphabet Base64 with padding and nothing else (no white space, no URL alphabet).
std::optional<QByteArray> strictBase64(const QString& text);

} // namespace JsonFields

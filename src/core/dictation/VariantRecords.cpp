#include "core/dictation/VariantRecords.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <nlohmann/json.hpp>

using nlohmann::ordered_json;

namespace VariantRecords {

namespace {

QVariantMap jsonObjectToMap(const QByteArray& json) {
    return QJsonDocument::fromJson(json).object().toVariantMap();
}

ordered_json toJson(const QVariant& value) {
    const QByteArray text =
        QJsonDocument(QJsonObject{{QStringLiteral("v"), QJsonValue::fromVariant(value)}}).toJson();
    const auto parsed = ordered_json::parse(text.cbegin(), text.cend(), nullptr, false);
    return parsed.is_object() ? parsed["v"] : ordered_json();
}

} // namespace

QVariantMap fromSettings(const PTTSettings& settings) {
    return jsonObjectToMap(settings.toJson());
}

QVariantMap fromEvent(const std::optional<PTTEvent>& event) {
    return event ? jsonObjectToMap(event->toJson()) : QVariantMap();
}

QVariantMap fromSetupStatus(const SetupStatus& status) {
    QVariantMap map{{QStringLiteral("databaseReady"), status.databaseReady},
                    {QStringLiteral("backendReachable"), status.backendReachable},
                    {QStringLiteral("microphoneGranted"), status.microphoneGranted},
                    {QStringLiteral("accessibilityGranted"), status.accessibilityGranted}};
    if (status.lastBackendError) {
        map.insert(QStringLiteral("lastBackendError"), *status.lastBackendError);
    }
    return map;
}

QVariantList fromSnippets(const std::vector<SnippetEntry>& snippets) {
    QVariantList list;
    list.reserve(static_cast<qsizetype>(snippets.size()));
    for (const SnippetEntry& snippet : snippets) {
        list.append(QVariantMap{{QStringLiteral("id"), snippet.id},
                                {QStringLiteral("trigger"), snippet.trigger},
                                {QStringLiteral("body"), snippet.body}});
    }
    return list;
}

QVariantList fromDictionaryEntries(const std::vector<DictionaryEntry>& entries) {
    QVariantList list;
    list.reserve(static_cast<qsizetype>(entries.size()));
    for (const DictionaryEntry& entry : entries) {
        list.append(QVariantMap{{QStringLiteral("id"), entry.id},
                                {QStringLiteral("wrong"), entry.wrong},
                                {QStringLiteral("correct"), entry.correct},
                                {QStringLiteral("wholeWord"), entry.wholeWord}});
    }
    return list;
}

QVariantMap fromStatsSummary(const PTTStatsSummary& summary) {
    QVariantMap map{{QStringLiteral("totalSessions"), summary.totalSessions},
                    {QStringLiteral("totalWords"), summary.totalWords},
                    {QStringLiteral("totalDurationMs"), summary.totalDurationMs},
                    {QStringLiteral("backtracks"), summary.backtracks}};
    if (summary.topLanguage) {
        map.insert(QStringLiteral("topLanguage"), *summary.topLanguage);
    }
    return map;
}

QVariantMap fromTodayStats(const TodayStats& stats) {
    return QVariantMap{{QStringLiteral("dictations"), stats.dictations},
                       {QStringLiteral("words"), stats.words},
                       {QStringLiteral("durationMs"), stats.durationMs},
                       {QStringLiteral("estimatedMinutesSaved"), stats.estimatedMinutesSaved()}};
}

std::optional<PTTSettings> withSettingValue(const PTTSettings& settings, const QString& key,
                                            const QVariant& value) {
    const QByteArray stored = settings.toJson();
    auto object = ordered_json::parse(stored.cbegin(), stored.cend(), nullptr, false);
    const std::string name = key.toStdString();
    // The bookmark is written only when present, so it is the one key that may be new.
    if (!object.is_object() || (!object.contains(name) && name != "notesPathBookmark")) {
        return std::nullopt;
    }
    const ordered_json replacement = toJson(value);
    object[name] = replacement;
    auto changed = PTTSettings::fromJson(QByteArray::fromStdString(object.dump()));
    if (!changed) {
        return std::nullopt;
    }
    // The reader tolerates some values by falling back (an unknown polish level); a value it did
    // not keep as given is refused instead. Objects compare without regard to key order.
    const QByteArray written = changed->toJson();
    const auto reread = ordered_json::parse(written.cbegin(), written.cend(), nullptr, false);
    const bool kept = replacement.is_null()
                          ? !reread.contains(name)
                          : reread.contains(name) && nlohmann::json::parse(reread[name].dump()) ==
                                                         nlohmann::json::parse(replacement.dump());
    if (!kept) {
        return std::nullopt;
    }
    return std::move(changed).value();
}

} // namespace VariantRecords

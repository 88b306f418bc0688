#pragma once

#include "core/model/DictionaryEntry.h"
#include "core/model/PTTEvent.h"
#include "core/model/PTTSettings.h"
#include "core/model/PTTStatsSummary.h"
#include "core/model/SetupStatus.h"
#include "core/model/SnippetEntry.h"
#include "core/model/TodayStats.h"

#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <optional>
#include <vector>

// The records as the declarative views read them: maps keyed by the field names (the settings by
// their stored JSON keys), absent fields left out.
namespace VariantRecords {

QVariantMap fromSettings(const PTTSettings& settings);
QVariantMap fromEvent(const std::optional<PTTEvent>& event);
QVariantMap fromSetupStatus(const SetupStatus& status);
QVariantList fromSnippets(const std::vector<SnippetEntry>& snippets);
QVariantList fromDictionaryEntries(const std::vector<DictionaryEntry>& entries);
QVariantMap fromStatsSummary(const PTTStatsSummary& summary);
QVariantMap fromTodayStats(const TodayStats& stats);

// `settings` with one field replaced, given by its JSON key. Absent when the key is unknown or the
// record would not keep the value as given (wrong type, unknown option).
std::optional<PTTSettings> withSettingValue(const PTTSettings& settings, const QString& key,
                                            const QVariant& value);

} // namespace VariantRecords

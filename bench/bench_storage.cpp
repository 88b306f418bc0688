#include "InMemoryKeyValueStore.h"
#include "VirtualClock.h"
#include "core/model/PTTSettings.h"
#include "core/settings/SettingsStore.h"
#include "core/storage/LocalDatabase.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

PTTSettings populatedSettings() {
    PTTSettings settings = PTTSettings::makeDefault();
    settings.sttPrompt = QStringLiteral("Kubernetes, gRPC, PostgreSQL, Ñandú, kubectl, Grafana");
    settings.notesPathBookmark = QByteArray(200, 'b');
    settings.promptPruningEnabled = true;
    return settings;
}

void BM_SettingsEncode(benchmark::State& state) {
    const PTTSettings settings = populatedSettings();
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings.toJson());
    }
}
BENCHMARK(BM_SettingsEncode);

void BM_SettingsDecode(benchmark::State& state) {
    const QByteArray json = populatedSettings().toJson();
    for (auto _ : state) {
        benchmark::DoNotOptimize(PTTSettings::fromJson(json));
    }
}
BENCHMARK(BM_SettingsDecode);

void BM_SettingsStoreSaveLoad(benchmark::State& state) {
    InMemoryKeyValueStore defaults;
    SettingsStore store(defaults);
    const PTTSettings settings = populatedSettings();
    for (auto _ : state) {
        store.save(settings);
        benchmark::DoNotOptimize(store.load());
    }
}
BENCHMARK(BM_SettingsStoreSaveLoad);

// One dictation's statistics row, as the pipeline writes it after each paste.
void BM_InsertStatsRows(benchmark::State& state) {
    QTemporaryDir directory;
    VirtualClock clock;
    LocalDatabase database(clock, directory.filePath(QStringLiteral("bench.sqlite")));
    if (!database.bootstrap()) {
        state.SkipWithError("bootstrap failed");
        return;
    }
    for (auto _ : state) {
        clock.advance(1);
        database.insertStats(StatsRecord{42, 230, 8000, QStringLiteral("en"), QStringLiteral("push"), false});
    }
}
BENCHMARK(BM_InsertStatsRows)->Iterations(10000)->Unit(benchmark::kMicrosecond);

// The status menu's reads over 10,000 rows, written once (each insert is its own transaction).
LocalDatabase& databaseWith10kRows() {
    static QTemporaryDir directory;
    static VirtualClock clock;
    static LocalDatabase database(clock, directory.filePath(QStringLiteral("bench.sqlite")));
    static const bool filled = [] {
        if (!database.bootstrap()) {
            return false;
        }
        for (int row = 0; row < 10000; ++row) {
            clock.advance(30);
            database.insertStats(StatsRecord{42, 230, 8000,
                                             row % 3 ? QStringLiteral("en") : QStringLiteral("es"),
                                             QStringLiteral("push"), row % 10 == 0});
        }
        return true;
    }();
    Q_UNUSED(filled);
    return database;
}

void BM_StatsSummaryOver10kRows(benchmark::State& state) {
    LocalDatabase& database = databaseWith10kRows();
    for (auto _ : state) {
        benchmark::DoNotOptimize(database.fetchStatsSummary());
    }
}
BENCHMARK(BM_StatsSummaryOver10kRows)->Unit(benchmark::kMicrosecond);

void BM_TodayStatsOver10kRows(benchmark::State& state) {
    LocalDatabase& database = databaseWith10kRows();
    for (auto _ : state) {
        benchmark::DoNotOptimize(database.fetchTodayStats());
    }
}
BENCHMARK(BM_TodayStatsOver10kRows)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

#include "VirtualClock.h"
#include "core/context/AppContextService.h"
#include "core/storage/LocalDatabase.h"
#include "core/text/TextProcessingService.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <memory>

namespace {

QString randomWord(QRandomGenerator& random) {
    QString word;
    const int length = random.bounded(3, 10);
    for (int index = 0; index < length; ++index) {
        word.append(QChar(u'a' + random.bounded(26)));
    }
    return word;
}

// A user's database as the budget describes it: 200 dictionary entries (a quarter of them
// partial-word, some of two words) and 50 snippets.
class Fixture final {
public:
    Fixture()
        : m_database(m_clock, m_directory.filePath(QStringLiteral("ptt.sqlite"))) {
        if (!m_database.bootstrap()) {
            return;
        }
        QRandomGenerator random(7);
        for (int entry = 0; entry < 200; ++entry) {
            QString wrong = randomWord(random);
            if (entry % 5 == 0) {
                wrong += QLatin1Char(' ') + randomWord(random);
            }
            m_dictionaryWords.append(wrong);
            (void)m_database.saveDictionaryEntry(wrong, wrong.toUpper(), entry % 4 != 0);
        }
        for (int snippet = 0; snippet < 50; ++snippet) {
            (void)m_database.saveSnippet(QStringLiteral("my ") + randomWord(random),
                                         QStringLiteral("Body of snippet ") + QString::number(snippet));
        }
        m_service = std::make_unique<TextProcessingService>(m_database, m_appContext);
    }

    bool isReady() const { return m_service != nullptr; }
    TextProcessingService& service() { return *m_service; }

    // English dictation: plain words, a few dictionary hits, fillers and spoken punctuation.
    QString transcript(int words) const {
        static const QStringList plain{
            QStringLiteral("the"),    QStringLiteral("meeting"), QStringLiteral("should"),
            QStringLiteral("start"),  QStringLiteral("at"),      QStringLiteral("three"),
            QStringLiteral("and"),    QStringLiteral("we"),      QStringLiteral("review"),
            QStringLiteral("budget"), QStringLiteral("with"),    QStringLiteral("team"),
            QStringLiteral("before"), QStringLiteral("friday"),  QStringLiteral("I"),
            QStringLiteral("think"),
        };
        QRandomGenerator random(11);
        QStringList text;
        for (int word = 0; word < words; ++word) {
            const int kind = random.bounded(20);
            if (kind == 0) {
                text.append(m_dictionaryWords.at(random.bounded(m_dictionaryWords.size())));
            } else if (kind == 1) {
                text.append(QStringLiteral("um"));
            } else if (kind == 2) {
                text.append(random.bounded(2) ? QStringLiteral("comma") : QStringLiteral("period"));
            } else {
                text.append(plain.at(random.bounded(plain.size())));
            }
        }
        return text.join(QLatin1Char(' '));
    }

private:
    QTemporaryDir m_directory;
    VirtualClock m_clock;
    LocalDatabase m_database;
    AppContextService m_appContext;
    QStringList m_dictionaryWords;
    std::unique_ptr<TextProcessingService> m_service;
};

Fixture& fixture() {
    static Fixture shared;
    return shared;
}

// One dictation: snippet check, dictionary, fillers, punctuation and mail formatting.
void BM_Pipeline(benchmark::State& state) {
    Fixture& data = fixture();
    if (!data.isReady()) {
        state.SkipWithError("database bootstrap failed");
        return;
    }
    const QString transcript = data.transcript(static_cast<int>(state.range(0)));
    const std::optional<QString> app(QStringLiteral("Thunderbird"));
    for (auto _ : state) {
        benchmark::DoNotOptimize(data.service().process(transcript, app));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Pipeline)
    ->Arg(60)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity();

// The same with the dictionary and snippets reloaded and compiled, as after each edit.
void BM_PipelineAfterEdit(benchmark::State& state) {
    Fixture& data = fixture();
    if (!data.isReady()) {
        state.SkipWithError("database bootstrap failed");
        return;
    }
    QTemporaryDir directory;
    VirtualClock clock;
    LocalDatabase database(clock, directory.filePath(QStringLiteral("edit.sqlite")));
    if (!database.bootstrap()) {
        state.SkipWithError("database bootstrap failed");
        return;
    }
    QRandomGenerator random(7);
    for (int entry = 0; entry < 200; ++entry) {
        (void)database.saveDictionaryEntry(randomWord(random), QStringLiteral("X"), true);
    }
    AppContextService appContext;
    TextProcessingService service(database, appContext);
    const QString transcript = data.transcript(60);
    int edit = 0;
    for (auto _ : state) {
        state.PauseTiming();
        (void)database.saveSnippet(QStringLiteral("trigger"), QString::number(++edit));
        state.ResumeTiming();
        benchmark::DoNotOptimize(service.process(transcript, std::nullopt));
    }
}
BENCHMARK(BM_PipelineAfterEdit)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

#include "server/engines/ExpectedWords.h"
#include "server/engines/LetterToSound.h"
#include "server/engines/OverlapJoiner.h"
#include "server/engines/SpeechSegmenter.h"

#include <QTest>

#include <cstdint>
#include <vector>

namespace {

struct Span {
    std::size_t begin;
    std::size_t end;
};

// Noise bursts standing in for phrases, with quieter noise between them; `pauses` records where
// the quiet stretches are.
struct Recording {
    std::vector<std::int16_t> samples;
    std::vector<Span> pauses;
    std::uint32_t seed = 1;

    void add(double seconds, int amplitude, bool pause) {
        const std::size_t begin = samples.size();
        for (auto i = std::size_t(seconds * 16000); i > 0; --i) {
            seed = seed * 1664525U + 1013904223U;
            samples.push_back(std::int16_t(int(seed >> 16) % (2 * amplitude + 1) - amplitude));
        }
        if (pause) {
            pauses.push_back({begin, samples.size()});
        }
    }
};

// "word@first-last ..." → the words a decoder heard.
std::vector<HeardWord> heard(const QString& text) {
    std::vector<HeardWord> words;
    for (const QString& item : text.split(u' ', Qt::SkipEmptyParts)) {
        const auto at = item.indexOf(u'@');
        const auto dash = item.indexOf(u'-', at);
        words.push_back(HeardWord{item.left(at).toStdString(), item.mid(at + 1, dash - at - 1).toInt(),
                                  item.mid(dash + 1).toInt()});
    }
    return words;
}

Recording spokenPhrases(int count, double phraseSeconds, double pauseSeconds, int quiet) {
    Recording recording;
    for (int i = 0; i < count; ++i) {
        recording.add(phraseSeconds, 8000, false);
        if (i + 1 < count) {
            recording.add(pauseSeconds, quiet, true);
        }
    }
    return recording;
}

} // namespace

// Where a recording is cut for decoding in parallel: only inside pauses or breaths, never in a
// phrase, and covering every sample exactly once so no word is lost or heard twice at a cut.
class tst_SpeechSegmenter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cutsOnlyInPauses_data();
    void cutsOnlyInPauses();
    void joinsTheWordsAtACut_data();
    void joinsTheWordsAtACut();
    void expectedWordsFromPrompt_data();
    void expectedWordsFromPrompt();
};

void tst_SpeechSegmenter::cutsOnlyInPauses_data() {
    QTest::addColumn<int>("phrases");
    QTest::addColumn<double>("phraseSeconds");
    QTest::addColumn<double>("pauseSeconds");
    QTest::addColumn<int>("quiet");
    QTest::addColumn<int>("minPieces");
    QTest::addColumn<int>("maxPieces");
    QTest::newRow("dictation with pauses") << 8 << 2.0 << 0.5 << 40 << 3 << 5;
    QTest::newRow("noisy room") << 8 << 2.0 << 0.5 << 1500 << 3 << 5;
    QTest::newRow("breaths serve where no pause does") << 8 << 2.0 << 0.1 << 40 << 2 << 2;
    QTest::newRow("one long phrase") << 1 << 20.0 << 0.0 << 40 << 1 << 1;
    QTest::newRow("too short to split") << 2 << 1.0 << 0.5 << 40 << 1 << 1;
    QTest::newRow("silence only") << 6 << 0.0 << 2.0 << 40 << 1 << 1;
}

void tst_SpeechSegmenter::cutsOnlyInPauses() {
    QFETCH(int, phrases);
    QFETCH(double, phraseSeconds);
    QFETCH(double, pauseSeconds);
    QFETCH(int, quiet);
    QFETCH(int, minPieces);
    QFETCH(int, maxPieces);
    const Recording recording = spokenPhrases(phrases, phraseSeconds, pauseSeconds, quiet);

    const auto pieces = SpeechSegmenter::split(recording.samples, 2);
    QVERIFY2(int(pieces.size()) >= minPieces && int(pieces.size()) <= maxPieces,
             qPrintable(QString::number(pieces.size())));
    QCOMPARE(pieces.front().begin, std::size_t(0));
    QCOMPARE(pieces.back().end, recording.samples.size());
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        const std::size_t cut = pieces[i].begin;
        QCOMPARE(cut, pieces[i - 1].end);
        const bool inPause =
            std::any_of(recording.pauses.begin(), recording.pauses.end(),
                        [&](const Span& pause) { return cut > pause.begin && cut < pause.end; });
        QVERIFY2(inPause, qPrintable(QStringLiteral("cut at sample %1").arg(cut)));
    }
}

// Two pieces cut at frame 100 and decoded with an overlap: each decoder may hear half a word near
// its edge, and a word both heard must appear once.
void tst_SpeechSegmenter::joinsTheWordsAtACut_data() {
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("joined");
    QTest::newRow("at the boundary both heard nearest the cut")
        << "<s>@0-9 hello@10-60 there@61-95 gen@96-140 </s>@141-150"
        << "<s>@50-55 low@56-60 there@62-94 general@95-130 kenobi@131-170 </s>@171-180"
        << "<s> hello there general kenobi </s>";
    // Centred on either side of the cut by each decoder: by their middles it would be lost.
    QTest::newRow("a word across the cut") << "<s>@0-9 made@10-84 still@85-118 mo@119-150"
                                           << "<s>@50-60 de@61-83 still@84-114 more@115-160"
                                           << "<s> made still more";
    QTest::newRow("no boundary in common: each keeps its side") << "<s>@0-9 alpha@10-98 bra@99-150"
                                                                << "<s>@50-70 pha@71-92 bravo@93-160"
                                                                << "<s> alpha bravo";
}

void tst_SpeechSegmenter::joinsTheWordsAtACut() {
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(QString, joined);
    QStringList words;
    for (const HeardWord& word : OverlapJoiner::join(heard(left), heard(right), 100)) {
        words.append(QString::fromStdString(word.word));
    }
    QCOMPARE(words.join(u' '), joined);
}

void tst_SpeechSegmenter::expectedWordsFromPrompt_data() {
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QStringList>("written"); // the words kept, as written
    QTest::addColumn<QStringList>("phones");  // a guessed pronunciation for each
    QTest::newRow("names and acronyms")
        << "Orlavo, API; Kubernetes" << QStringList{"Orlavo", "API", "Kubernetes"}
        << QStringList{"AO R L AE V OW", "EY P IY AY", "K AH B ER N EH T EH S"};
    QTest::newRow("repeats, numbers and letters dropped")
        << "SQL sql 2024 a x86" << QStringList{"SQL", "x86"} << QStringList{"EH S K Y UW EH L", "K S"};
    QTest::newRow("apostrophes and non-ASCII words")
        << "O'Neill's café Müller naïve ok" << QStringList{"O'Neill's", "ok"}
        << QStringList{"AA N IY L S", "AA K"};
}

void tst_SpeechSegmenter::expectedWordsFromPrompt() {
    QFETCH(QString, prompt);
    QFETCH(QStringList, written);
    QFETCH(QStringList, phones);
    QStringList gotWritten;
    QStringList gotPhones;
    for (const ExpectedWord& word : ExpectedWords::fromPrompt(prompt.toStdString())) {
        gotWritten.append(QString::fromStdString(word.written));
        gotPhones.append(QString::fromStdString(LetterToSound::phones(word.written)));
        QCOMPARE(QString::fromStdString(word.spoken), QString::fromStdString(word.written).toLower());
    }
    QCOMPARE(gotWritten, written);
    QCOMPARE(gotPhones, phones);
}

QTEST_GUILESS_MAIN(tst_SpeechSegmenter)
#include "tst_SpeechSegmenter.moc"

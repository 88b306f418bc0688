#include "SpeechCorpus.h"
#include "WordErrors.h"
#include "server/config/ServerConfig.h"
#include "server/engines/LocalSpeechEngine.h"
#include "server/engines/SpeechSegmenter.h"
#include "server/engines/SphinxDecoder.h"
#include "server/language/DictationModel.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

// The offline recogniser on real and synthetic voices: bounds loose enough for any working model
// but not for a broken one (a missing dictation model, cut words, the wrong audio format). The
// figures themselves come from bench_recogniser.
class tst_LocalSpeechEngine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void recognises_data();
    void recognises();
    void expectedWordsStayWithTheirRequest_data();
    void expectedWordsStayWithTheirRequest();
    void aCutInSpeechLosesNoWord_data();
    void aCutInSpeechLosesNoWord();

private:
    QString transcribe(const AudioClip& clip, const std::string& prompt = {}) {
        const auto heard = m_engine->transcribe(TranscriptionJob{clip, LanguageHint::parse(""), prompt});
        return heard.ok() ? QString::fromStdString(heard->text) : u"failed: "_s + heard.error().description;
    }

    std::unique_ptr<LocalSpeechEngine> m_engine;
};

void tst_LocalSpeechEngine::initTestCase() {
    const std::string dictationModel = DictationModel::locate();
    QVERIFY2(!dictationModel.empty(), "the build makes the dictation model");
    auto engine = LocalSpeechEngine::create(ServerConfig::defaults().localModelDirectory, 2, dictationModel);
    QVERIFY2(engine.ok(), engine.ok() ? "" : qPrintable(engine.error().description));
    m_engine = std::move(engine).value();
}

void tst_LocalSpeechEngine::recognises_data() {
    QTest::addColumn<bool>("punctuation");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("maxErrorRate");
    QTest::addColumn<double>("minMarkRecall");
    QTest::newRow("read speech") << false << 2 << 0.6 << 0.0;
    // flite's voices: espeak-ng's are heard too badly to tell a working dictation model from a
    // broken one.
    QTest::newRow("spoken punctuation") << true << 4 << 0.2 << 0.8;
}

void tst_LocalSpeechEngine::recognises() {
    QFETCH(bool, punctuation);
    QFETCH(int, count);
    QFETCH(double, maxErrorRate);
    QFETCH(double, minMarkRecall);
    const auto samples = punctuation ? SpeechCorpus::spokenPunctuation(SpeechCorpus::Synthesiser::flite,
                                                                       /*heldOut=*/false, count)
                                     : SpeechCorpus::librivox(count);
    QVERIFY2(int(samples.size()) == count, "pocketsphinx-testdata, flite and sox make the test speech");
    WordErrors errors;
    QString heard;
    for (const SpokenSample& sample : samples) {
        const QString text = transcribe(sample.clip);
        errors += WordErrors::count(sample.said, text);
        heard += u"\n  "_s + text;
    }
    const QString figures = u"%1 % word errors, %2 % of marks heard:%3"_s.arg(100 * errors.errorRate())
                                .arg(100 * errors.markRecall())
                                .arg(heard);
    QVERIFY2(errors.errorRate() <= maxErrorRate && errors.markRecall() >= minMarkRecall, qPrintable(figures));
}

void tst_LocalSpeechEngine::expectedWordsStayWithTheirRequest_data() {
    QTest::addColumn<QString>("said"); // empty: the first LibriVox clip
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("word");
    // Heard as "guess would" without help.
    QTest::newRow("a known word made likely") << QString() << u"Dashwood"_s << u"Dashwood"_s;
    // In no dictionary: added with a letter-to-sound pronunciation for its request only.
    QTest::newRow("a new word added")
        << u"please send the file to zorblax today"_s << u"Zorblax"_s << u"Zorblax"_s;
}

void tst_LocalSpeechEngine::expectedWordsStayWithTheirRequest() {
    QFETCH(QString, said);
    QFETCH(QString, prompt);
    QFETCH(QString, word);
    const AudioClip clip =
        said.isEmpty() ? SpeechCorpus::librivox(1).at(0).clip : SpeechCorpus::say(said, u"en-us+f2"_s, 150);
    QVERIFY(!clip.samples.empty());
    const QString helped = transcribe(clip, prompt.toStdString());
    QVERIFY2(helped.contains(word), qPrintable(helped));
    // Both decoders, whichever served the request above.
    for (int i = 0; i < 2; ++i) {
        const QString unhelped = transcribe(clip);
        QVERIFY2(!unhelped.contains(word, Qt::CaseInsensitive), qPrintable(unhelped));
    }
}

void tst_LocalSpeechEngine::aCutInSpeechLosesNoWord_data() {
    QTest::addColumn<QString>("said"); // empty: the LibriVox clips
    QTest::newRow("read speech") << QString();
    QTest::newRow("dictation without a pause")
        << u"please send the reports to the team on friday morning comma thanks period"_s;
}

// Speech without pauses is cut at a quiet moment and decoded on both decoders: the words must be
// those of the recording decoded whole, none lost or doubled where the pieces overlap.
void tst_LocalSpeechEngine::aCutInSpeechLosesNoWord() {
    QFETCH(QString, said);
    std::vector<AudioClip> clips;
    if (said.isEmpty()) {
        for (const SpokenSample& sample : SpeechCorpus::librivox(5)) {
            if (sample.clip.durationSeconds() > 4.5) { // shorter ones are decoded whole
                clips.push_back(sample.clip);
            }
        }
    } else {
        clips.push_back(SpeechCorpus::say(said, u"en-us+f2"_s, 150));
    }
    QVERIFY(!clips.empty());
    auto whole =
        SphinxDecoder::create(ServerConfig::defaults().localModelDirectory, DictationModel::locate());
    QVERIFY(whole.ok());
    for (const AudioClip& clip : clips) {
        const auto pieces = SpeechSegmenter::split(clip.samples, 2);
        QVERIFY2(pieces.size() == 2 && pieces[1].cutInSpeech, "the recording is cut in speech");
        const auto words = whole.value()->decode(clip.samples);
        QVERIFY(words.ok());
        QStringList wholeText;
        for (const HeardWord& word : words.value()) {
            if (word.isSpeech()) {
                wholeText.append(QString::fromStdString(word.word));
            }
        }
        QCOMPARE(transcribe(clip).toLower(), wholeText.join(u' '));
    }
}

QTEST_GUILESS_MAIN(tst_LocalSpeechEngine)
#include "tst_LocalSpeechEngine.moc"

#include "SpeechCorpus.h"

#include "server/wav/AudioNormalizer.h"
#include "server/wav/WavParser.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace SpeechCorpus {

namespace {

const QString librivoxDirectory = QStringLiteral("/usr/share/pocketsphinx/test/data/librivox");

AudioClip clipOf(const QByteArray& wav) {
    const auto audio = WavParser::parse(std::string_view(wav.constData(), std::size_t(wav.size())));
    return audio.ok() ? AudioNormalizer::toClip(audio.value()).valueOr(AudioClip{}) : AudioClip{};
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

std::vector<SpokenSample> librivox(int limit) {
    std::vector<SpokenSample> samples;
    // Lines read "<s> words </s> (file id)".
    static const QRegularExpression line(QStringLiteral("^<s> (.*) </s> \\((\\S+)\\)$"));
    const QStringList lines =
        QString::fromUtf8(readFile(librivoxDirectory + QStringLiteral("/transcription")))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& text : lines) {
        const auto match = line.match(text.trimmed());
        if (!match.hasMatch() || int(samples.size()) >= limit) {
            continue;
        }
        AudioClip clip = clipOf(
            readFile(librivoxDirectory + QLatin1Char('/') + match.captured(2) + QStringLiteral(".wav")));
        if (!clip.samples.empty()) {
            samples.push_back(SpokenSample{match.captured(2), match.captured(1), std::move(clip)});
        }
    }
    return samples;
}

AudioClip say(const QString& text, const QString& voice, int wordsPerMinute, Synthesiser synthesiser) {
    QTemporaryDir directory;
    const QString spoken = directory.filePath(QStringLiteral("spoken.wav"));
    const QString converted = directory.filePath(QStringLiteral("converted.wav"));
    // flite speaks about 160 words a minute and is slowed down by stretching its sounds.
    const auto synthesised =
        synthesiser == Synthesiser::espeak
            ? QProcess::execute(QStringLiteral("espeak-ng"),
                                {QStringLiteral("-v"), voice, QStringLiteral("-s"),
                                 QString::number(wordsPerMinute), QStringLiteral("-w"), spoken, text})
            : QProcess::execute(QStringLiteral("flite"),
                                {QStringLiteral("-voice"), voice, QStringLiteral("--setf"),
                                 QStringLiteral("duration_stretch=%1").arg(160.0 / wordsPerMinute),
                                 QStringLiteral("-t"), text, QStringLiteral("-o"), spoken});
    if (synthesised != 0 ||
        // Dithered as a microphone's noise would be, but with a fixed seed: random dither made every
        // run's audio, and so its figures, different.
        QProcess::execute(QStringLiteral("sox"),
                          {QStringLiteral("-R"), spoken, QStringLiteral("-r"), QStringLiteral("16000"),
                           QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-b"),
                           QStringLiteral("16"), converted}) != 0) {
        return {};
    }
    return clipOf(readFile(converted));
}

std::vector<SpokenSample> spokenPunctuation(Synthesiser synthesiser, bool heldOut, int limit) {
    static const QStringList inModelText{
        QStringLiteral("hello comma how are you question mark new line thanks period"),
        QStringLiteral("can we meet tomorrow morning question mark"),
        QStringLiteral("thanks for your help period"),
        QStringLiteral("that is great news exclamation mark"),
    };
    static const QStringList notInModelText{
        QStringLiteral("please call me back this afternoon period"),
        QStringLiteral("we need bread comma milk and coffee period"),
        QStringLiteral("did you finish the slides question mark"),
        QStringLiteral("dear sam comma new line the package arrived today period"),
    };
    static const QStringList espeakVoices{QStringLiteral("en-us"), QStringLiteral("en-us+f2"),
                                          QStringLiteral("en-us+m3")};
    // Every voice flite ships at 16 kHz.
    static const QStringList fliteVoices{QStringLiteral("slt"), QStringLiteral("rms"), QStringLiteral("awb"),
                                         QStringLiteral("kal16")};
    std::vector<SpokenSample> samples;
    for (const QString& sentence : heldOut ? notInModelText : inModelText) {
        for (const int speed : {140, 175}) {
            for (const QString& voice : synthesiser == Synthesiser::espeak ? espeakVoices : fliteVoices) {
                if (int(samples.size()) >= limit) {
                    return samples;
                }
                AudioClip clip = say(sentence, voice, speed, synthesiser);
                if (!clip.samples.empty()) {
                    samples.push_back(SpokenSample{voice + QLatin1Char('@') + QString::number(speed),
                                                   sentence, std::move(clip)});
                }
            }
        }
    }
    return samples;
}

} // namespace SpeechCorpus

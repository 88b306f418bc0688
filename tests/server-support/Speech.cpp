#include "Speech.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>

namespace Speech {

QByteArray say(const QString& text, const QStringList& soxFormat) {
    QTemporaryDir directory;
    const QString spoken = directory.filePath(QStringLiteral("spoken.wav"));
    const QString converted = directory.filePath(QStringLiteral("converted.wav"));
    // This voice and speed are the ones the offline model recognises best among espeak's.
    if (QProcess::execute(QStringLiteral("espeak-ng"),
                          {QStringLiteral("-v"), QStringLiteral("en-us+f2"), QStringLiteral("-s"),
                           QStringLiteral("150"), QStringLiteral("-w"), spoken, text}) != 0) {
        return {};
    }
    if (QProcess::execute(QStringLiteral("sox"), QStringList{spoken} + soxFormat + QStringList{converted}) !=
        0) {
        return {};
    }
    QFile file(converted);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool heardMost(const QString& expected, const QString& heard) {
    const QStringList heardWords =
        heard.toLower().split(QRegularExpression(QStringLiteral("\\W+")), Qt::SkipEmptyParts);
    const QStringList words = expected.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const auto count = std::count_if(words.begin(), words.end(),
                                     [&](const QString& word) { return heardWords.contains(word); });
    return count * 10 >= words.size() * 6;
}

} // namespace Speech

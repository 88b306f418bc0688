#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Spoken English made at test time with espeak-ng and converted with sox, so that no recording has
// to live in the repository.
namespace Speech {

// `text` spoken, as WAV bytes with the given sox output options (by default 16 kHz mono 16-bit).
QByteArray say(const QString& text, const QStringList& soxFormat = {
                                        QStringLiteral("-r"), QStringLiteral("16000"), QStringLiteral("-c"),
                                        QStringLiteral("1"), QStringLiteral("-b"), QStringLiteral("16")});

// Whether at least 60% of the words of `expected` occur in `heard` (case-insensitive).
bool heardMost(const QString& expected, const QString& heard);

} // namespace Speech

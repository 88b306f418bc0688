#pragma once

#include <QString>

// How the system counts text, wherever it stores or compares a count.
namespace TextMetrics {

// Maximal runs of characters that are not white space.
qint64 wordCount(const QString& text);

// User-perceived characters (extended grapheme clusters): "👍🏽" and "é" written as e + U+0301
// are one each.
qint64 characterCount(const QString& text);

} // namespace TextMetrics

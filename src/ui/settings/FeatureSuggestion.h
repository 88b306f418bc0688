#pragma once

#include <QString>
#include <QUrl>

// The mail a feature suggestion becomes.
namespace FeatureSuggestion {

inline const QString subject = QStringLiteral("Orlavo \u2014 Feature Suggestion");

// The suggestion and, under a rule, the version, the build and the system it was sent from.
QString body(const QString& text, const QString& version, const QString& build, const QString& systemName);

// "mailto:" with the subject and body. Every value is percent-encoded but for letters, digits and
// "-._~", so "&", "=", "+" and "#" in the text stay text instead of splitting the link.
QUrl mailtoUrl(const QString& address, const QString& text, const QString& version, const QString& build,
               const QString& systemName);

// "Linux" and the distribution's PRETTY_NAME from an os-release file ("Linux, Debian GNU/Linux 12
// (bookworm)"); "Linux" alone when there is none. Empty paths read the usual two places.
QString systemName(const QString& osReleasePath = {});

} // namespace FeatureSuggestion

#include "app/commands/TextCommand.h"

#include "core/context/AppContextService.h"
#include "core/storage/LocalDatabase.h"
#include "core/text/TextProcessingService.h"
#include "core/time/SystemClock.h"

#include <QByteArray>
#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <optional>

namespace {

const char* const usage =
    "Usage: orlavo text [--lang en|es] [--app NAME]\n"
    "\n"
    "Reads a transcript on standard input and prints the text a dictation would type: the\n"
    "matching snippet, or the transcript with your dictionary, filler removal and spoken\n"
    "punctuation applied. The AI edit passes are not run. Your dictionary and snippets are\n"
    "read, never changed.\n"
    "\n"
    "  --app NAME   format for this application (\"Slack\", \"Thunderbird\", \"kitty\")\n"
    "  --lang CODE  the language spoken, en or es; English and Spanish spoken punctuation\n"
    "               and fillers are always understood together, as in a dictation, so the\n"
    "               output is the same for both\n";

struct Options {
    std::optional<QString> appName;
};

int usageError(const char* message) {
    std::fprintf(stderr, "orlavo text: %s\n\n%s", message, usage);
    return 2;
}

QByteArray readStandardInput() {
    QByteArray input;
    char buffer[65536];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        input.append(buffer, static_cast<qsizetype>(count));
    }
    return input;
}

} // namespace

int runTextCommand(const QStringList& arguments) {
    Options options;
    for (qsizetype index = 0; index < arguments.size(); ++index) {
        const QString& argument = arguments.at(index);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            std::fputs(usage, stdout);
            return 0;
        }
        const bool takesValue = argument == QLatin1String("--app") || argument == QLatin1String("--lang");
        if (!takesValue) {
            return usageError("unknown option");
        }
        if (index + 1 >= arguments.size()) {
            return usageError("an option is missing its value");
        }
        const QString& value = arguments.at(++index);
        if (argument == QLatin1String("--app")) {
            options.appName = value;
        } else if (value != QLatin1String("en") && value != QLatin1String("es")) {
            return usageError("--lang takes en or es");
        }
    }

    SystemClock clock;
    LocalDatabase database(clock, LocalDatabase::defaultFilePath(), LocalDatabase::Access::readOnly);
    // No database yet means no dictionary and no snippets; one that cannot be read is an error,
    // since the output would silently ignore the user's entries.
    if (QFileInfo::exists(database.filePath())) {
        if (const auto opened = database.bootstrap(); !opened) {
            std::fprintf(stderr, "orlavo text: cannot read %s: %s\n", qPrintable(database.filePath()),
                         qPrintable(opened.error().description));
            return 1;
        }
    }

    const QString transcript = QString::fromUtf8(readStandardInput());
    AppContextService appContext;
    TextProcessingService textProcessing(database, appContext);
    const QByteArray output = textProcessing.process(transcript, options.appName).toUtf8() + '\n';
    std::fwrite(output.constData(), 1, static_cast<size_t>(output.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

#include "app/commands/TranscribeCommand.h"

#include "app/commands/TextServices.h"
#include "core/backend/BackendClient.h"
#include "core/backend/BackendToken.h"
#include "core/paths/AppPaths.h"
#include "core/settings/JsonFileKeyValueStore.h"
#include "core/settings/KeychainService.h"
#include "core/settings/SettingsStore.h"
#include "core/storage/LocalDatabase.h"
#include "core/time/QtScheduler.h"
#include "core/time/SystemClock.h"
#include "core/transcribe/FileTranscriber.h"
#include "core/transcribe/UnsavedKeyValueStore.h"

#include <cstdio>

namespace {

int usage() {
    std::fprintf(stderr, "Usage: orlavo transcribe FILE.wav [--app NAME]\n");
    return 2;
}

} // namespace

int runTranscribeCommand(const QStringList& arguments) {
    QString path;
    std::optional<QString> appName;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--app")) {
            if (i + 1 >= arguments.size()) {
                return usage();
            }
            appName = arguments.at(++i);
        } else if (argument.startsWith(QLatin1Char('-')) || !path.isEmpty()) {
            return usage();
        } else {
            path = argument;
        }
    }
    if (path.isEmpty()) {
        return usage();
    }
    const auto recording = RecordedWav::fromFile(path);
    if (!recording) {
        std::fprintf(stderr, "orlavo: %s\n", qPrintable(recording.error().description));
        return 2;
    }

    // The user's settings and credentials as they are; nothing this run does is saved. The
    // database is read for the dictionary and snippets, and a file is not a dictation to count.
    JsonFileKeyValueStore storedDefaults(AppPaths::defaultsFile(), JsonFileKeyValueStore::Access::readOnly);
    UnsavedKeyValueStore defaults(storedDefaults);
    SettingsStore settingsStore(defaults);
    KeychainService keychain(defaults);
    SystemClock clock;
    LocalDatabase database(clock, AppPaths::databaseFile(), LocalDatabase::Access::readOnly);
    BackendClient backend([&settingsStore] { return settingsStore.load(); },
                          [&keychain] { return BackendToken::fromCredentials(keychain); });
    QtScheduler scheduler;
    TextServices text(database, clock);

    FileTranscriber transcriber(FileTranscriber::Services{settingsStore, keychain, database, backend,
                                                          text.textProcessing, text.appContext, text.notes,
                                                          scheduler});
    const FileTranscription result = transcriber.transcribe(recording.value(), appName);
    if (result.delivered) {
        std::printf("%s\n", result.text.toUtf8().constData());
        return 0;
    }
    std::fprintf(stderr, "%s\n%s\n", result.message.toUtf8().constData(),
                 result.description.toUtf8().constData());
    return 1;
}

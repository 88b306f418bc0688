// Storage under abuse: a writer saves settings, statistics rows and notes while another connection
// holds the database's write lock for 3 s at a time, `orlavo text` reads it in a loop (when
// ORLAVO_BINARY names the program), and the writer is killed with SIGKILL at random moments and
// started again. At the end: defaults.json parses and is 0600, the database passes its integrity
// check, and every note the writer saw saved is in the journal exactly once and whole.
//
//   storage_crash [WRITES=10000] [SECONDS=300]    stops at WRITES writes of each kind or SECONDS
#include "core/notes/NotesService.h"
#include "core/settings/JsonFileKeyValueStore.h"
#include "core/storage/LocalDatabase.h"
#include "core/time/SystemClock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Writes from `first` on; after each note is saved its id goes to the acknowledgement file.
[[noreturn]] void writer(int attempt, int first, int total, const QString& acks) {
    SystemClock clock;
    JsonFileKeyValueStore defaults(
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("Kestrov/defaults.json"));
    LocalDatabase database(clock);
    static_cast<void>(database.bootstrap());
    NotesService notes(clock, QStringLiteral("en_US"), QStringLiteral("UTC"));
    FILE* ackFile = std::fopen(QFile::encodeName(acks).constData(), "a");
    for (int i = first; i < total; ++i) {
        defaults.setString(QStringLiteral("bench.counter"), QString::number(i));
        database.insertStats(
            StatsRecord{i, i * 5, 1000, QStringLiteral("en"), QStringLiteral("push"), false});
        const QString id = QStringLiteral("note-%1-%2").arg(attempt).arg(i);
        // A long body: a torn write would show as a line without its end marker.
        if (notes
                .saveNote(id + QLatin1Char(' ') + QString(200, QLatin1Char('x')) + QStringLiteral(" end"),
                          std::nullopt)
                .ok()) {
            std::fprintf(ackFile, "%s %d\n", qPrintable(id), i);
            std::fflush(ackFile);
            ::fsync(fileno(ackFile));
        }
    }
    std::_Exit(0);
}

[[noreturn]] void lockHolder(const QString& databasePath) {
    for (;;) {
        sqlite3* connection = nullptr;
        if (sqlite3_open(QFile::encodeName(databasePath).constData(), &connection) == SQLITE_OK &&
            sqlite3_exec(connection, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK) {
            std::this_thread::sleep_for(std::chrono::seconds(3));
            sqlite3_exec(connection, "COMMIT", nullptr, nullptr, nullptr);
        }
        sqlite3_close(connection);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
}

int lastAcknowledged(const QString& acks) {
    QFile file(acks);
    int last = -1;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.contains(' ')) {
                last = std::max(last, line.split(' ').value(1).toInt());
            }
        }
    }
    return last;
}

} // namespace

int main(int argc, char** argv) {
    const int total = argc > 1 ? std::atoi(argv[1]) : 10'000;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 300;
    QTemporaryDir home;
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "HOME"}) {
        qputenv(name, home.path().toUtf8());
    }
    const QString acks = home.filePath("acks");
    SystemClock clock;
    const QString notesPath = NotesService(clock).defaultNotesPath().value();
    {
        LocalDatabase database(clock);
        static_cast<void>(database.bootstrap());
    }
    const QString databasePath = LocalDatabase::defaultFilePath();
    const pid_t locker = fork();
    if (locker == 0) {
        lockHolder(databasePath);
    }

    std::mt19937 random(20261207);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int kills = 0;
    int textRuns = 0;
    int attempt = 0;
    QProcess text;
    const QString orlavo = qEnvironmentVariable("ORLAVO_BINARY");
    const auto started = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < deadline) {
        const int first = lastAcknowledged(acks) + 1;
        if (first >= total) {
            break;
        }
        const pid_t child = fork();
        if (child == 0) {
            writer(attempt, first, total, acks);
        }
        ++attempt;
        // Lets it run for 50 ms to 2 s, keeping `orlavo text` busy meanwhile, then kills it.
        const auto until = std::chrono::steady_clock::now() +
                           std::chrono::milliseconds(std::uniform_int_distribution(50, 2000)(random));
        int status = 0;
        bool exited = false;
        while (std::chrono::steady_clock::now() < until && !exited) {
            if (!orlavo.isEmpty() && text.state() == QProcess::NotRunning) {
                text.start(orlavo, {"text"});
                text.write("so um we ship friday\n");
                text.closeWriteChannel();
                ++textRuns;
            }
            text.waitForFinished(20);
            exited = ::waitpid(child, &status, WNOHANG) == child;
        }
        if (!exited) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            ++kills;
        }
    }
    ::kill(locker, SIGKILL);
    ::waitpid(locker, nullptr, 0);
    text.waitForFinished(5000);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    // The verdicts.
    bool ok = true;
    const QString defaultsPath = home.filePath("Kestrov/defaults.json");
    QFile defaultsFile(defaultsPath);
    const bool parses =
        defaultsFile.open(QIODevice::ReadOnly) &&
        !nlohmann::json::parse(defaultsFile.readAll().toStdString(), nullptr, false).is_discarded();
    struct stat status {};
    const bool private0600 =
        ::stat(QFile::encodeName(defaultsPath).constData(), &status) == 0 && (status.st_mode & 0777) == 0600;
    sqlite3* connection = nullptr;
    std::string integrity = "not opened";
    if (sqlite3_open(QFile::encodeName(databasePath).constData(), &connection) == SQLITE_OK) {
        sqlite3_exec(
            connection, "PRAGMA integrity_check",
            [](void* out, int, char** values, char**) {
                *static_cast<std::string*>(out) = values[0] ? values[0] : "";
                return 0;
            },
            &integrity, nullptr);
    }
    sqlite3_close(connection);
    QFile notesFile(notesPath);
    const QByteArray journal = notesFile.open(QIODevice::ReadOnly) ? notesFile.readAll() : QByteArray();
    QFile ackFile(acks);
    int acknowledged = 0;
    int missingOrTwice = 0;
    if (ackFile.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : ackFile.readAll().split('\n')) {
            if (!line.contains(' ')) {
                continue;
            }
            ++acknowledged;
            const QByteArray whole = line.split(' ').value(0) + ' ' + QByteArray(200, 'x') + " end\n";
            if (journal.count(whole) != 1) {
                ++missingOrTwice;
            }
        }
    }
    ok = parses && private0600 && integrity == "ok" && missingOrTwice == 0;
    std::printf("writes per kind %d, writer starts %d, SIGKILLs %d, orlavo text runs %d, %.1f s\n", total,
                attempt, kills, textRuns, elapsed);
    std::printf("defaults.json parses: %s, mode 0600: %s, integrity_check: %s\n", parses ? "yes" : "NO",
                private0600 ? "yes" : "NO", integrity.c_str());
    std::printf("acknowledged notes %d, missing or not exactly once %d\n", acknowledged, missingOrTwice);
    return ok ? 0 : 1;
}

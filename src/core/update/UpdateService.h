#pragma once

#include "core/common/Result.h"
#include "core/ports/Scheduler.h"
#include "core/update/UpdateFeed.h"
#include "core/update/UpdateInstaller.h"

#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class ArchiveExtractor;
class ProcessLauncher;
class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

// Keeps the installed application current: polls the version feed (believed only with a valid
// signature), publishes what it found, and on request downloads the package (held to the announced
// size and checksum), unpacks it, swaps it for the installed Orlavo.app (keeping the old folder as a
// backup until the new version has started) and relaunches. It reports only through its published
// state and single lines on standard output, each starting with two spaces and a status emoji.
//
// Everything runs on the main thread. The ports passed in must outlive the service.
class UpdateService final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateService)
    Q_PROPERTY(bool updateAvailable READ updateAvailable NOTIFY updateAvailableChanged)
    Q_PROPERTY(QString latestVersion READ latestVersion NOTIFY latestVersionChanged)
    Q_PROPERTY(QString releaseNotes READ releaseNotes NOTIFY releaseNotesChanged)
    Q_PROPERTY(QString downloadURL READ downloadURL NOTIFY downloadURLChanged)
    Q_PROPERTY(bool isDownloading READ isDownloading NOTIFY isDownloadingChanged)
    Q_PROPERTY(double downloadProgress READ downloadProgress NOTIFY downloadProgressChanged)
    Q_PROPERTY(QString currentVersion READ currentVersion CONSTANT)
    Q_PROPERTY(bool isConfigured READ isConfigured CONSTANT)
    Q_PROPERTY(bool isPackaged READ isPackaged CONSTANT)

public:
    static constexpr double firstCheckDelay = 5;
    static constexpr double defaultCheckInterval = 14400;
    static constexpr double relaunchDelay = 0.5;
    static constexpr int requestTimeoutMs = 60'000;
    static inline const QString workingDirectoryPrefix = QStringLiteral("OrlavoUpdate-");
    static inline const QString archiveName = QStringLiteral("Orlavo-update.zip");
    static inline const QString extractedName = QStringLiteral("extracted");

    struct Ports {
        QNetworkAccessManager& network;
        Scheduler& scheduler;
        ProcessLauncher& launcher;
        ArchiveExtractor& extractor;
    };

    struct Options {
        UpdateFeed feed;
        QString currentVersion;
        // The installed Orlavo.app; empty when this process is not installed that way.
        QString appFolder;
        // Where the working directories of downloads are made.
        QString temporaryDirectory;
        // The process the relaunch waits for before starting the new version.
        qint64 processId = 0;
        double checkInterval = defaultCheckInterval;
        // Installed by a package manager, which updates it: the service never checks.
        bool packaged = false;
        // The credential presented to the download host; nothing is sent when it is empty.
        std::function<QString()> apiKey;
        // Where the status lines go; standard output when not set.
        std::function<void(const QString&)> printLine;

        // This process: the feed from the build and the environment, ORLAVO_VERSION, the running
        // install folder, the system temporary directory and this process id. apiKey is left to
        // the caller.
        static Options forThisProcess();
    };

    // Also repairs a swap a crash interrupted, and removes the backup once the version a swap
    // installed is the one starting.
    UpdateService(Ports ports, Options options, QObject* parent = nullptr);
    ~UpdateService() override;

    bool updateAvailable() const { return m_updateAvailable; }
    QString latestVersion() const { return m_latestVersion; }
    QString releaseNotes() const { return m_releaseNotes; }
    QString downloadURL() const { return m_downloadURL; }
    bool isDownloading() const { return m_isDownloading; }
    double downloadProgress() const { return m_downloadProgress; }
    QString currentVersion() const { return m_options.currentVersion; }
    bool isConfigured() const { return !m_options.packaged && m_options.feed.isConfigured(); }
    // For the About section: "updated by your package manager".
    bool isPackaged() const { return m_options.packaged; }

    // Reads the feed and publishes what it advertises. Never fails; failures are printed.
    QCoro::Task<> checkForUpdates();

    // The first check after 5 seconds, then one every check interval, until stopped.
    void startPeriodicChecks();
    void stopPeriodicChecks();

    // Downloads, verifies, unpacks and installs the advertised version, then asks to quit after
    // starting the relaunch. Never fails: failures are printed and the state goes back to idle,
    // with the installed application untouched. Ignored while an installation is running.
    QCoro::Task<> downloadAndInstall();

    // For views, which cannot await.
    Q_INVOKABLE void requestCheck();
    Q_INVOKABLE void requestInstall();

    // The shell command that waits for `processId` to end and then starts the folder's bin/orlavo.
    static QString relaunchCommand(const QString& appFolder, qint64 processId);

Q_SIGNALS:
    void updateAvailableChanged();
    void latestVersionChanged();
    void releaseNotesChanged();
    void downloadURLChanged();
    void isDownloadingChanged();
    void downloadProgressChanged();
    // A check has ended, whatever its outcome.
    void checkFinished();
    // The new version is installed and its start is arranged: the application should quit now.
    void quitRequested();

private:
    struct DownloadOutcome;
    struct Expected {
        QString sha256;
        qint64 size = 0;
    };

    QCoro::Task<DownloadOutcome> downloadPackage(QUrl url, QString archivePath, Expected expected);
    QCoro::Task<> runPeriodicCheck(quint64 generation);
    // The body of a 200 answer; nothing otherwise (a transport failure is printed when asked).
    QCoro::Task<std::optional<QByteArray>> fetch(QUrl url, bool reportFailure);
    void finishCheck(const QByteArray& feed, const std::optional<QByteArray>& signature);
    void relaunch();
    void failInstall(const PTTError& error);
    void printRejection(UpdateFeed::DownloadCheck check);
    void print(const QString& line) const;
    void forgetReply(QNetworkReply* reply);

    void setUpdateAvailable(bool available);
    void setLatestVersion(const QString& version);
    void setReleaseNotes(const QString& notes);
    void setDownloadURL(const QString& url);
    void setDownloading(bool downloading);
    void setDownloadProgress(double progress);

    QNetworkAccessManager& m_network;
    Scheduler& m_scheduler;
    ProcessLauncher& m_launcher;
    ArchiveExtractor& m_extractor;
    Options m_options;
    UpdateInstaller m_installer;

    bool m_updateAvailable = false;
    QString m_latestVersion;
    QString m_releaseNotes;
    QString m_downloadURL;
    // The checksum (lower-case hex) and size announced together with m_downloadURL.
    QString m_expectedSha256;
    qint64 m_expectedSize = 0;
    bool m_isDownloading = false;
    double m_downloadProgress = 0.0;

    Scheduler::TimerId m_periodicTimer = Scheduler::invalidTimer;
    quint64 m_periodicGeneration = 0;

    // Suspended coroutines hold a copy; it turns false when the service goes away, so a reply
    // or timer that resumes them later finds out before touching the service.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    QList<QPointer<QNetworkReply>> m_activeReplies;
};

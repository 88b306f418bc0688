#include "core/update/UpdateService.h"

#include "OrlavoVersion.h"
#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/common/FileError.h"
#include "core/net/NetworkError.h"
#include "core/ports/ArchiveExtractor.h"
#include "core/ports/ProcessLauncher.h"
#include "core/update/InstallLocation.h"
#include "core/update/UpdateError.h"
#include "core/update/UpdateSignature.h"
#include "core/update/VersionComparison.h"
#include "core/update/VersionManifest.h"

#include <QCoreApplication>
#include <QCoroNetworkReply>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QUrl>
#include <QUuid>

#include <algorithm>
#include <cstdio>

namespace {

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};
using ReplyPointer = std::unique_ptr<QNetworkReply, DeleteLater>;

QString checkFailedLine(const QString& description) {
    return QStringLiteral("  ⚠️ Update check failed: ") + description;
}

QString installFailedLine(const QString& description) {
    return QStringLiteral("  ❌ Update failed: ") + description;
}

PTTError fileError(const QString& description) {
    return makeError(FileError::unknown, description);
}

bool isSha256Hex(const QString& text) {
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    return hex.match(text).hasMatch();
}

} // namespace

struct UpdateService::DownloadOutcome {
    enum class Kind { downloaded, httpStatus, redirectRefused, failed };
    Kind kind = Kind::failed;
    int httpStatus = 0;
    UpdateFeed::DownloadCheck refusal = UpdateFeed::DownloadCheck::accepted;
    PTTError error = {};
};

UpdateService::Options UpdateService::Options::forThisProcess() {
    Options options;
    options.feed = UpdateFeed::fromEnvironment();
    options.currentVersion = QStringLiteral(ORLAVO_VERSION);
    options.appFolder = InstallLocation::runningAppFolder();
    options.temporaryDirectory = QDir::tempPath();
    options.processId = QCoreApplication::applicationPid();
    options.packaged = InstallLocation::runningIsPackageManaged();
    return options;
}

UpdateService::UpdateService(Ports ports, Options options, QObject* parent)
    : QObject(parent)
    , m_network(ports.network)
    , m_scheduler(ports.scheduler)
    , m_launcher(ports.launcher)
    , m_extractor(ports.extractor)
    , m_options(std::move(options))
    , m_installer(m_options.appFolder) {
    if (m_options.currentVersion.isEmpty()) {
        m_options.currentVersion = QStringLiteral("0.0.0");
    }
    if (m_options.temporaryDirectory.isEmpty()) {
        m_options.temporaryDirectory = QDir::tempPath();
    }
    if (m_installer.recoverInterruptedSwap()) {
        print(QStringLiteral("  ↩️ Restored the previous version after an interrupted update"));
    }
    // Reaching this point is the new version saying that it starts.
    if (m_installer.cleanupOldBackup(m_options.currentVersion)) {
        print(QStringLiteral("  🧹 Cleaned up update backup"));
    }
}

UpdateService::~UpdateService() {
    *m_alive = false;
    m_scheduler.cancel(m_periodicTimer);
    // Aborting finishes the replies at once; their coroutines see m_alive and stop.
    const auto replies = m_activeReplies;
    for (const QPointer<QNetworkReply>& reply : replies) {
        if (reply) {
            reply->abort();
        }
    }
}

QCoro::Task<> UpdateService::checkForUpdates() {
    if (!isConfigured()) {
        print(checkFailedLine(updateErrorDescription(UpdateError::notConfigured)));
        Q_EMIT checkFinished();
        co_return;
    }
    const auto alive = m_alive;
    const std::optional<QByteArray> feed = co_await fetch(m_options.feed.feedURL, true);
    if (!*alive) {
        co_return;
    }
    if (feed) {
        // Only a feed that answered is worth its signature.
        const std::optional<QByteArray> signature = co_await fetch(m_options.feed.signatureURL(), false);
        if (!*alive) {
            co_return;
        }
        finishCheck(*feed, signature);
    }
    Q_EMIT checkFinished();
}

QCoro::Task<std::optional<QByteArray>> UpdateService::fetch(QUrl url, bool reportFailure) {
    const auto alive = m_alive;
    QNetworkRequest request(url);
    request.setTransferTimeout(requestTimeoutMs);
    ReplyPointer reply(m_network.get(request));
    m_activeReplies.append(reply.get());
    co_await reply.get();
    if (!*alive) {
        co_return std::nullopt;
    }
    forgetReply(reply.get());
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // An answer other than 200 ends the check silently; the published state stays.
    if (status.isValid() && status.toInt() != 200) {
        co_return std::nullopt;
    }
    if (reply->error() != QNetworkReply::NoError) {
        if (reportFailure) {
            print(checkFailedLine(
                NetworkError::fromReply(reply->error(), NetworkError::Ending::byServer, reply->errorString())
                    .description));
        }
        co_return std::nullopt;
    }
    if (!status.isValid()) {
        co_return std::nullopt;
    }
    co_return reply->readAll();
}

void UpdateService::finishCheck(const QByteArray& feed, const std::optional<QByteArray>& signature) {
    // Nothing of an unverified feed is believed, not even whether an update exists.
    if (!signature) {
        print(installFailedLine(updateErrorDescription(UpdateError::unsignedFeed)));
        return;
    }
    if (!UpdateSignature::verify(m_options.feed.publicKey, feed, *signature)) {
        print(installFailedLine(updateErrorDescription(UpdateError::badSignature)));
        return;
    }
    const auto manifest = VersionManifest::fromJson(feed);
    if (!manifest) {
        print(checkFailedLine(manifest.error().description));
        return;
    }
    if (!isNewerVersion(manifest->version, m_options.currentVersion)) {
        setUpdateAvailable(false);
        return;
    }
    if (!manifest->sha256 || !isSha256Hex(*manifest->sha256) || !manifest->size || *manifest->size <= 0) {
        print(installFailedLine(updateErrorDescription(UpdateError::incompleteFeed)));
        return;
    }
    m_expectedSha256 = manifest->sha256->toLower();
    m_expectedSize = *manifest->size;
    setLatestVersion(manifest->version);
    setReleaseNotes(manifest->releaseNotes.value_or(QString()));
    setDownloadURL(manifest->downloadURL);
    setUpdateAvailable(true);
    print(QStringLiteral("  🆕 Update available: v%1 (current: v%2)")
              .arg(manifest->version, m_options.currentVersion));
}

void UpdateService::startPeriodicChecks() {
    stopPeriodicChecks();
    if (!isConfigured()) {
        print(checkFailedLine(updateErrorDescription(UpdateError::notConfigured)));
        return;
    }
    const quint64 generation = m_periodicGeneration;
    m_periodicTimer =
        m_scheduler.after(firstCheckDelay, [this, generation] { runPeriodicCheck(generation); });
}

void UpdateService::stopPeriodicChecks() {
    ++m_periodicGeneration;
    m_scheduler.cancel(m_periodicTimer);
    m_periodicTimer = Scheduler::invalidTimer;
}

QCoro::Task<> UpdateService::runPeriodicCheck(quint64 generation) {
    m_periodicTimer = Scheduler::invalidTimer;
    const auto alive = m_alive;
    co_await checkForUpdates();
    // The next check is counted from the end of this one, and only while the checks still run.
    if (!*alive || generation != m_periodicGeneration) {
        co_return;
    }
    m_periodicTimer =
        m_scheduler.after(m_options.checkInterval, [this, generation] { runPeriodicCheck(generation); });
}

void UpdateService::requestCheck() {
    checkForUpdates();
}

void UpdateService::requestInstall() {
    downloadAndInstall();
}

QCoro::Task<> UpdateService::downloadAndInstall() {
    if (m_isDownloading) {
        co_return;
    }
    if (!isConfigured()) {
        print(installFailedLine(updateErrorDescription(UpdateError::notConfigured)));
        co_return;
    }
    // What was advertised when the installation started; a check during the download may change it.
    const QString downloadURL = m_downloadURL;
    const Expected expected{m_expectedSha256, m_expectedSize};
    const QString newVersion = m_latestVersion;
    if (const auto check = m_options.feed.checkDownloadURL(downloadURL);
        check != UpdateFeed::DownloadCheck::accepted) {
        printRejection(check);
        co_return;
    }

    const auto alive = m_alive;
    setDownloading(true);
    setDownloadProgress(0.0);

    const QString workingDirectory =
        QDir(m_options.temporaryDirectory)
            .filePath(workingDirectoryPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!QDir().mkpath(workingDirectory)) {
        failInstall(fileError(QStringLiteral("Could not create the folder “%1”.").arg(workingDirectory)));
        co_return;
    }
    // Whatever happens from here, the working directory goes: a refused package must not stay
    // around, half unpacked, in the temporary directory.
    const auto fail = [this, workingDirectory](const PTTError& error) {
        UpdateInstaller::removePath(workingDirectory);
        failInstall(error);
    };
    const QString archivePath = QDir(workingDirectory).filePath(archiveName);
    const DownloadOutcome outcome =
        co_await downloadPackage(QUrl(downloadURL, QUrl::StrictMode), archivePath, expected);
    if (!*alive) {
        UpdateInstaller::removePath(workingDirectory);
        co_return;
    }
    switch (outcome.kind) {
    case DownloadOutcome::Kind::downloaded:
        break;
    case DownloadOutcome::Kind::httpStatus:
        print(QStringLiteral("  ❌ Update download failed: HTTP %1").arg(outcome.httpStatus));
        setDownloading(false);
        setDownloadProgress(0.0);
        UpdateInstaller::removePath(workingDirectory);
        co_return;
    case DownloadOutcome::Kind::redirectRefused:
        printRejection(outcome.refusal);
        setDownloading(false);
        setDownloadProgress(0.0);
        UpdateInstaller::removePath(workingDirectory);
        co_return;
    case DownloadOutcome::Kind::failed:
        fail(outcome.error);
        co_return;
    }
    setDownloadProgress(0.4);

    const QString extractedPath = QDir(workingDirectory).filePath(extractedName);
    if (!QDir().mkpath(extractedPath)) {
        fail(makeUpdateError(UpdateError::unzipFailed));
        co_return;
    }
    if (const auto extracted = m_extractor.extract(archivePath, extractedPath); !extracted) {
        fail(makeUpdateError(extracted.error().domain == ErrorDomain::update ? UpdateError::packageTooLarge
                                                                             : UpdateError::unzipFailed));
        co_return;
    }
    setDownloadProgress(0.6);

    const auto newApp = m_installer.findNewApp(extractedPath);
    if (!newApp) {
        fail(newApp.error());
        co_return;
    }
    if (const auto location = m_installer.checkInstallLocation(); !location) {
        fail(location.error());
        co_return;
    }
    setDownloadProgress(0.8);

    if (const auto swapped = m_installer.swapIn(newApp.value(), newVersion); !swapped) {
        fail(swapped.error());
        co_return;
    }
    UpdateInstaller::removePath(workingDirectory);
    setDownloadProgress(1.0);

    co_await m_scheduler.sleep(relaunchDelay);
    if (!*alive) {
        co_return;
    }
    relaunch();
}

QCoro::Task<UpdateService::DownloadOutcome> UpdateService::downloadPackage(QUrl url, QString archivePath,
                                                                           Expected expected) {
    // Shared with the signal handlers, which may outlive this frame until the reply is deleted.
    struct Transfer {
        QFile file;
        QCryptographicHash hash{QCryptographicHash::Sha256};
        qint64 received = 0;
        std::optional<PTTError> writeError;
        std::optional<UpdateFeed::DownloadCheck> refusedRedirect;

        // Checked as the bytes arrive, so a package bigger than announced never fills the disk.
        bool take(const QByteArray& bytes, qint64 limit) {
            received += bytes.size();
            if (received > limit) {
                writeError = makeUpdateError(UpdateError::wrongSize);
                return false;
            }
            hash.addData(bytes);
            if (file.write(bytes) < 0) {
                writeError = fileError(file.errorString());
                return false;
            }
            return true;
        }
    };
    const auto transfer = std::make_shared<Transfer>();
    transfer->file.setFileName(archivePath);
    if (!transfer->file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        co_return DownloadOutcome{.error = fileError(transfer->file.errorString())};
    }

    QNetworkRequest request(url);
    request.setTransferTimeout(requestTimeoutMs);
    // A redirect must lead to the allowed host as well; it is checked like the URL itself.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    if (const QString key = m_options.apiKey ? m_options.apiKey() : QString(); !key.isEmpty()) {
        request.setRawHeader("Authorization", "Bearer " + key.toUtf8());
    }
    const auto alive = m_alive;
    ReplyPointer reply(m_network.get(request));
    QNetworkReply* raw = reply.get();
    m_activeReplies.append(raw);
    const qint64 limit = expected.size;

    connect(raw, &QIODevice::readyRead, raw, [transfer, raw, limit] {
        // The body of an error answer is not the package.
        const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (transfer->writeError || (status.isValid() && status.toInt() != 200)) {
            return;
        }
        if (!transfer->take(raw->readAll(), limit)) {
            raw->abort();
        }
    });
    connect(raw, &QNetworkReply::downloadProgress, this, [this, alive](qint64 received, qint64 total) {
        if (*alive && total > 0) {
            setDownloadProgress(0.4 * std::clamp(double(received) / double(total), 0.0, 1.0));
        }
    });
    connect(raw, &QNetworkReply::redirected, raw, [this, alive, transfer, raw](const QUrl& target) {
        const auto check = *alive ? m_options.feed.checkDownloadURL(target.toString(QUrl::FullyEncoded))
                                  : UpdateFeed::DownloadCheck::wrongHost;
        if (check == UpdateFeed::DownloadCheck::accepted) {
            Q_EMIT raw->redirectAllowed();
            return;
        }
        transfer->refusedRedirect = check;
        raw->abort();
    });

    co_await raw;
    if (!*alive) {
        co_return DownloadOutcome{};
    }
    forgetReply(raw);
    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool answered = status.isValid() && status.toInt() == 200;
    if (answered && !transfer->writeError && raw->isOpen()) {
        transfer->take(raw->readAll(), limit);
    }
    if (!transfer->writeError && !transfer->file.flush()) {
        transfer->writeError = fileError(transfer->file.errorString());
    }
    transfer->file.close();

    if (transfer->refusedRedirect) {
        co_return DownloadOutcome{.kind = DownloadOutcome::Kind::redirectRefused,
                                  .refusal = *transfer->refusedRedirect};
    }
    if (transfer->writeError) {
        co_return DownloadOutcome{.error = *transfer->writeError};
    }
    if (status.isValid() && status.toInt() != 200) {
        co_return DownloadOutcome{.kind = DownloadOutcome::Kind::httpStatus, .httpStatus = status.toInt()};
    }
    if (raw->error() != QNetworkReply::NoError) {
        co_return DownloadOutcome{.error = NetworkError::fromReply(
                                      raw->error(), NetworkError::Ending::byServer, raw->errorString())};
    }
    if (!status.isValid()) {
        co_return DownloadOutcome{.error = makeUpdateError(UpdateError::notHTTPResponse)};
    }
    if (transfer->received != expected.size) {
        co_return DownloadOutcome{.error = makeUpdateError(UpdateError::wrongSize)};
    }
    // Checked before anything is unpacked or moved.
    if (QString::fromLatin1(transfer->hash.result().toHex()) != expected.sha256) {
        co_return DownloadOutcome{.error = makeUpdateError(UpdateError::checksumMismatch)};
    }
    co_return DownloadOutcome{.kind = DownloadOutcome::Kind::downloaded};
}

void UpdateService::relaunch() {
    const auto started = m_launcher.startDetached(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), relaunchCommand(m_installer.appFolder(), m_options.processId)});
    if (!started) {
        // The new version is in place for the next start; this one keeps running.
        failInstall(started.error());
        return;
    }
    Q_EMIT quitRequested();
}

QString UpdateService::relaunchCommand(const QString& appFolder, qint64 processId) {
    QString executable = QDir(appFolder).filePath(InstallLocation::executablePath);
    executable.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 0.2; done; exec '%2'")
        .arg(QString::number(processId), executable);
}

void UpdateService::failInstall(const PTTError& error) {
    print(installFailedLine(error.description));
    setDownloading(false);
    setDownloadProgress(0.0);
}

void UpdateService::printRejection(UpdateFeed::DownloadCheck check) {
    if (check == UpdateFeed::DownloadCheck::insecure) {
        print(QStringLiteral("  ❌ Update rejected: download URL is not https"));
    } else {
        print(QStringLiteral("  ❌ Update rejected: download URL host is not ") +
              m_options.feed.allowedDownloadHost);
    }
}

void UpdateService::print(const QString& line) const {
    if (m_options.printLine) {
        m_options.printLine(line);
        return;
    }
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void UpdateService::forgetReply(QNetworkReply* reply) {
    m_activeReplies.removeIf(
        [reply](const QPointer<QNetworkReply>& entry) { return !entry || entry == reply; });
}

void UpdateService::setUpdateAvailable(bool available) {
    if (m_updateAvailable != available) {
        m_updateAvailable = available;
        Q_EMIT updateAvailableChanged();
    }
}

void UpdateService::setLatestVersion(const QString& version) {
    if (m_latestVersion != version) {
        m_latestVersion = version;
        Q_EMIT latestVersionChanged();
    }
}

void UpdateService::setReleaseNotes(const QString& notes) {
    if (m_releaseNotes != notes) {
        m_releaseNotes = notes;
        Q_EMIT releaseNotesChanged();
    }
}

void UpdateService::setDownloadURL(const QString& url) {
    if (m_downloadURL != url) {
        m_downloadURL = url;
        Q_EMIT downloadURLChanged();
    }
}

void UpdateService::setDownloading(bool downloading) {
    if (m_isDownloading != downloading) {
        m_isDownloading = downloading;
        Q_EMIT isDownloadingChanged();
    }
}

void UpdateService::setDownloadProgress(double progress) {
    if (m_downloadProgress != progress) {
        m_downloadProgress = progress;
        Q_EMIT downloadProgressChanged();
    }
}

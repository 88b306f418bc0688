#include "core/dictation/EditPasses.h"

#include "core/backend/IBackendClient.h"
#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/dictation/PipelineError.h"
#include "core/overlay/IOverlayController.h"
#include "core/ports/Scheduler.h"
#include "core/storage/LocalDatabase.h"
#include "core/text/TextMetrics.h"

#include <QPointer>

namespace {

constexpr int notImplemented = 501;

bool isTransient(const PTTError& error) {
    // Case-sensitive on purpose: these are status codes and a service word, not prose.
    return error.domain == ErrorDomain::network || error.description.contains(QLatin1String("503")) ||
           error.description.contains(QLatin1String("502")) ||
           error.description.contains(QLatin1String("429")) ||
           error.description.contains(QLatin1String("timeout"));
}

const QString transcribeFilename = QStringLiteral("ptt.wav");
const QString transcribeMimeType = QStringLiteral("audio/wav");

} // namespace

EditPasses::EditPasses(IBackendClient& backend, IOverlayController& overlay, Scheduler& scheduler,
                       LocalDatabase& database, const PTTSettings& settings, QObject* parent)
    : QObject(parent)
    , m_backend(backend)
    , m_overlay(overlay)
    , m_scheduler(scheduler)
    , m_database(database)
    , m_settings(settings) {}

QCoro::Task<Result<PTTTranscribeResponse>> EditPasses::transcribeWithRetry(QByteArray audioData) {
    const QPointer<EditPasses> self(this);
    auto first = co_await m_backend.transcribe(audioData, transcribeFilename, transcribeMimeType);
    if (!self) {
        co_return first;
    }
    if (first) {
        if (m_onServiceAnswered) {
            m_onServiceAnswered();
        }
        co_return first;
    }
    if (!isTransient(first.error())) {
        co_return first;
    }
    m_overlay.update(QStringLiteral("Reconnecting\u2026"), OverlayState::transcribing);
    co_await m_scheduler.sleep(0.8);
    if (!self) {
        co_return first;
    }
    auto second = co_await m_backend.transcribe(std::move(audioData), transcribeFilename, transcribeMimeType);
    if (self && second && m_onServiceAnswered) {
        m_onServiceAnswered();
    }
    co_return second;
}

QCoro::Task<Result<QString>> EditPasses::executeSelectionCommand(QString voiceCommand, QString selectedText,
                                                                 std::optional<QString> sourceApp) {
    const QPointer<EditPasses> self(this);
    PTTEditRequest request;
    request.mode = PTTEditMode::selectionCommand;
    request.inputText = std::move(voiceCommand);
    request.originalText = std::move(selectedText);
    request.sourceApp = std::move(sourceApp);
    auto response = co_await m_backend.edit(std::move(request));
    if (!response) {
        // The service works but has no language model: no retry or other wording will help.
        if (response.error().domain == ErrorDomain::backend &&
            response.error().httpStatus == notImplemented) {
            co_return makeError(
                PipelineError::commandsNeedEditService,
                QStringLiteral("Commands on selected text need an AI service; the selection was left as it "
                               "was. The service said: %1")
                    .arg(response.error().description));
        }
        co_return response.error();
    }
    if (self && m_onServiceAnswered) {
        m_onServiceAnswered();
    }
    const QString text = response->text.value_or(QString()).trimmed();
    if (text.isEmpty()) {
        co_return makeError(PipelineError::emptyCommandResult,
                            QStringLiteral("Command mode returned empty text"));
    }
    co_return text;
}

void EditPasses::recordLastPaste(const QString& text, const std::optional<QString>& appName) {
    m_lastPaste =
        LastPaste{text, TextMetrics::characterCount(text), m_scheduler.clock().monotonicSeconds(), appName};
}

QCoro::Task<std::optional<QString>> EditPasses::maybeApplyBacktrack(QString text,
                                                                    std::optional<QString> sourceApp) {
    if (!m_lastPaste) {
        co_return std::nullopt;
    }
    if (!BacktrackDetector::isWithinWindow(m_lastPaste->pastedAt, m_scheduler.clock().monotonicSeconds())) {
        co_return std::nullopt;
    }
    // Replacing text in another application would overwrite whatever the cursor is in there.
    if (!sourceApp || m_lastPaste->appName != sourceApp) {
        co_return std::nullopt;
    }
    if (!m_backtrackDetector.startsWithCorrection(text)) {
        co_return std::nullopt;
    }
    PTTEditRequest request;
    request.mode = PTTEditMode::backtrack;
    request.inputText = std::move(text);
    request.originalText = m_lastPaste->text;
    request.sourceApp = std::move(sourceApp);
    co_return co_await editedText(std::move(request));
}

QCoro::Task<QString> EditPasses::maybeAutoEdit(QString text, std::optional<QString> sourceApp) {
    if (m_settings.polishLevel == PolishLevel::off || TextMetrics::wordCount(text) < 3) {
        co_return text;
    }
    m_overlay.update(QStringLiteral("Polishing\u2026"), OverlayState::transcribing);
    PTTEditRequest request;
    request.mode = PTTEditMode::selfCorrection;
    request.inputText = text;
    request.sourceApp = std::move(sourceApp);
    request.polishLevel = rawValue(m_settings.polishLevel);
    const auto polished = co_await editedText(std::move(request));
    co_return polished.value_or(text);
}

QCoro::Task<QString> EditPasses::maybeApplyPromptPruning(QString text, std::optional<QString> sourceApp) {
    if (!m_settings.promptPruningEnabled || TextMetrics::wordCount(text) < 4) {
        co_return text;
    }
    m_overlay.update(QStringLiteral("Pruning\u2026"), OverlayState::transcribing);
    const QString pruneLevel = rawValue(m_settings.promptPruneLevel);
    const QString targetModel = rawValue(m_settings.promptPruneTarget);
    PTTEditRequest request;
    request.mode = PTTEditMode::promptPrune;
    request.inputText = text;
    request.sourceApp = std::move(sourceApp);
    request.pruneLevel = pruneLevel;
    request.targetModel = targetModel;
    const QPointer<EditPasses> self(this);
    const auto pruned = co_await editedText(std::move(request));
    if (!self || !pruned) {
        co_return text;
    }
    m_database.insertPruningStats(PruningRecord{
        TextMetrics::wordCount(text), TextMetrics::wordCount(*pruned), TextMetrics::characterCount(text),
        TextMetrics::characterCount(*pruned), pruneLevel, targetModel});
    co_return *pruned;
}

QCoro::Task<std::optional<QString>> EditPasses::editedText(PTTEditRequest request) {
    const QPointer<EditPasses> self(this);
    const auto response = co_await m_backend.edit(std::move(request));
    if (!self || !response) {
        co_return std::nullopt;
    }
    if (m_onServiceAnswered) {
        m_onServiceAnswered();
    }
    QString text = response->text.value_or(QString()).trimmed();
    if (text.isEmpty()) {
        co_return std::nullopt;
    }
    co_return text;
}

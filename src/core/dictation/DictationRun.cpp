#include "core/dictation/DictationRun.h"

#include "core/audio/IAudioCaptureService.h"
#include "core/common/ErrorCode.h"
#include "core/context/IAppContextService.h"
#include "core/dictation/EditPasses.h"
#include "core/dictation/PipelineError.h"
#include "core/hotkey/KeyCodes.h"
#include "core/notes/INotesService.h"
#include "core/overlay/IOverlayController.h"
#include "core/paste/IPasteService.h"
#include "core/ports/FrontApplication.h"
#include "core/ports/Scheduler.h"
#include "core/ports/SoundPlayer.h"
#include "core/storage/LocalDatabase.h"
#include "core/text/ITextProcessingService.h"
#include "core/text/TextMetrics.h"

#include <QPointer>

#include <utility>

namespace {

constexpr qint64 minimumRecordingMs = 200;
constexpr double voiceActivityThreshold = 300.0;
constexpr double backtrackSelectPause = 0.1;
constexpr double autoSendPause = 0.05;

QCoro::Task<bool> slept(Scheduler& scheduler, double seconds) {
    co_await scheduler.sleep(seconds);
    co_return true;
}

DictationRun::Outcome failure(PTTError error, QString heard = {}) {
    return DictationRun::Outcome{std::move(error), std::move(heard), std::nullopt, false};
}

PTTError noSpeech() {
    return makeError(PipelineError::noSpeech, QStringLiteral("No speech detected"));
}

} // namespace

DictationRun::DictationRun(PTTAppStateDependencies& services, EditPasses& editPasses,
                           const PTTSettings& settings, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_editPasses(editPasses)
    , m_settings(settings) {}

std::optional<QString> DictationRun::frontApplicationName(FrontApplication& frontApplication) {
    const auto front = frontApplication.current();
    if (!front || front->displayName.isEmpty()) {
        return std::nullopt;
    }
    return front->displayName;
}

template <typename T>
QCoro::Task<std::optional<T>> DictationRun::resumed(QCoro::Task<T> step) {
    const QPointer<DictationRun> self(this);
    T value = co_await std::move(step);
    if (!self || m_abandoned) {
        co_return std::nullopt;
    }
    co_return std::optional<T>(std::move(value));
}

QCoro::Task<bool> DictationRun::paused(double seconds) {
    co_return (co_await resumed(slept(m_services.scheduler, seconds))).has_value();
}

void DictationRun::readSelection() {
    readSelectionNow();
}

QCoro::Task<> DictationRun::readSelectionNow() {
    auto selection = co_await resumed(m_services.paste.selectedText());
    if (!selection) {
        co_return;
    }
    m_selection = std::move(*selection);
    m_isSelectionRead = true;
    emit selectionRead();
    // Last: a waiter may carry the pipeline on from here.
    for (const std::coroutine_handle<> waiter : std::exchange(m_selectionWaiters, {})) {
        waiter.resume();
    }
}

QCoro::Task<bool> DictationRun::selectionArrived(DictationRun& run) {
    co_await SelectionAwaiter{run};
    co_return true;
}

QCoro::Task<std::optional<DictationRun::Outcome>>
DictationRun::deliver(AudioCaptureResult capture, std::optional<QString> sourceApp, QString mode) {
    m_durationMs = capture.durationMs;
    m_sourceApp = std::move(sourceApp);
    m_mode = std::move(mode);

    if (capture.durationMs < minimumRecordingMs) {
        co_return failure(makeError(PipelineError::recordingTooShort, QStringLiteral("Recording too short")));
    }
    if (!m_services.audioCapture.hasVoiceActivity(capture.wavData, voiceActivityThreshold)) {
        co_return failure(makeError(PipelineError::noVoiceActivity, QStringLiteral("No speech detected")));
    }

    const auto response = co_await resumed(m_editPasses.transcribeWithRetry(capture.wavData));
    if (!response) {
        co_return std::nullopt;
    }
    if (!*response) {
        co_return failure(response->error());
    }
    const QString text = (*response)->text.value_or(QString()).trimmed();
    if (text.isEmpty()) {
        co_return failure(noSpeech());
    }
    m_language = (*response)->language;

    // The microphone opened without waiting for the selection; the command decision does wait.
    if (!m_isSelectionRead && !co_await resumed(selectionArrived(*this))) {
        co_return std::nullopt;
    }
    if (m_selection && !m_selection->isEmpty()) {
        co_return co_await deliverCommand(text);
    }
    if (const auto body = m_services.textProcessing.matchSnippet(text)) {
        co_return co_await deliverSnippet(*body);
    }

    QString cleaned = m_services.textProcessing.applyDictionary(text);
    cleaned = m_services.textProcessing.removeFillers(cleaned);
    cleaned = m_services.textProcessing.applyPunctuationCommands(cleaned);
    // Nothing but fillers: as if nothing was said, not an empty paste or note.
    if (cleaned.trimmed().isEmpty()) {
        co_return failure(noSpeech());
    }

    // In notes mode nothing was pasted that could be replaced; the front application holds the
    // user's own text.
    if (!m_settings.noteMode) {
        const auto replacement = co_await resumed(m_editPasses.maybeApplyBacktrack(cleaned, m_sourceApp));
        if (!replacement) {
            co_return std::nullopt;
        }
        const qint64 previousLength = m_editPasses.lastPaste() ? m_editPasses.lastPaste()->length : 0;
        // Without the previous paste selected, pasting its rewrite would repeat the earlier text;
        // the dictation then goes on as dictated.
        if (*replacement && m_services.paste.selectPreviousText(static_cast<int>(previousLength))) {
            co_return co_await deliverBacktrack(**replacement);
        }
    }
    co_return co_await deliverText(cleaned);
}

DictationRun::Step DictationRun::deliverCommand(QString command) {
    m_services.overlay.update(QStringLiteral("Editing\u2026"), OverlayState::transcribing);
    const auto result =
        co_await resumed(m_editPasses.executeSelectionCommand(command, *m_selection, m_sourceApp));
    if (!result) {
        co_return std::nullopt;
    }
    if (!*result) {
        // The selection stays as it was; the words of a command the service could not apply are
        // kept for the user.
        const bool keepWords = hasErrorCode(result->error(), PipelineError::commandsNeedEditService);
        co_return failure(result->error(), keepWords ? command : QString());
    }
    const QString edited = result->value();
    const auto pasted = co_await resumed(m_services.paste.insertViaClipboard(edited));
    if (!pasted) {
        co_return std::nullopt;
    }
    if (!*pasted) {
        co_return failure(pasted->error());
    }
    m_editPasses.recordLastPaste(edited, m_sourceApp);
    writeStatistics(edited, false);
    co_return delivered(edited);
}

DictationRun::Step DictationRun::deliverSnippet(QString body) {
    // Not counted and not a paste a later correction could replace.
    const auto pasted = co_await resumed(m_services.paste.insertViaClipboard(body));
    if (!pasted) {
        co_return std::nullopt;
    }
    if (!*pasted) {
        co_return failure(pasted->error());
    }
    co_return delivered(body);
}

// The previous paste is selected already.
DictationRun::Step DictationRun::deliverBacktrack(QString replacement) {
    if (!co_await paused(backtrackSelectPause)) {
        co_return std::nullopt;
    }
    const auto pasted = co_await resumed(m_services.paste.insertViaClipboard(replacement));
    if (!pasted) {
        co_return std::nullopt;
    }
    if (!*pasted) {
        co_return failure(pasted->error());
    }
    m_editPasses.recordLastPaste(replacement, m_sourceApp);
    writeStatistics(replacement, true);
    co_return delivered(replacement);
}

DictationRun::Step DictationRun::deliverText(QString text) {
    const auto polished = co_await resumed(m_editPasses.maybeAutoEdit(text, m_sourceApp));
    if (!polished) {
        co_return std::nullopt;
    }
    const auto pruned = co_await resumed(m_editPasses.maybeApplyPromptPruning(*polished, m_sourceApp));
    if (!pruned) {
        co_return std::nullopt;
    }
    const QString formatted = m_services.appContext.applyContextFormatting(*pruned, m_sourceApp);
    if (formatted.trimmed().isEmpty()) {
        co_return failure(noSpeech());
    }

    if (m_settings.noteMode) {
        const auto saved = m_services.notes.saveNote(formatted, m_settings.notesPathBookmark);
        if (!saved) {
            co_return failure(saved.error());
        }
        writeStatistics(formatted, false);
        Outcome outcome = delivered(formatted);
        outcome.notesMessage = QStringLiteral("Saved to %1 (%2 notes)")
                                   .arg(saved->url.fileName(), QString::number(saved->totalNotes));
        co_return outcome;
    }

    const auto pasted = co_await resumed(m_services.paste.insertViaClipboard(formatted));
    if (!pasted) {
        co_return std::nullopt;
    }
    if (!*pasted) {
        co_return failure(pasted->error());
    }
    m_services.sounds.play(QStringLiteral("Tink"));
    if (m_settings.autoSend && m_services.appContext.appType(m_sourceApp) == AppContextType::chat) {
        if (!co_await paused(autoSendPause)) {
            co_return std::nullopt;
        }
        // Return goes only to the chat the dictation was made for: after a switch to another
        // application it would send or run whatever is typed there.
        if (frontApplicationName(m_services.frontApplication) == m_sourceApp) {
            (void)m_services.paste.sendKeystroke(KeyCodes::returnKey, 0);
        }
    }
    m_editPasses.recordLastPaste(formatted, m_sourceApp);
    writeStatistics(formatted, false);
    Outcome outcome = delivered(formatted);
    outcome.countedPaste = true;
    co_return outcome;
}

DictationRun::Outcome DictationRun::delivered(const QString& text) const {
    return Outcome{std::nullopt, text, std::nullopt, false};
}

void DictationRun::writeStatistics(const QString& text, bool backtrack) {
    m_services.database.insertStats(StatsRecord{TextMetrics::wordCount(text),
                                                TextMetrics::characterCount(text), m_durationMs, m_language,
                                                m_mode, backtrack});
}

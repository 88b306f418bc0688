#pragma once

#include "core/common/Result.h"
#include "core/dictation/BacktrackDetector.h"
#include "core/dictation/LastPaste.h"
#include "core/model/PTTSettings.h"
#include "core/wire/PTTEditRequest.h"
#include "core/wire/PTTTranscribeResponse.h"

#include <QByteArray>
#include <QCoroTask>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class IBackendClient;
class IOverlayController;
class LocalDatabase;
class Scheduler;

// The passes of a dictation between the recording and the paste that talk to the service: the
// upload with its retry, the selection command, the backtrack, the polish and the prompt
// condensing, plus the memory of the last paste that the backtrack replaces.
//
// The optional passes never fail a dictation: on any failure they hand back their input. If the
// owner goes away while a pass waits, the pass ends without touching anything.
class EditPasses final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditPasses)

public:
    // `settings` is the owner's live configuration, read when each pass runs.
    EditPasses(IBackendClient& backend, IOverlayController& overlay, Scheduler& scheduler,
               LocalDatabase& database, const PTTSettings& settings, QObject* parent = nullptr);

    // Called after every successful answer of the service.
    void setOnServiceAnswered(std::function<void()> handler) { m_onServiceAnswered = std::move(handler); }

    // One retry, 0.8 s later, after transport failures, gateway and overload answers and
    // time-outs; the error of the last attempt otherwise.
    QCoro::Task<Result<PTTTranscribeResponse>> transcribeWithRetry(QByteArray audioData);

    // A blank answer is an error: a command never replaces the selection with nothing.
    QCoro::Task<Result<QString>> executeSelectionCommand(QString voiceCommand, QString selectedText,
                                                         std::optional<QString> sourceApp);

    // The rewritten previous paste when `text` opens with a correction within the window of a
    // paste into the same application; absent otherwise and on any failure.
    QCoro::Task<std::optional<QString>> maybeApplyBacktrack(QString text, std::optional<QString> sourceApp);

    QCoro::Task<QString> maybeAutoEdit(QString text, std::optional<QString> sourceApp);
    QCoro::Task<QString> maybeApplyPromptPruning(QString text, std::optional<QString> sourceApp);

    void recordLastPaste(const QString& text, const std::optional<QString>& appName);
    const std::optional<LastPaste>& lastPaste() const { return m_lastPaste; }

private:
    QCoro::Task<std::optional<QString>> editedText(PTTEditRequest request);

    IBackendClient& m_backend;
    IOverlayController& m_overlay;
    Scheduler& m_scheduler;
    LocalDatabase& m_database;
    const PTTSettings& m_settings;
    std::function<void()> m_onServiceAnswered;
    BacktrackDetector m_backtrackDetector;
    std::optional<LastPaste> m_lastPaste;
};

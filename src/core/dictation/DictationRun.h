#pragma once

#include "core/audio/AudioCaptureResult.h"
#include "core/common/PTTError.h"
#include "core/dictation/PTTAppStateDependencies.h"
#include "core/model/PTTSettings.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <coroutine>
#include <optional>
#include <vector>

class EditPasses;

// One recording's road, from the key that started it to the text delivered: the selection read
// at the key press (present means the recording is a command on it), then, once the capture has
// stopped, transcription, the command, a snippet, a backtrack or the cleaned and edited text, and
// its paste or note. Main thread only.
//
// A run waits on the service, the clipboard and the clock. Whatever it waits on may outlive it:
// after every wait it goes on only while it exists and has not been abandoned.
class DictationRun final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DictationRun)

public:
    struct Outcome {
        // Absent when the text was delivered.
        std::optional<PTTError> error;
        // What was pasted or saved; after a failure, the words heard when they would be lost
        // otherwise.
        QString transcript;
        // Present when the text went to the notes file.
        std::optional<QString> notesMessage;
        // A paste into the front application was counted: today's figures changed.
        bool countedPaste = false;
    };

    DictationRun(PTTAppStateDependencies& services, EditPasses& editPasses, const PTTSettings& settings,
                 QObject* parent = nullptr);

    // Starts reading the selection of the focused field, without waiting for it.
    void readSelection();
    // A recording whose start was not seen is dictated, never a command.
    void skipSelection() { m_isSelectionRead = true; }
    bool isSelectionRead() const { return m_isSelectionRead; }
    const std::optional<QString>& selection() const { return m_selection; }

    // Nothing more is done after the current wait.
    void abandon() { m_abandoned = true; }

    // The pipeline after the capture stopped; absent when the run was abandoned on the way.
    QCoro::Task<std::optional<Outcome>> deliver(AudioCaptureResult capture, std::optional<QString> sourceApp,
                                                QString mode);

    static std::optional<QString> frontApplicationName(FrontApplication& frontApplication);

Q_SIGNALS:
    void selectionRead();

private:
    using Step = QCoro::Task<std::optional<Outcome>>;

    // Resumes once the selection has been read; at once when it has.
    struct SelectionAwaiter {
        DictationRun& run;
        bool await_ready() const noexcept { return run.m_isSelectionRead; }
        void await_suspend(std::coroutine_handle<> waiter) { run.m_selectionWaiters.push_back(waiter); }
        void await_resume() const noexcept {}
    };
    friend struct SelectionAwaiter;
    static QCoro::Task<bool> selectionArrived(DictationRun& run);

    // The one lifetime check: the value of `step`, or absent when the run is gone or abandoned.
    template <typename T>
    QCoro::Task<std::optional<T>> resumed(QCoro::Task<T> step);
    QCoro::Task<bool> paused(double seconds);
    QCoro::Task<> readSelectionNow();

    Step deliverCommand(QString command);
    Step deliverSnippet(QString body);
    Step deliverBacktrack(QString replacement);
    Step deliverText(QString text);

    Outcome delivered(const QString& text) const;
    void writeStatistics(const QString& text, bool backtrack);

    PTTAppStateDependencies& m_services;
    EditPasses& m_editPasses;
    const PTTSettings& m_settings;
    bool m_abandoned = false;
    bool m_isSelectionRead = false;
    std::optional<QString> m_selection;
    std::vector<std::coroutine_handle<>> m_selectionWaiters;

    // Of the recording being delivered.
    qint64 m_durationMs = 0;
    std::optional<QString> m_language;
    std::optional<QString> m_sourceApp;
    QString m_mode;
};

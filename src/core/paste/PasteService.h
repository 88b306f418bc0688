#pragma once

#include "core/paste/IPasteService.h"
#include "core/ports/Pasteboard.h"
#include "core/ports/Scheduler.h"

#include <memory>
#include <optional>

class FrontApplication;
class KeySynthesizer;
class SelectedTextReader;

// Types into the focused application by way of the clipboard: the user's clipboard is saved, the
// text written, the paste chord posted once the target can see the new content, and the user's
// content put back a second later. Main thread only.
class PasteService final : public IPasteService {
    Q_DISABLE_COPY_MOVE(PasteService)

public:
    // Time for the target application to see the new clipboard before the chord arrives.
    static constexpr double pasteDelay = 0.05;
    // Time for the target to read the clipboard before the user's content comes back.
    static constexpr double restoreDelay = 1.0;

    PasteService(Pasteboard& pasteboard, KeySynthesizer& keySynthesizer, SelectedTextReader& selectionReader,
                 FrontApplication& frontApplication, Scheduler& scheduler);
    ~PasteService() override;

    QCoro::Task<Result<void>> insertViaClipboard(QString text) override;
    // Where the clipboard cannot reach the focused application, the text is typed instead (the
    // key synthesizer must be able to); the user's clipboard is then never touched.
    void setTypesText(bool typesText) { m_typesText = typesText; }
    QCoro::Task<std::optional<QString>> selectedText() override;
    Result<void> selectPreviousText(int characterCount) override;
    Result<void> sendKeystroke(quint16 keyCode, quint64 flags) override;

    // Puts the user's content back at once if a restore is still owed (before the application
    // quits, for an update's relaunch as well).
    void restoreNow();

private:
    struct PendingRestore {
        Scheduler::TimerId timer = Scheduler::invalidTimer;
        PasteboardSnapshot original;
        QString written;
        // Saved when the paste overwrote the primary selection too.
        std::optional<PasteboardSnapshot> primary;
    };

    // What the user had before our first paste of a burst; later pastes keep it.
    QCoro::Task<PasteboardSnapshot> userContent();
    // Without a delay the restore waits for restoreNow() or the next paste.
    void scheduleRestore(PendingRestore pending, std::optional<double> delay);
    void cancelRestore();
    void restore();

    Pasteboard& m_pasteboard;
    KeySynthesizer& m_keySynthesizer;
    SelectedTextReader& m_selectionReader;
    FrontApplication& m_frontApplication;
    Scheduler& m_scheduler;
    std::optional<PendingRestore> m_pendingRestore;
    bool m_typesText = false;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

#include "PasteService.h"

#include "TerminalEmulators.h"
#include "hotkey/KeyCodes.h"
#include "ports/FrontApplication.h"
#include "ports/KeySynthesizer.h"
#include "ports/SelectedTextReader.h"
#include "text/ControlCharacters.h"

#include <algorithm>

namespace {

bool holdsAnything(const PasteboardSnapshot& snapshot) {
    return std::any_of(snapshot.formats.cbegin(), snapshot.formats.cend(),
                       [](const auto& format) { return !format.second.isEmpty(); });
}

} // namespace

PasteService::PasteService(Pasteboard& pasteboard, KeySynthesizer& keySynthesizer,
                           SelectedTextReader& selectionReader, FrontApplication& frontApplication,
                           Scheduler& scheduler)
    : m_pasteboard(pasteboard)
    , m_keySynthesizer(keySynthesizer)
    , m_selectionReader(selectionReader)
    , m_frontApplication(frontApplication)
    , m_scheduler(scheduler) {}

PasteService::~PasteService() {
    cancelRestore();
}

PasteboardSnapshot PasteService::userContent() const {
    // Within the restore window the clipboard holds our last text, and what the user had is the
    // snapshot taken before it. Anything else there was copied by the user meanwhile.
    if (m_pendingRestore && m_pasteboard.text() == m_pendingRestore->written) {
        return m_pendingRestore->original;
    }
    return m_pasteboard.snapshot();
}

QCoro::Task<Result<void>> PasteService::insertViaClipboard(QString text) {
    PasteboardSnapshot original = userContent();
    const std::optional<FrontApplicationInfo> application = m_frontApplication.current();
    const auto chord = application ? TerminalEmulators::pasteChordFor(*application)
                                   : TerminalEmulators::PasteChord::controlV;
    text = ControlCharacters::strip(text);
    if (chord != TerminalEmulators::PasteChord::controlV) {
        // A line feed pasted into a terminal runs the command line before the user has read it.
        while (text.endsWith(QLatin1Char('\n'))) {
            text.chop(1);
        }
    }

    m_pasteboard.setText(text);
    if (chord == TerminalEmulators::PasteChord::shiftInsert) {
        m_pasteboard.setPrimaryText(text);
    }

    const std::weak_ptr<int> alive = m_alive;
    co_await m_scheduler.sleep(pasteDelay);
    if (alive.expired()) {
        co_return Result<void>::success();
    }

    Result<void> posted = Result<void>::success();
    switch (chord) {
    case TerminalEmulators::PasteChord::controlV:
        posted = m_keySynthesizer.tapKey(KeyCodes::v, ModifierFlags::control);
        break;
    case TerminalEmulators::PasteChord::controlShiftV:
        posted = m_keySynthesizer.tapKey(KeyCodes::v, ModifierFlags::control | ModifierFlags::shift);
        break;
    case TerminalEmulators::PasteChord::shiftInsert:
        posted = m_keySynthesizer.tapKey(KeyCodes::insert, ModifierFlags::shift);
        break;
    }
    if (!posted) {
        // The text stays on the clipboard, so the user can still paste it by hand.
        cancelRestore();
        co_return posted;
    }
    if (holdsAnything(original)) {
        scheduleRestore(std::move(original), text);
    } else {
        cancelRestore();
    }
    co_return Result<void>::success();
}

void PasteService::scheduleRestore(PasteboardSnapshot original, const QString& written) {
    cancelRestore();
    const Scheduler::TimerId timer = m_scheduler.after(restoreDelay, [this] { restore(); });
    m_pendingRestore = PendingRestore{timer, std::move(original), written};
}

void PasteService::cancelRestore() {
    if (m_pendingRestore) {
        m_scheduler.cancel(m_pendingRestore->timer);
        m_pendingRestore.reset();
    }
}

void PasteService::restore() {
    if (!m_pendingRestore) {
        return;
    }
    const PendingRestore pending = std::move(*m_pendingRestore);
    m_pendingRestore.reset();
    // Something the user copied since our paste is theirs to keep.
    if (m_pasteboard.text() == pending.written) {
        m_pasteboard.restore(pending.original);
    }
}

QCoro::Task<std::optional<QString>> PasteService::selectedText() {
    std::optional<QString> selection = co_await m_selectionReader.selectedText();
    if (!selection || selection->trimmed().isEmpty()) {
        co_return std::nullopt;
    }
    co_return selection;
}

Result<void> PasteService::selectPreviousText(int characterCount) {
    for (int index = 0; index < characterCount; ++index) {
        if (Result<void> posted = m_keySynthesizer.tapKey(KeyCodes::leftArrow, ModifierFlags::shift);
            !posted) {
            return posted;
        }
    }
    return Result<void>::success();
}

Result<void> PasteService::sendKeystroke(quint16 keyCode, quint64 flags) {
    return m_keySynthesizer.tapKey(keyCode, flags);
}

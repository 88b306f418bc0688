#include "core/paste/PasteService.h"

#include "core/common/CoreLogging.h"
#include "core/hotkey/KeyCodes.h"
#include "core/paste/TerminalEmulators.h"
#include "core/ports/FrontApplication.h"
#include "core/ports/KeySynthesizer.h"
#include "core/ports/SelectedTextReader.h"
#include "core/text/ControlCharacters.h"

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

QCoro::Task<PasteboardSnapshot> PasteService::userContent() {
    // Within the restore window the clipboard holds our last text, and what the user had is the
    // snapshot taken before it. Anything else there was copied by the user meanwhile.
    if (m_pendingRestore && m_pasteboard.text() == m_pendingRestore->written) {
        co_return m_pendingRestore->original;
    }
    co_return co_await m_pasteboard.snapshot(PasteboardSelection::clipboard);
}

QCoro::Task<Result<void>> PasteService::insertViaClipboard(QString text) {
    if (m_typesText) {
        co_return m_keySynthesizer.typeText(ControlCharacters::strip(text));
    }
    const std::weak_ptr<int> alive = m_alive;
    const std::optional<FrontApplicationInfo> application = m_frontApplication.current();
    const auto chord = application ? TerminalEmulators::pasteChordFor(*application)
                                   : TerminalEmulators::PasteChord::controlV;
    text = ControlCharacters::strip(text);
    if (chord == TerminalEmulators::PasteChord::controlShiftV ||
        chord == TerminalEmulators::PasteChord::shiftInsert) {
        // A line feed pasted into a terminal runs the command line before the user has read it.
        while (text.endsWith(QLatin1Char('\n'))) {
            text.chop(1);
        }
    }
    std::optional<PasteboardSnapshot> earlierPrimary;
    if (m_pendingRestore) {
        earlierPrimary = m_pendingRestore->primary;
    }
    PasteboardSnapshot original = co_await userContent();
    std::optional<PasteboardSnapshot> primary;
    // Not a conditional expression: GCC miscompiles co_await inside one.
    if (chord == TerminalEmulators::PasteChord::shiftInsert && earlierPrimary) {
        primary = std::move(earlierPrimary);
    } else if (chord == TerminalEmulators::PasteChord::shiftInsert) {
        primary = co_await m_pasteboard.snapshot(PasteboardSelection::primary);
    }
    if (alive.expired()) {
        co_return Result<void>::success();
    }

    m_pasteboard.setText(text);
    if (primary) {
        m_pasteboard.setPrimaryText(text);
    }

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
    case TerminalEmulators::PasteChord::controlY:
        posted = m_keySynthesizer.tapKey(KeyCodes::y, ModifierFlags::control);
        break;
    }
    const bool keep = holdsAnything(original) || (primary && holdsAnything(*primary));
    PendingRestore pending{Scheduler::invalidTimer, std::move(original), text, std::move(primary)};
    if (!posted) {
        qCInfo(lcPaste).noquote() << "The paste keys were not posted:" << posted.error().toString();
        // The text stays on the clipboard, so the user can still paste it by hand; what they had
        // is kept for the next paste or the quit, never dropped.
        if (keep) {
            scheduleRestore(std::move(pending), std::nullopt);
        } else {
            cancelRestore();
        }
        co_return posted;
    }
    if (keep) {
        scheduleRestore(std::move(pending), restoreDelay);
    } else {
        cancelRestore();
    }
    co_return Result<void>::success();
}

void PasteService::scheduleRestore(PendingRestore pending, std::optional<double> delay) {
    cancelRestore();
    if (delay) {
        pending.timer = m_scheduler.after(*delay, [this] { restore(); });
    }
    m_pendingRestore = std::move(pending);
}

void PasteService::restoreNow() {
    restore();
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
    m_scheduler.cancel(pending.timer);
    // Something the user copied since our paste is theirs to keep.
    if (m_pasteboard.text() == pending.written) {
        m_pasteboard.restore(pending.original, PasteboardSelection::clipboard);
    }
    if (pending.primary) {
        m_pasteboard.restore(*pending.primary, PasteboardSelection::primary);
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

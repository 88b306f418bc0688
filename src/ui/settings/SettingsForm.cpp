#include "ui/settings/SettingsForm.h"

#include "core/dictation/PTTAppState.h"
#include "core/files/FileBookmark.h"
#include "core/model/EnumTraits.h"
#include "core/notes/INotesService.h"

namespace {

template <typename E>
QStringList namesOf() {
    QStringList names;
    for (const auto& entry : EnumTraits<E>::cases) {
        names << QString::fromUtf8(entry.displayName);
    }
    return names;
}

template <typename E>
int indexOf(E value) {
    const auto& cases = EnumTraits<E>::cases;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        if (cases[i].value == value) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

// An index out of range (a stale picker) changes nothing.
template <typename E>
std::optional<E> atIndex(int index) {
    const auto& cases = EnumTraits<E>::cases;
    if (index < 0 || static_cast<std::size_t>(index) >= cases.size()) {
        return std::nullopt;
    }
    return cases[static_cast<std::size_t>(index)].value;
}

} // namespace

SettingsForm::SettingsForm(PTTAppState& controller, const INotesService& notes, QObject* parent)
    : QObject(parent)
    , m_controller(controller)
    , m_notes(notes)
    , m_noteMode(controller.settings().noteMode) {
    connect(&controller, &PTTAppState::settingsChanged, this, &SettingsForm::settingsChanged);
}

template <typename Edit>
void SettingsForm::edit(Edit&& change) {
    PTTSettings settings = m_controller.settings();
    change(settings);
    // The controller announces a real change, and settingsChanged() stores it.
    m_controller.setSettings(settings);
}

void SettingsForm::settingsChanged() {
    const PTTSettings& settings = m_controller.settings();
    const bool notesTurnedOn = settings.noteMode && !m_noteMode;
    m_noteMode = settings.noteMode;
    if (notesTurnedOn && settings.promptPruningEnabled) {
        // Emits settingsChanged again, which stores both changes.
        edit([](PTTSettings& changed) { changed.promptPruningEnabled = false; });
        return;
    }
    m_controller.persistSettings();
    emit changed();
}

int SettingsForm::hotkeyKeyCode() const {
    return static_cast<int>(m_controller.settings().hotkey.keyCode);
}

int SettingsForm::hotkeyModifiers() const {
    return static_cast<int>(m_controller.settings().hotkey.modifiersRawValue);
}

void SettingsForm::setHotkey(int keyCode, int modifiers) {
    edit([&](PTTSettings& settings) {
        settings.hotkey.keyCode = keyCode;
        settings.hotkey.modifiersRawValue = static_cast<quint32>(modifiers);
    });
}

QStringList SettingsForm::gestureModeNames() {
    return namesOf<GestureMode>();
}

int SettingsForm::gestureModeIndex() const {
    return indexOf(m_controller.settings().hotkey.gestureMode);
}

void SettingsForm::setGestureModeIndex(int index) {
    if (const auto mode = atIndex<GestureMode>(index)) {
        edit([&](PTTSettings& settings) { settings.hotkey.gestureMode = *mode; });
    }
}

bool SettingsForm::autoSend() const {
    return m_controller.settings().autoSend;
}

void SettingsForm::setAutoSend(bool on) {
    edit([&](PTTSettings& settings) { settings.autoSend = on; });
}

bool SettingsForm::noteMode() const {
    return m_controller.settings().noteMode;
}

void SettingsForm::setNoteMode(bool on) {
    edit([&](PTTSettings& settings) { settings.noteMode = on; });
}

QString SettingsForm::notesPath() const {
    if (const auto& bookmark = m_controller.settings().notesPathBookmark) {
        if (const auto resolved = FileBookmark::resolve(*bookmark)) {
            return resolved.value();
        }
    }
    const auto fallback = m_notes.defaultNotesPath();
    return fallback ? fallback.value() : QString();
}

void SettingsForm::chooseNotesFile() {
    // The controller stores the choice; settingsChanged() then shows it.
    m_controller.chooseNotesFile();
}

QStringList SettingsForm::polishLevelNames() {
    return namesOf<PolishLevel>();
}

int SettingsForm::polishLevelIndex() const {
    return indexOf(m_controller.settings().polishLevel);
}

void SettingsForm::setPolishLevelIndex(int index) {
    if (const auto level = atIndex<PolishLevel>(index)) {
        edit([&](PTTSettings& settings) { settings.polishLevel = *level; });
    }
}

QString SettingsForm::polishDescription() const {
    return caseDescription(m_controller.settings().polishLevel);
}

QString SettingsForm::sttLanguage() const {
    return m_controller.settings().sttLanguage;
}

void SettingsForm::setSttLanguage(const QString& language) {
    edit([&](PTTSettings& settings) { settings.sttLanguage = language; });
}

QString SettingsForm::sttPrompt() const {
    return m_controller.settings().sttPrompt;
}

void SettingsForm::setSttPrompt(const QString& prompt) {
    edit([&](PTTSettings& settings) { settings.sttPrompt = prompt; });
}

bool SettingsForm::promptPruningEnabled() const {
    return m_controller.settings().promptPruningEnabled;
}

void SettingsForm::setPromptPruningEnabled(bool on) {
    edit([&](PTTSettings& settings) { settings.promptPruningEnabled = on; });
}

QStringList SettingsForm::pruneLevelNames() {
    return namesOf<PromptPruneLevel>();
}

int SettingsForm::pruneLevelIndex() const {
    return indexOf(m_controller.settings().promptPruneLevel);
}

void SettingsForm::setPruneLevelIndex(int index) {
    if (const auto level = atIndex<PromptPruneLevel>(index)) {
        edit([&](PTTSettings& settings) { settings.promptPruneLevel = *level; });
    }
}

QString SettingsForm::pruneLevelDescription() const {
    return caseDescription(m_controller.settings().promptPruneLevel);
}

QStringList SettingsForm::pruneTargetNames() {
    return namesOf<PromptPruneTarget>();
}

int SettingsForm::pruneTargetIndex() const {
    return indexOf(m_controller.settings().promptPruneTarget);
}

void SettingsForm::setPruneTargetIndex(int index) {
    if (const auto target = atIndex<PromptPruneTarget>(index)) {
        edit([&](PTTSettings& settings) { settings.promptPruneTarget = *target; });
    }
}

QString SettingsForm::pruneTargetDescription() const {
    return caseDescription(m_controller.settings().promptPruneTarget);
}

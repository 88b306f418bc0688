#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

class INotesService;
class PTTAppState;
struct PTTSettings;

// The settings record as the settings window edits it: one typed property per field, each write
// stored at once. Options are offered by index in picker order, with their display names and the
// selected one's description.
//
// While it exists, every change of the record (from here or elsewhere) is persisted, and turning
// notes mode on turns prompt pruning off: a note is never condensed.
class SettingsForm final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the settings window")
    Q_DISABLE_COPY_MOVE(SettingsForm)
    Q_PROPERTY(int hotkeyKeyCode READ hotkeyKeyCode NOTIFY changed)
    Q_PROPERTY(int hotkeyModifiers READ hotkeyModifiers NOTIFY changed)
    Q_PROPERTY(QStringList gestureModeNames READ gestureModeNames CONSTANT)
    Q_PROPERTY(int gestureModeIndex READ gestureModeIndex WRITE setGestureModeIndex NOTIFY changed)
    Q_PROPERTY(bool autoSend READ autoSend WRITE setAutoSend NOTIFY changed)
    Q_PROPERTY(bool noteMode READ noteMode WRITE setNoteMode NOTIFY changed)
    Q_PROPERTY(QString notesPath READ notesPath NOTIFY changed)
    Q_PROPERTY(QStringList polishLevelNames READ polishLevelNames CONSTANT)
    Q_PROPERTY(int polishLevelIndex READ polishLevelIndex WRITE setPolishLevelIndex NOTIFY changed)
    Q_PROPERTY(QString polishDescription READ polishDescription NOTIFY changed)
    Q_PROPERTY(QString sttLanguage READ sttLanguage WRITE setSttLanguage NOTIFY changed)
    Q_PROPERTY(QString sttPrompt READ sttPrompt WRITE setSttPrompt NOTIFY changed)
    Q_PROPERTY(
        bool promptPruningEnabled READ promptPruningEnabled WRITE setPromptPruningEnabled NOTIFY changed)
    Q_PROPERTY(QStringList pruneLevelNames READ pruneLevelNames CONSTANT)
    Q_PROPERTY(int pruneLevelIndex READ pruneLevelIndex WRITE setPruneLevelIndex NOTIFY changed)
    Q_PROPERTY(QString pruneLevelDescription READ pruneLevelDescription NOTIFY changed)
    Q_PROPERTY(QStringList pruneTargetNames READ pruneTargetNames CONSTANT)
    Q_PROPERTY(int pruneTargetIndex READ pruneTargetIndex WRITE setPruneTargetIndex NOTIFY changed)
    Q_PROPERTY(QString pruneTargetDescription READ pruneTargetDescription NOTIFY changed)

public:
    SettingsForm(PTTAppState& controller, const INotesService& notes, QObject* parent = nullptr);

    int hotkeyKeyCode() const;
    int hotkeyModifiers() const;
    // The gesture mode stays as it is.
    Q_INVOKABLE void setHotkey(int keyCode, int modifiers);
    static QStringList gestureModeNames();
    int gestureModeIndex() const;
    void setGestureModeIndex(int index);
    bool autoSend() const;
    void setAutoSend(bool on);
    bool noteMode() const;
    void setNoteMode(bool on);
    // The chosen notes file, or the default one while none is chosen or it cannot be found.
    QString notesPath() const;
    Q_INVOKABLE void chooseNotesFile();
    static QStringList polishLevelNames();
    int polishLevelIndex() const;
    void setPolishLevelIndex(int index);
    QString polishDescription() const;
    QString sttLanguage() const;
    void setSttLanguage(const QString& language);
    QString sttPrompt() const;
    void setSttPrompt(const QString& prompt);
    bool promptPruningEnabled() const;
    void setPromptPruningEnabled(bool on);
    static QStringList pruneLevelNames();
    int pruneLevelIndex() const;
    void setPruneLevelIndex(int index);
    QString pruneLevelDescription() const;
    static QStringList pruneTargetNames();
    int pruneTargetIndex() const;
    void setPruneTargetIndex(int index);
    QString pruneTargetDescription() const;

Q_SIGNALS:
    void changed();

private:
    template <typename Edit>
    void edit(Edit&& change);
    void settingsChanged();

    PTTAppState& m_controller;
    const INotesService& m_notes;
    bool m_noteMode = false;
};

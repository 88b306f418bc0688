import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orlavo.Ui

SettingsPage {
    id: tab

    required property SettingsForm form

    FormSection {
        header: "Shortcut"

        HotkeyCaptureView {
            objectName: "hotkeyCapture"
            Layout.fillWidth: true
            keyCode: tab.form.hotkeyKeyCode
            modifiers: tab.form.hotkeyModifiers
            ink: Qt.rgba(0.106, 0.11, 0.102, 1)
            inkSecondary: Qt.rgba(0.4, 0.42, 0.4, 1)
            onCaptured: (keyCode, modifiers) => tab.form.setHotkey(keyCode, modifiers)
        }
        PickerRow {
            objectName: "gestureMode"
            label: "When you press it"
            options: tab.form.gestureModeNames
            currentIndex: tab.form.gestureModeIndex
            onActivated: index => tab.form.gestureModeIndex = index
        }
    }

    FormSection {
        id: startup

        // Only where the application offers it (not in a window opened on its own).
        readonly property bool offered: typeof autostart !== "undefined" && autostart !== null
        visible: offered
        header: "Startup"
        footer: offered && autostart.lastError.length > 0 ? autostart.lastError : ""

        SwitchRow {
            objectName: "startAtLogin"
            label: "Start Orlavo at login"
            checked: startup.offered && autostart.enabled
            onToggled: on => autostart.enabled = on
        }
    }

    FormSection {
        header: "After dictation"
        footer: "By default, dictated text is pasted wherever your cursor is — any app, any text field. Enable this to automatically press Enter after pasting in Slack, Teams, and similar apps."

        SwitchRow {
            objectName: "autoSend"
            label: "Press Enter automatically in chat apps"
            checked: tab.form.autoSend
            onToggled: on => tab.form.autoSend = on
        }
    }

    FormSection {
        header: "Voice journal"
        footer: "Each dictation is appended to your chosen file with a timestamp. Useful for journaling, meeting notes, or capturing ideas."

        SwitchRow {
            objectName: "noteMode"
            label: "Save all dictations to a file"
            checked: tab.form.noteMode
            onToggled: on => tab.form.noteMode = on
        }
        RowLayout {
            visible: tab.form.noteMode
            Layout.fillWidth: true
            spacing: 8

            Text {
                objectName: "notesPath"
                Layout.fillWidth: true
                text: tab.form.notesPath
                elide: Text.ElideMiddle
                maximumLineCount: 1
                font.pixelSize: 11
                color: "#6e6e73"
                Accessible.role: Accessible.StaticText
                Accessible.name: "Notes file: " + text
            }
            FormButton {
                objectName: "chooseNotesFile"
                text: "Choose…"
                fontSize: 11
                onClicked: tab.form.chooseNotesFile()
            }
        }
    }
}

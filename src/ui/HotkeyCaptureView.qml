import QtQuick
import Orlavo.Ui
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The dictation shortcut in large type and the button that records a new one. The screen that
// embeds it passes the binding in and stores what `captured` reports.
ColumnLayout {
    id: view

    property alias keyCode: recorder.keyCode
    property alias modifiers: recorder.modifiers
    property color ink: Qt.rgba(0.106, 0.11, 0.102, 1)
    property color inkSecondary: Qt.rgba(0.4, 0.42, 0.4, 1)
    property color accent: Qt.rgba(0, 0.208, 0.153, 1)
    property color accentPressed: Qt.rgba(0, 0.169, 0.124, 1)
    readonly property alias isCapturing: recorder.isCapturing
    readonly property alias recorder: recorder

    // The new key code and modifiers; the binding shown has already changed.
    signal captured(real keyCode, real modifiers)

    spacing: 14

    HotkeyRecorder {
        id: recorder
        window: view.Window.window
        onCaptured: view.captured(recorder.keyCode, recorder.modifiers)
    }

    // No capture outlives the screen it was started on.
    Component.onDestruction: recorder.stop()
    onVisibleChanged: if (!visible) recorder.stop()

    Text {
        objectName: "shortcutText"
        text: recorder.text
        font.pixelSize: 24
        font.weight: Font.Medium
        color: view.ink
        Accessible.role: Accessible.StaticText
        Accessible.name: "Dictation shortcut: " + recorder.text
    }

    RowLayout {
        spacing: 10

        Button {
            id: recordButton
            objectName: "recordButton"
            text: recorder.isCapturing ? "Press keys…" : "Record shortcut"
            leftPadding: 16
            rightPadding: 16
            topPadding: 8
            bottomPadding: 8
            focusPolicy: Qt.StrongFocus
            Accessible.role: Accessible.Button
            Accessible.name: text
            Accessible.onPressAction: recorder.start()
            Keys.onReturnPressed: recorder.start()
            Keys.onEnterPressed: recorder.start()
            onClicked: recorder.start()

            contentItem: Text {
                text: recordButton.text
                font.pixelSize: 14
                font.weight: Font.DemiBold
                color: "white"
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
            background: Rectangle {
                radius: 8
                color: recorder.isCapturing ? view.accentPressed : view.accent
                border.width: recordButton.visualFocus ? 2 : 0
                border.color: Qt.lighter(view.accent, 2.2)
            }
        }

        Button {
            id: cancelButton
            objectName: "cancelButton"
            visible: recorder.isCapturing
            text: "Cancel"
            flat: true
            focusPolicy: Qt.StrongFocus
            Accessible.role: Accessible.Button
            Accessible.name: text
            Accessible.onPressAction: recorder.stop()
            onClicked: recorder.stop()

            contentItem: Text {
                text: cancelButton.text
                font.pixelSize: 13
                font.weight: Font.Medium
                color: view.inkSecondary
                font.underline: cancelButton.visualFocus
            }
            background: Item {}
        }
    }

    Text {
        objectName: "captureHint"
        visible: recorder.isCapturing
        Layout.fillWidth: true
        text: recorder.refusal !== "" ? recorder.refusal : "Hold modifiers + press a key. Escape to cancel."
        elide: Text.ElideRight
        font.pixelSize: 12
        color: view.inkSecondary
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
}

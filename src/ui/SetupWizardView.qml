import QtQuick
import Orlavo.Ui
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The first-run setup: a welcome screen, then keyboard access, the microphone, the shortcut and a
// test dictation. The wizard model decides; this lays out, animates and forwards the controls.
Rectangle {
    id: root

    required property QtObject wizard

    readonly property color ink: Qt.rgba(0.106, 0.11, 0.102, 1)
    readonly property color inkSecondary: Qt.rgba(0.4, 0.42, 0.4, 1)
    readonly property color accent: Qt.rgba(0, 0.208, 0.153, 1)
    readonly property color checkmark: Qt.rgba(0.18, 0.6, 0.38, 1)
    readonly property color separator: Qt.rgba(0.88, 0.87, 0.85, 1)
    readonly property color disabledFill: Qt.rgba(0.78, 0.8, 0.78, 1)
    readonly property int step: wizard.step
    property bool showCustomShortcut: false

    implicitWidth: 540
    implicitHeight: 520
    color: Qt.rgba(0.98, 0.976, 0.968, 1)
    focus: true

    // Return is the default action: Start, or Continue while it is enabled.
    function defaultAction() {
        if (wizard.step === 0)
            wizard.start();
        else if (wizard.canContinue)
            wizard.advance();
    }
    // A window shortcut, not a key handler: with a screen reader running the focus may rest on
    // a control that keeps Return to itself.
    Shortcut {
        sequences: ["Return", "Enter"]
        onActivated: root.defaultAction()
    }
    onStepChanged: root.forceActiveFocus()

    component Hint: Text {
        Layout.fillWidth: true
        wrapMode: Text.WordWrap
        font.pixelSize: 12
        color: root.inkSecondary
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
    component AllSet: Text {
        text: "You're all set — click Continue."
        font.pixelSize: 13
        color: root.checkmark
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
    component CheckAgain: WizardButton {
        primary: false
        text: "Check again"
        opacity: flash.running ? 0.4 : 1
        Behavior on opacity {
            NumberAnimation { duration: 150; easing.type: Easing.InOutQuad }
        }
        Timer {
            id: flash
            interval: 300
        }
        onClicked: flash.restart()
    }
    Item {
        id: welcome
        objectName: "welcomeScreen"
        anchors.fill: parent
        opacity: root.step === 0 ? 1 : 0
        visible: opacity > 0
        Behavior on opacity {
            NumberAnimation { duration: 200; easing.type: Easing.InOutQuad }
        }

        BrevantBrandView {
            x: 40
            y: 32
            style: BrevantBrandView.Wizard
        }
        ColumnLayout {
            x: 40
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 36
            spacing: 0

            Text {
                text: "Orlavo"
                font.family: "serif"
                font.pixelSize: 42
                color: root.ink
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Text {
                Layout.topMargin: 6
                text: "Welcome"
                font.family: "serif"
                font.pixelSize: 20
                color: root.inkSecondary
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
            WizardButton {
                objectName: "startButton"
                Layout.topMargin: 28
                hero: true
                text: "Start"
                onClicked: root.wizard.start()
            }
            Hint {
                Layout.topMargin: 10
                text: "You can change everything later in Settings."
            }
        }
    }

    ColumnLayout {
        id: stepScreen
        objectName: "stepScreen"
        anchors.fill: parent
        spacing: 0
        opacity: root.step > 0 ? 1 : 0
        visible: opacity > 0
        Behavior on opacity {
            NumberAnimation { duration: 200; easing.type: Easing.InOutQuad }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 36
            Layout.rightMargin: 36
            Layout.topMargin: 28
            Layout.bottomMargin: 14
            BrevantBrandView {
                style: BrevantBrandView.WizardInline
            }
            Item {
                Layout.fillWidth: true
            }
            Text {
                objectName: "counter"
                text: root.wizard.counterText
                font.pixelSize: 11
                color: root.inkSecondary
                Accessible.role: Accessible.StaticText
                Accessible.name: "Step " + text
            }
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: root.separator
        }
        Text {
            objectName: "headline"
            Layout.leftMargin: 36
            Layout.rightMargin: 36
            Layout.topMargin: 20
            text: root.wizard.headline
            font.pixelSize: 24
            color: root.ink
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Text {
            Layout.fillWidth: true
            Layout.leftMargin: 36
            Layout.rightMargin: 36
            Layout.topMargin: 4
            text: root.wizard.body
            wrapMode: Text.WordWrap
            font.pixelSize: 14
            color: root.inkSecondary
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        Flickable {
            id: content
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.topMargin: 24
            clip: true
            contentWidth: width
            contentHeight: loader.implicitHeight
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {
                policy: content.contentHeight > content.height ? ScrollBar.AsNeeded : ScrollBar.AlwaysOff
            }

            Loader {
                id: loader
                x: 36
                width: content.width - 72
                sourceComponent: {
                    switch (root.step) {
                    case 1:
                        return accessibilityStep;
                    case 2:
                        return microphoneStep;
                    case 3:
                        return shortcutStep;
                    case 4:
                        return testStep;
                    }
                    return null;
                }
            }
        }
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 36
            Layout.rightMargin: 36
            Layout.topMargin: 12
            Layout.bottomMargin: 28
            WizardButton {
                objectName: "backButton"
                primary: false
                text: "Back"
                enabled: root.wizard.canGoBack
                onClicked: root.wizard.back()
            }
            Item {
                Layout.fillWidth: true
            }
            WizardButton {
                objectName: "continueButton"
                text: "Continue"
                enabled: root.wizard.canContinue
                onClicked: root.wizard.advance()
            }
        }
    }

    Component {
        id: accessibilityStep
        ColumnLayout {
            spacing: 12
            WizardStatusRow {
                granted: root.wizard.accessibilityGranted
                text: root.wizard.accessibilityStatusText
            }
            AllSet {
                visible: root.wizard.accessibilityGranted
            }
            Hint {
                objectName: "accessibilityHint"
                visible: text.length > 0
                text: root.wizard.accessibilityHint
            }
            CheckAgain {
                visible: root.wizard.accessibilityHint.length > 0 && root.wizard.canCheckAccessibilityAgain
                onClicked: root.wizard.checkAccessibility()
            }
        }
    }

    Component {
        id: microphoneStep
        ColumnLayout {
            spacing: 12
            WizardStatusRow {
                granted: root.wizard.microphoneGranted
                text: root.wizard.microphoneStatusText
            }
            Hint {
                objectName: "microphoneTestHint"
                visible: text.length > 0
                text: root.wizard.microphoneTestHint
            }
            AllSet {
                visible: root.wizard.microphoneGranted && root.wizard.microphoneTestHint.length === 0
            }
            Hint {
                objectName: "microphoneHint"
                visible: text.length > 0
                text: root.wizard.microphoneHint
            }
            RowLayout {
                spacing: 12
                WizardButton {
                    objectName: "testMicrophoneButton"
                    primary: !root.wizard.microphoneGranted
                    text: root.wizard.isTestingMicrophone ? "Listening…" : "Test microphone"
                    enabled: !root.wizard.isTestingMicrophone
                    onClicked: root.wizard.testMicrophone()
                }
                CheckAgain {
                    visible: !root.wizard.microphoneGranted
                    onClicked: root.wizard.checkMicrophone()
                }
            }
            Rectangle {
                objectName: "levelMeter"
                Layout.fillWidth: true
                visible: root.wizard.isTestingMicrophone
                implicitHeight: 6
                radius: 3
                color: root.separator
                Accessible.role: Accessible.ProgressBar
                Accessible.name: "Microphone level"
                Rectangle {
                    width: parent.width * Math.min(1, root.wizard.microphoneLevel)
                    height: parent.height
                    radius: 3
                    color: root.checkmark
                    Behavior on width {
                        NumberAnimation { duration: 60 }
                    }
                }
            }
        }
    }

    Component {
        id: shortcutStep
        ColumnLayout {
            spacing: 8
            Repeater {
                model: root.wizard.presets
                delegate: WizardPresetRow {
                    Layout.fillWidth: true
                    onClicked: root.wizard.choosePreset(keyCode)
                }
            }
            AbstractButton {
                id: customToggle
                objectName: "customShortcutButton"
                Layout.topMargin: 4
                focusPolicy: Qt.StrongFocus
                Accessible.role: Accessible.Button
                Accessible.name: "Custom shortcut"
                Accessible.checkable: true
                Accessible.checked: root.showCustomShortcut
                onClicked: root.showCustomShortcut = !root.showCustomShortcut
                contentItem: Row {
                    spacing: 6
                    Text {
                        text: "Custom shortcut"
                        font.pixelSize: 13
                        font.underline: customToggle.visualFocus
                        color: root.ink
                    }
                    Text {
                        text: "›"
                        font.pixelSize: 10
                        color: root.inkSecondary
                        rotation: root.showCustomShortcut ? 90 : 0
                        anchors.verticalCenter: parent.verticalCenter
                    }
                }
            }
            Loader {
                Layout.fillWidth: true
                Layout.margins: 2
                active: root.showCustomShortcut
                visible: active
                sourceComponent: HotkeyCaptureView {
                    objectName: "customShortcut"
                    keyCode: root.wizard.hotkeyKeyCode
                    modifiers: root.wizard.hotkeyModifiers
                    ink: root.ink
                    inkSecondary: root.inkSecondary
                    accent: root.accent
                    accentPressed: Qt.rgba(0, 0.169, 0.124, 1)
                    onCaptured: (keyCode, modifiers) => root.wizard.setHotkey(keyCode, modifiers)
                }
            }
            Hint {
                Layout.topMargin: 4
                text: "Hold to record, release to transcribe. Change anytime in Settings."
            }
        }
    }

    Component {
        id: testStep
        ColumnLayout {
            spacing: 10
            WizardStatusRow {
                granted: root.wizard.testReady
                text: root.wizard.testStatusText
            }
            Hint {
                objectName: "engineLine"
                visible: text.length > 0
                text: root.wizard.engineText
            }
            Hint {
                objectName: "serverError"
                visible: text.length > 0
                text: root.wizard.serverErrorText
                color: root.ink
            }
            WizardButton {
                objectName: "connectButton"
                visible: !root.wizard.testReady
                enabled: !root.wizard.isPreparingTest
                text: "Connect"
                onClicked: root.wizard.prepareTest()
            }
            ColumnLayout {
                visible: root.wizard.testReady
                spacing: 4
                Text {
                    text: "Try it now:"
                    font.pixelSize: 13
                    color: root.ink
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                Repeater {
                    model: root.wizard.testInstructions
                    delegate: Text {
                        required property string modelData
                        text: modelData
                        font.pixelSize: 13
                        color: root.ink
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                    }
                }
            }
            TextArea {
                id: practice
                objectName: "practiceField"
                visible: root.wizard.testReady
                Layout.fillWidth: true
                Layout.topMargin: 4
                Layout.preferredHeight: 64
                wrapMode: TextEdit.Wrap
                font.pixelSize: 13
                color: root.ink
                placeholderText: "Or practise here: click this box, hold " + root.wizard.hotkeyText + " and speak"
                placeholderTextColor: root.inkSecondary
                Accessible.role: Accessible.EditableText
                Accessible.name: "Practice field"
                Accessible.description: placeholderText
                // Tab leaves the field, as everywhere else in the window, instead of typing a tab.
                Keys.onTabPressed: nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
                Keys.onBacktabPressed: nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)
                background: Rectangle {
                    radius: 8
                    color: "white"
                    border.width: practice.activeFocus ? 2 : 1
                    border.color: practice.activeFocus ? root.accent : root.separator
                }
            }
        }
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orlavo.Ui

SettingsPage {
    id: tab

    required property SettingsForm form
    required property PruningSavingsPanel savings

    Component.onCompleted: savings.refresh()

    FormSection {
        header: "Prompt Pruning"
        footer: "Condenses your speech into token-efficient prompts, formatted for your target model."

        SwitchRow {
            objectName: "promptPruning"
            label: "Prompt Pruning"
            checked: tab.form.promptPruningEnabled
            onToggled: on => tab.form.promptPruningEnabled = on
        }
        SegmentedPicker {
            objectName: "pruneLevel"
            visible: tab.form.promptPruningEnabled
            label: "Intensity"
            options: tab.form.pruneLevelNames
            currentIndex: tab.form.pruneLevelIndex
            onActivated: index => tab.form.pruneLevelIndex = index
        }
        Text {
            visible: tab.form.promptPruningEnabled
            Layout.fillWidth: true
            text: tab.form.pruneLevelDescription
            wrapMode: Text.WordWrap
            font.pixelSize: 11
            color: "#6e6e73"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        PickerRow {
            objectName: "pruneTarget"
            visible: tab.form.promptPruningEnabled
            label: "Optimize for"
            options: tab.form.pruneTargetNames
            currentIndex: tab.form.pruneTargetIndex
            onActivated: index => tab.form.pruneTargetIndex = index
        }
        Text {
            visible: tab.form.promptPruningEnabled
            Layout.fillWidth: true
            text: tab.form.pruneTargetDescription
            wrapMode: Text.WordWrap
            font.pixelSize: 11
            color: "#6e6e73"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }

    FormSection {
        objectName: "savingsSection"
        visible: tab.savings.hasEverPruned
        header: "Savings"
        footer: "Estimated at frontier pricing (Claude Opus 4, $15/M input tokens)."

        SegmentedPicker {
            objectName: "period"
            label: "Period"
            options: tab.savings.periodNames
            currentIndex: tab.savings.periodIndex
            onActivated: index => tab.savings.periodIndex = index
        }
        Repeater {
            model: [["Prompts pruned", String(tab.savings.promptsPruned)], ["Tokens saved", tab.savings.tokensText]]

            RowLayout {
                required property var modelData
                Layout.fillWidth: true
                Accessible.role: Accessible.StaticText
                Accessible.name: modelData[0] + ": " + modelData[1]

                Text {
                    text: modelData[0]
                    font.pixelSize: 13
                    color: "#1d1d1f"
                }
                Item {
                    Layout.fillWidth: true
                }
                Text {
                    text: modelData[1]
                    font.family: "monospace"
                    font.pixelSize: 12
                    color: "#6e6e73"
                }
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 4
            Accessible.role: Accessible.StaticText
            Accessible.name: "Average reduction: " + tab.savings.percentText

            RowLayout {
                Layout.fillWidth: true

                Text {
                    text: "Avg. reduction"
                    font.pixelSize: 12
                    color: "#1d1d1f"
                }
                Item {
                    Layout.fillWidth: true
                }
                Text {
                    objectName: "percent"
                    text: tab.savings.percentText
                    font.family: "monospace"
                    font.pixelSize: 12
                    font.weight: Font.DemiBold
                    color: "#1f7a4d"
                }
            }
            Rectangle {
                id: track
                objectName: "savingsTrack"
                Layout.fillWidth: true
                implicitHeight: 6
                radius: 3
                color: "#e5e5ea"

                Rectangle {
                    objectName: "savingsBar"
                    width: track.width * tab.savings.barFraction
                    height: parent.height
                    radius: 3
                    gradient: Gradient {
                        orientation: Gradient.Horizontal
                        GradientStop { position: 0; color: "#2f9e63" }
                        GradientStop { position: 1; color: "#1f7a4d" }
                    }
                }
            }
        }
        RowLayout {
            spacing: 5

            Text {
                text: "↘"
                font.pixelSize: 9
                font.bold: true
                color: "#1f7a4d"
            }
            Text {
                objectName: "wordsLine"
                text: tab.savings.wordsText
                font.pixelSize: 11
                color: "#6e6e73"
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
        }
        RowLayout {
            visible: tab.savings.costText !== ""
            spacing: 5

            Text {
                text: "$"
                font.pixelSize: 9
                font.bold: true
                color: "#1f7a4d"
            }
            Text {
                objectName: "costLine"
                text: tab.savings.costText
                font.pixelSize: 11
                color: "#6e6e73"
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
        }
        FormButton {
            objectName: "resetCounter"
            visible: tab.savings.canReset
            text: "Reset counter…"
            fontSize: 11
            flat: true
            onClicked: resetDialog.open()
        }
    }

    Dialog {
        id: resetDialog
        objectName: "resetDialog"
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: 340
        modal: true
        title: "Reset savings counter?"
        Accessible.role: Accessible.AlertMessage
        Accessible.name: title

        contentItem: Text {
            text: "The counter starts from zero. No data is deleted — your all-time stats are preserved."
            wrapMode: Text.WordWrap
            font.pixelSize: 12
            color: "#1d1d1f"
        }
        footer: RowLayout {
            spacing: 8

            Item {
                Layout.fillWidth: true
            }
            FormButton {
                objectName: "resetCancel"
                text: "Cancel"
                onClicked: resetDialog.reject()
            }
            FormButton {
                id: confirmReset
                objectName: "resetConfirm"
                text: "Reset counter"
                prominent: true
                Layout.rightMargin: 12
                Layout.bottomMargin: 12
                onClicked: {
                    tab.savings.resetCounter();
                    resetDialog.accept();
                }
            }
        }
        onOpened: confirmReset.forceActiveFocus()
    }
}

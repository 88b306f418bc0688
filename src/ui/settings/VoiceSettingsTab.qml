import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orlavo.Ui

SettingsPage {
    id: tab

    required property SettingsForm form
    required property DictionaryListModel dictionary

    property string correctionWrong
    property string correctionRight
    property bool correctionWholeWord: true

    function addCorrection() {
        if (correctionWrong === "" || correctionRight === "")
            return;
        // What was typed stays when the entry could not be stored.
        if (dictionary.add(correctionWrong, correctionRight, correctionWholeWord)) {
            correctionWrong = "";
            correctionRight = "";
            correctionWholeWord = true;
        }
    }

    Component.onCompleted: dictionary.refresh()

    FormSection {
        header: "Polish"

        PickerRow {
            objectName: "polishLevel"
            label: "Clean up my dictation"
            options: tab.form.polishLevelNames
            currentIndex: tab.form.polishLevelIndex
            onActivated: index => tab.form.polishLevelIndex = index
        }
        Text {
            Layout.fillWidth: true
            text: tab.form.polishDescription
            wrapMode: Text.WordWrap
            font.pixelSize: 11
            color: "#6e6e73"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }

    FormSection {
        header: "Auto-correct specific words"
        footer: "For names, brands, or technical terms the recognizer gets wrong every time."

        RowLayout {
            Layout.fillWidth: true
            spacing: 6

            FormTextField {
                objectName: "correctionWrong"
                accessibleName: "Misheard word"
                placeholderText: "gorgio"
                text: tab.correctionWrong
                onTextEdited: tab.correctionWrong = text
                onAccepted: tab.addCorrection()
            }
            Text {
                text: "→"
                font.pixelSize: 10
                color: "#9a9aa0"
                Accessible.ignored: true
            }
            FormTextField {
                objectName: "correctionRight"
                accessibleName: "Correct spelling"
                placeholderText: "Giorgio"
                text: tab.correctionRight
                onTextEdited: tab.correctionRight = text
                onAccepted: tab.addCorrection()
            }
        }
        RowLayout {
            Layout.fillWidth: true

            CheckBox {
                id: wholeWord
                objectName: "correctionWholeWord"
                text: "Whole word only"
                font.pixelSize: 12
                checked: tab.correctionWholeWord
                focusPolicy: Qt.StrongFocus
                Accessible.role: Accessible.CheckBox
                Accessible.name: text
                onToggled: tab.correctionWholeWord = checked
            }
            Item {
                Layout.fillWidth: true
            }
            FormButton {
                objectName: "addCorrection"
                text: "Add correction"
                enabled: tab.correctionWrong !== "" && tab.correctionRight !== ""
                onClicked: tab.addCorrection()
            }
        }
        Text {
            objectName: "dictionaryError"
            visible: tab.dictionary.error !== ""
            Layout.fillWidth: true
            text: tab.dictionary.error
            wrapMode: Text.WordWrap
            font.pixelSize: 11
            color: "#c4271c"
            Accessible.role: Accessible.AlertMessage
            Accessible.name: text
        }
        Rectangle {
            visible: tab.dictionary.count > 0
            Layout.fillWidth: true
            implicitHeight: 1
            color: "#e5e5ea"
        }
        Repeater {
            model: tab.dictionary

            RowLayout {
                id: entry
                required property var entryId
                required property string wrong
                required property string correct
                required property bool wholeWord

                Layout.fillWidth: true
                spacing: 6

                Text {
                    text: entry.wrong
                    font.pixelSize: 12
                    color: "#6e6e73"
                }
                Text {
                    text: "→"
                    font.pixelSize: 9
                    color: "#9a9aa0"
                }
                Text {
                    text: entry.correct
                    font.pixelSize: 12
                    font.weight: Font.Medium
                    color: "#1d1d1f"
                }
                Text {
                    visible: entry.wholeWord
                    text: "(whole)"
                    font.pixelSize: 10
                    color: "#c7c7cc"
                }
                Item {
                    Layout.fillWidth: true
                }
                IconButton {
                    objectName: "delete " + entry.wrong
                    iconName: "trash"
                    iconSize: 10
                    accessibleName: "Delete the correction of " + entry.wrong
                    onClicked: tab.dictionary.remove(entry.entryId)
                }
            }
        }
    }

    FormSection {
        header: "Advanced recognition"
        footer: "List unusual words, acronyms, or domain jargon the recognizer should expect."

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Text {
                text: "Spoken language"
                font.pixelSize: 13
                color: "#1d1d1f"
            }
            FormTextField {
                objectName: "sttLanguage"
                accessibleName: "Spoken language"
                placeholderText: "Auto-detect"
                text: tab.form.sttLanguage
                onTextEdited: tab.form.sttLanguage = text
            }
        }
        Text {
            text: "Help the recognizer"
            font.pixelSize: 13
            color: "#1d1d1f"
        }
        GrowingTextArea {
            objectName: "sttPrompt"
            accessibleName: "Help the recognizer"
            minLines: 2
            maxLines: 4
            text: tab.form.sttPrompt
            onEdited: text => tab.form.sttPrompt = text
        }
    }
}

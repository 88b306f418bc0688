import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orlavo.Ui

SettingsPage {
    id: tab

    required property SnippetListModel snippets

    property string triggerPhrase
    property string expandedText

    function addSnippet() {
        if (triggerPhrase === "" || expandedText === "")
            return;
        // What was typed stays when the snippet could not be stored.
        if (snippets.add(triggerPhrase, expandedText)) {
            triggerPhrase = "";
            expandedText = "";
        }
    }

    FormSection {
        header: "New snippet"
        footer: "Dictate the trigger phrase and Orlavo types the full text."

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Text {
                text: "When you say"
                font.pixelSize: 13
                color: "#1d1d1f"
            }
            FormTextField {
                objectName: "triggerPhrase"
                accessibleName: "When you say"
                placeholderText: "my email"
                text: tab.triggerPhrase
                onTextEdited: tab.triggerPhrase = text
                onAccepted: tab.addSnippet()
            }
        }
        Text {
            text: "Type this instead"
            font.pixelSize: 13
            color: "#1d1d1f"
        }
        GrowingTextArea {
            objectName: "expandedText"
            accessibleName: "Type this instead"
            minLines: 3
            maxLines: 6
            text: tab.expandedText
            onEdited: text => tab.expandedText = text
        }
        RowLayout {
            Layout.fillWidth: true

            Text {
                objectName: "snippetError"
                Layout.fillWidth: true
                text: tab.snippets.error
                wrapMode: Text.WordWrap
                font.pixelSize: 11
                color: "#c4271c"
                Accessible.role: Accessible.AlertMessage
                Accessible.name: text
            }
            FormButton {
                objectName: "addSnippet"
                text: "Add"
                enabled: tab.triggerPhrase !== "" && tab.expandedText !== ""
                onClicked: tab.addSnippet()
            }
        }
    }

    FormSection {
        header: "Saved snippets"
        headerDetail: String(tab.snippets.count)

        Text {
            visible: tab.snippets.count === 0
            Layout.fillWidth: true
            text: "No snippets yet. Try adding your email address, a greeting, or a signature."
            wrapMode: Text.WordWrap
            font.pixelSize: 11
            color: "#6e6e73"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        Repeater {
            model: tab.snippets

            RowLayout {
                id: entry
                required property var entryId
                required property string trigger
                required property string body

                Layout.fillWidth: true
                Layout.topMargin: 1
                Layout.bottomMargin: 1

                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.alignment: Qt.AlignTop
                    spacing: 2

                    Text {
                        Layout.fillWidth: true
                        text: entry.trigger
                        font.pixelSize: 12
                        font.weight: Font.Medium
                        color: "#1d1d1f"
                        elide: Text.ElideRight
                    }
                    Text {
                        Layout.fillWidth: true
                        text: entry.body
                        font.pixelSize: 11
                        color: "#6e6e73"
                        wrapMode: Text.WordWrap
                        maximumLineCount: 3
                        elide: Text.ElideRight
                    }
                }
                IconButton {
                    objectName: "delete " + entry.trigger
                    Layout.alignment: Qt.AlignTop
                    iconName: "xmark"
                    iconSize: 9
                    accessibleName: "Delete the snippet " + entry.trigger
                    onClicked: tab.snippets.remove(entry.entryId)
                }
            }
        }
    }
}

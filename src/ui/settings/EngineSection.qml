import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orlavo.Ui

// Which recogniser turns speech into text: this computer's, or an OpenAI-compatible service.
FormSection {
    id: section

    required property EnginePanel engine

    header: "Transcription"
    footer: engine.useService
            ? "Recordings go to this service. It also does the AI edits when an edit model is set."
            : "Recordings never leave this computer. A service set here still does the AI edits; leave its URL empty to keep everything on this computer."

    Text {
        objectName: "engineUnavailable"
        visible: !section.engine.available
        Layout.fillWidth: true
        text: section.engine.unavailableText
        wrapMode: Text.WordWrap
        font.pixelSize: 12
        color: "#6e6e73"
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

    ColumnLayout {
        Layout.fillWidth: true
        enabled: section.engine.available
        spacing: 8

        ButtonGroup {
            id: choices
        }
        Repeater {
            model: [["This computer (offline, English)", false, "engineLocal"],
                    ["An OpenAI-compatible service", true, "engineService"]]

            RadioButton {
                required property var modelData
                objectName: modelData[2]
                ButtonGroup.group: choices
                text: modelData[0]
                font.pixelSize: 13
                checked: section.engine.useService === modelData[1]
                focusPolicy: Qt.StrongFocus
                Accessible.role: Accessible.RadioButton
                Accessible.name: text
                Accessible.checkable: true
                Accessible.checked: checked
                Accessible.onPressAction: section.engine.useService = modelData[1]
                Keys.onReturnPressed: section.engine.useService = modelData[1]
                onClicked: section.engine.useService = modelData[1]
            }
        }

        GridLayout {
            Layout.fillWidth: true
            columns: 2
            columnSpacing: 8
            rowSpacing: 6

            Text { text: "Service URL"; font.pixelSize: 12; color: "#1d1d1f" }
            FormTextField {
                objectName: "serviceUrl"
                accessibleName: "Service URL"
                placeholderText: "https://api.openai.com/v1"
                inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
                text: section.engine.serviceUrl
                onTextEdited: section.engine.serviceUrl = text
                onAccepted: section.engine.save()
            }

            Text { text: "Service key"; font.pixelSize: 12; color: "#1d1d1f" }
            RowLayout {
                Layout.fillWidth: true
                spacing: 6

                FormTextField {
                    objectName: "serviceKey"
                    accessibleName: section.engine.hasStoredKey ? "Service key, one is saved; type to replace it" : "Service key"
                    placeholderText: section.engine.hasStoredKey ? "Saved; type to replace" : "None (a local server needs none)"
                    echoMode: TextInput.Password
                    inputMethodHints: Qt.ImhSensitiveData | Qt.ImhNoPredictiveText
                    text: section.engine.keyDraft
                    onTextEdited: section.engine.keyDraft = text
                    onAccepted: section.engine.save()
                }
                FormButton {
                    objectName: "removeServiceKey"
                    visible: section.engine.hasStoredKey
                    text: "Remove Key"
                    onClicked: section.engine.removeKey()
                }
            }

            Text {
                visible: section.engine.useService
                text: "Transcription model"
                font.pixelSize: 12
                color: "#1d1d1f"
            }
            FormTextField {
                objectName: "transcribeModel"
                visible: section.engine.useService
                accessibleName: "Transcription model"
                placeholderText: "whisper-1"
                text: section.engine.transcribeModel
                onTextEdited: section.engine.transcribeModel = text
                onAccepted: section.engine.save()
            }

            Text { text: "Edit model"; font.pixelSize: 12; color: "#1d1d1f" }
            FormTextField {
                objectName: "editModel"
                accessibleName: "Edit model, empty turns AI edits off"
                placeholderText: "None: AI edits off"
                text: section.engine.editModel
                onTextEdited: section.engine.editModel = text
                onAccepted: section.engine.save()
            }
        }

        Text {
            objectName: "engineProblem"
            visible: text !== ""
            Layout.fillWidth: true
            text: section.engine.problem
            wrapMode: Text.WordWrap
            font.pixelSize: 11
            color: "#c4271c"
            Accessible.role: Accessible.AlertMessage
            Accessible.name: text
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Text {
                objectName: "engineStatus"
                Layout.fillWidth: true
                text: section.engine.status
                wrapMode: Text.WordWrap
                font.pixelSize: 11
                color: section.engine.statusIsError ? "#c4271c" : "#1f7a4d"
                Accessible.role: section.engine.statusIsError ? Accessible.AlertMessage : Accessible.StaticText
                Accessible.name: text
            }
            FormButton {
                objectName: "saveEngine"
                Layout.alignment: Qt.AlignTop
                text: "Save and Apply"
                prominent: true
                enabled: section.engine.canSave
                onClicked: section.engine.save()
            }
        }
    }
}

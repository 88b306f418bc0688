import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orlavo.Ui

SettingsPage {
    id: tab

    required property AccountPanel account
    required property EnginePanel engine

    property string featureText

    function sendSuggestion() {
        if (featureText.trim() === "")
            return;
        if (account.sendFeatureRequest(featureText))
            featureText = "";
    }

    Component.onCompleted: account.refreshService()

    FormSection {
        header: "Your account"

        Repeater {
            model: [["Total dictations", tab.account.totalSessions], ["Words dictated", tab.account.totalWords]]

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
                    text: Number(modelData[1]).toLocaleString(Qt.locale(), "f", 0)
                    font.pixelSize: 13
                    color: "#6e6e73"
                }
            }
        }
        FormButton {
            objectName: "signOut"
            visible: tab.account.hasKey
            Layout.alignment: Qt.AlignRight
            text: "Sign Out…"
            onClicked: tab.account.signOut()
        }
        Text {
            visible: !tab.account.hasKey
            Layout.fillWidth: true
            text: "The local service on this computer needs no key. Paste one only if your server asks for it."
            wrapMode: Text.WordWrap
            font.pixelSize: 12
            color: "#6e6e73"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        RowLayout {
            visible: !tab.account.hasKey
            Layout.fillWidth: true
            spacing: 8

            FormTextField {
                objectName: "apiKey"
                accessibleName: "API key"
                placeholderText: "Paste your key here"
                echoMode: TextInput.Password
                text: tab.account.keyDraft
                onTextEdited: tab.account.keyDraft = text
                onAccepted: tab.account.saveKey()
            }
            FormButton {
                objectName: "saveKey"
                text: "Save Key"
                prominent: true
                enabled: tab.account.canSaveKey
                onClicked: tab.account.saveKey()
            }
        }
    }

    EngineSection {
        engine: tab.engine
    }

    FormSection {
        header: "About"

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            ColumnLayout {
                spacing: 2
                Layout.fillWidth: true

                Text {
                    text: tab.account.versionText
                    font.pixelSize: 13
                    font.weight: Font.Medium
                    color: "#1d1d1f"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                Text {
                    text: tab.account.buildText
                    font.pixelSize: 10
                    color: "#9a9aa0"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                Text {
                    objectName: "serviceLine"
                    visible: text !== ""
                    Layout.fillWidth: true
                    text: tab.account.serviceText
                    elide: Text.ElideRight
                    font.pixelSize: 11
                    color: "#6e6e73"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                Text {
                    objectName: "packagedLine"
                    visible: tab.account.updates !== null && tab.account.updates.isPackaged
                    Layout.fillWidth: true
                    text: "Updates come through your package manager."
                    elide: Text.ElideRight
                    font.pixelSize: 11
                    color: "#6e6e73"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
            ColumnLayout {
                readonly property var updates: tab.account.updates
                visible: updates !== null && updates.isConfigured
                Layout.alignment: Qt.AlignTop | Qt.AlignRight
                spacing: 2

                ProgressBar {
                    visible: parent.updates !== null && parent.updates.isDownloading
                    Layout.preferredWidth: 80
                    from: 0
                    to: 1
                    value: parent.updates !== null ? parent.updates.downloadProgress : 0
                    Accessible.role: Accessible.ProgressBar
                    Accessible.name: "Installing the update"
                }
                Text {
                    visible: parent.updates !== null && parent.updates.isDownloading
                    text: "Installing…"
                    font.pixelSize: 10
                    color: "#6e6e73"
                }
                FormButton {
                    objectName: "installUpdate"
                    visible: parent.updates !== null && !parent.updates.isDownloading && parent.updates.updateAvailable
                    text: "Update to v" + (parent.updates !== null ? parent.updates.latestVersion : "")
                    onClicked: tab.account.installUpdate()
                }
                FormButton {
                    objectName: "checkForUpdates"
                    visible: parent.updates !== null && !parent.updates.isDownloading && !parent.updates.updateAvailable
                    text: tab.account.isCheckingUpdate ? "" : "Check for Updates"
                    enabled: !tab.account.isCheckingUpdate
                    Accessible.name: "Check for Updates"
                    onClicked: tab.account.checkForUpdates()

                    Spinner {
                        anchors.centerIn: parent
                        visible: tab.account.isCheckingUpdate
                        running: visible
                        color: "#6e6e73"
                    }
                }
            }
        }
        Text {
            readonly property var updates: tab.account.updates
            visible: updates !== null && updates.updateAvailable && updates.releaseNotes !== ""
            Layout.fillWidth: true
            text: updates !== null ? updates.releaseNotes : ""
            wrapMode: Text.WordWrap
            font.pixelSize: 11
            color: "#6e6e73"
        }
        Repeater {
            model: [
                ["Help & support", "help", tab.account.hasSupportPage, () => tab.account.openSupportPage()],
                ["Privacy policy", "privacy", tab.account.hasPrivacyPage, () => tab.account.openPrivacyPage()]
            ]

            AbstractButton {
                id: link
                required property var modelData
                visible: modelData[2]
                focusPolicy: Qt.StrongFocus
                Accessible.role: Accessible.Link
                Accessible.name: modelData[0]
                Accessible.onPressAction: modelData[3]()
                Keys.onReturnPressed: modelData[3]()
                onClicked: modelData[3]()

                contentItem: RowLayout {
                    spacing: 5

                    MenuIcon {
                        name: link.modelData[1]
                        size: 11
                        color: "#003527"
                    }
                    Text {
                        text: link.modelData[0]
                        font.pixelSize: 12
                        font.underline: link.hovered || link.visualFocus
                        color: "#003527"
                    }
                    Text {
                        text: "↗"
                        font.pixelSize: 9
                        color: "#003527"
                    }
                }
                background: Item {}
            }
        }
    }

    FormSection {
        visible: tab.account.canSuggest
        header: "Suggest a feature"
        footer: "Your input shapes Orlavo. Proposals go directly to the team."

        Item {
            Layout.fillWidth: true
            implicitHeight: Math.max(form.implicitHeight, thanks.implicitHeight)

            ColumnLayout {
                id: form
                width: parent.width
                opacity: tab.account.feedbackSent ? 0 : 1
                visible: opacity > 0
                spacing: 6

                Behavior on opacity {
                    NumberAnimation { duration: 300; easing.type: Easing.InOutQuad }
                }

                GrowingTextArea {
                    objectName: "featureText"
                    accessibleName: "Describe a feature or improvement"
                    placeholderText: "Describe a feature or improvement…"
                    fontSize: 12
                    minLines: 2
                    maxLines: 4
                    text: tab.featureText
                    onEdited: text => tab.featureText = text
                }
                RowLayout {
                    Layout.fillWidth: true

                    Text {
                        objectName: "feedbackError"
                        Layout.fillWidth: true
                        text: tab.account.feedbackError
                        wrapMode: Text.WordWrap
                        font.pixelSize: 11
                        color: "#c4271c"
                        Accessible.role: Accessible.AlertMessage
                        Accessible.name: text
                    }
                    FormButton {
                        objectName: "sendSuggestion"
                        text: "Send"
                        enabled: tab.featureText.trim() !== ""
                        onClicked: tab.sendSuggestion()
                    }
                }
            }
            RowLayout {
                id: thanks
                width: parent.width
                opacity: tab.account.feedbackSent ? 1 : 0
                visible: opacity > 0
                spacing: 6

                Behavior on opacity {
                    NumberAnimation { duration: 300; easing.type: Easing.InOutQuad }
                }

                MenuIcon {
                    name: "check-circle"
                    size: 13
                    color: "#1f7a4d"
                }
                Text {
                    text: "Thanks! We'll review your suggestion."
                    font.pixelSize: 12
                    color: "#1d1d1f"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
        }
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orlavo.Ui

// The settings window: five tabs over the application's state. Only the shown tab exists, so a
// tab starts fresh each time it is chosen and the window opens quickly.
Rectangle {
    id: root

    required property SettingsForm form
    required property DictionaryListModel dictionary
    required property SnippetListModel snippets
    required property PruningSavingsPanel savings
    required property AccountPanel account
    required property EnginePanel engine
    property alias currentIndex: tabs.currentIndex
    readonly property alias currentTab: page.item

    implicitWidth: 520
    implicitHeight: 560
    color: "#f2f2f4"

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        TabBar {
            id: tabs
            objectName: "tabs"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 8
            spacing: 4
            Accessible.role: Accessible.PageTabList
            Accessible.name: "Settings sections"
            background: Item {}

            Repeater {
                // label, our icon name (a freedesktop name on the desktop, see ThemeIcons)
                model: [["General", "gear"], ["Voice", "waveform"], ["AI", "cpu"],
                        ["Snippets", "quote"], ["Account", "person"]]

                TabButton {
                    id: tabButton
                    required property var modelData
                    required property int index
                    objectName: "tab" + modelData[0]
                    width: 72
                    focusPolicy: Qt.StrongFocus
                    Accessible.role: Accessible.PageTab
                    Accessible.name: modelData[0]
                    Accessible.onPressAction: tabs.currentIndex = index
                    Keys.onReturnPressed: tabs.currentIndex = index

                    background: Rectangle {
                        radius: 6
                        color: tabButton.checked ? "#e2e2e6" : (tabButton.hovered ? "#eaeaee" : "transparent")
                        border.width: tabButton.visualFocus ? 2 : 0
                        border.color: "#3d7eff"
                    }
                    contentItem: Column {
                        spacing: 2
                        topPadding: 4
                        bottomPadding: 4

                        MenuIcon {
                            anchors.horizontalCenter: parent.horizontalCenter
                            name: tabButton.modelData[1]
                            size: 18
                            implicitWidth: 22
                            color: tabButton.checked ? "#003527" : "#6e6e73"
                        }
                        Text {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: tabButton.modelData[0]
                            font.pixelSize: 11
                            color: tabButton.checked ? "#1d1d1f" : "#6e6e73"
                        }
                    }
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.topMargin: 8
            implicitHeight: 1
            color: "#dcdcde"
        }

        Loader {
            id: page
            objectName: "page"
            Layout.fillWidth: true
            Layout.fillHeight: true
            sourceComponent: [general, voice, ai, snippetsTab, accountTab][tabs.currentIndex]
        }
    }

    Component {
        id: general
        GeneralSettingsTab { form: root.form }
    }
    Component {
        id: voice
        VoiceSettingsTab { form: root.form; dictionary: root.dictionary }
    }
    Component {
        id: ai
        AISettingsTab { form: root.form; savings: root.savings }
    }
    Component {
        id: snippetsTab
        SnippetsSettingsTab { snippets: root.snippets }
    }
    Component {
        id: accountTab
        AccountSettingsTab { account: root.account; engine: root.engine }
    }
}

import QtQuick
import Orlavo.Ui
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The pop-over of the tray icon: the on/off switch, today's summary, prompt pruning and its
// savings, the update entry, Settings and Quit.
Rectangle {
    id: root

    required property StatusMenuModel menu

    readonly property color secondaryText: "#6e6e73"
    readonly property color tertiaryText: "#a1a1a6"
    readonly property color green: "#28a745"

    implicitWidth: 240
    implicitHeight: column.implicitHeight + 20
    color: "#f7f7f7"
    border.color: "#c8c8c8"
    border.width: 1

    component Divider: Rectangle {
        Layout.fillWidth: true
        implicitHeight: 1
        color: "#dcdcdc"
    }

    ColumnLayout {
        id: column
        x: 14
        y: 10
        width: root.width - 28
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.bottomMargin: 4
            spacing: 6

            Text {
                text: "Orlavo"
                font.family: "serif"
                font.pixelSize: 14
                font.weight: Font.DemiBold
                color: "#1d1d1f"
            }
            Rectangle {
                objectName: "reachabilityDot"
                width: 6
                height: 6
                radius: 3
                color: root.menu.serverReachable ? root.green : "#e0383e"
                Accessible.role: Accessible.Indicator
                Accessible.name: root.menu.reachabilityText
                ToolTip.visible: dotHover.hovered
                ToolTip.text: root.menu.reachabilityText
                HoverHandler {
                    id: dotHover
                }
            }
            Item {
                Layout.fillWidth: true
            }
            ToggleSwitch {
                objectName: "masterSwitch"
                Accessible.name: "Orlavo on"
                checked: root.menu.isOn
                onToggled: {
                    root.menu.setOn(checked);
                    // The switch shows what happened, not what was asked for.
                    checked = Qt.binding(() => root.menu.isOn);
                }
            }
        }

        Text {
            objectName: "statusLine"
            Layout.fillWidth: true
            Layout.bottomMargin: 10
            text: root.menu.statusLine
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            font.pixelSize: 11
            color: root.secondaryText
            elide: Text.ElideRight
        }

        Text {
            objectName: "hotkeyProblem"
            Layout.fillWidth: true
            Layout.bottomMargin: 10
            visible: text.length > 0
            text: root.menu.hotkeyProblem
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            font.pixelSize: 11
            color: "#e0383e"
            wrapMode: Text.Wrap
        }

        Divider {
            Layout.bottomMargin: 6
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.topMargin: 4
            Layout.bottomMargin: 4
            Layout.leftMargin: 2
            Layout.rightMargin: 2
            spacing: 6

            MenuIcon {
                name: "scissors"
                size: 11
                color: root.secondaryText
            }
            Text {
                text: "Prompt Pruning"
                font.pixelSize: 13
                color: "#1d1d1f"
            }
            Item {
                Layout.fillWidth: true
            }
            ToggleSwitch {
                objectName: "pruningSwitch"
                Accessible.name: "Prompt Pruning"
                mini: true
                checked: root.menu.pruningEnabled
                onToggled: {
                    root.menu.setPruningEnabled(checked);
                    checked = Qt.binding(() => root.menu.pruningEnabled);
                }
            }
        }

        RowLayout {
            visible: root.menu.pruningEnabled
            Layout.fillWidth: true
            Layout.bottomMargin: 2
            Layout.leftMargin: 2
            spacing: 6

            MenuIcon {
                name: "savings"
                size: 10
                color: root.green
            }
            Text {
                objectName: "savingsLine"
                Layout.fillWidth: true
                text: root.menu.savingsLine
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                font.pixelSize: 11
                color: root.menu.hasSavings ? root.secondaryText : root.tertiaryText
                elide: Text.ElideRight
            }
        }

        Divider {
            Layout.topMargin: 6
            Layout.bottomMargin: 6
        }

        MenuRow {
            objectName: "updateRow"
            visible: root.menu.updateAvailable
            enabled: !root.menu.isDownloading
            title: root.menu.updateTitle
            iconName: "update"
            iconColor: root.green
            iconSize: 12
            titleSize: 12
            titleWeight: Font.Medium
            busy: root.menu.isDownloading
            trailingIcon: "chevron"
            onClicked: root.menu.installUpdate()
        }
        Divider {
            visible: root.menu.updateAvailable
            Layout.topMargin: 6
            Layout.bottomMargin: 6
        }

        MenuRow {
            objectName: "settingsRow"
            title: "Settings"
            iconName: "settings"
            iconColor: root.secondaryText
            onClicked: root.menu.openSettings()
        }

        Divider {
            Layout.topMargin: 6
            Layout.bottomMargin: 6
        }

        MenuRow {
            objectName: "quitRow"
            title: "Quit"
            iconName: "quit"
            iconColor: root.secondaryText
            onClicked: root.menu.quit()
        }
    }
}

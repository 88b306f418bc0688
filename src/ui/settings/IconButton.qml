import QtQuick
import QtQuick.Controls.Basic
import Orlavo.Ui

// A plain button that is only a symbol; its accessible name says what it does.
AbstractButton {
    id: button

    property string iconName
    property real iconSize: 10
    property color iconColor: "#6e6e73"
    required property string accessibleName

    focusPolicy: Qt.StrongFocus
    implicitWidth: 20
    implicitHeight: 20
    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
    Accessible.onPressAction: clicked()
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    background: Rectangle {
        radius: 4
        color: button.hovered || button.visualFocus ? "#ececee" : "transparent"
        border.width: button.visualFocus ? 1 : 0
        border.color: "#3d7eff"
    }
    contentItem: MenuIcon {
        name: button.iconName
        size: button.iconSize
        color: button.iconColor
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// A clickable row of the pop-over: an icon, a title and, at the end, an optional chevron or a
// spinner.
AbstractButton {
    id: row

    property string title
    property string iconName
    property color iconColor: "#6e6e73"
    property real iconSize: 11
    property real titleSize: 13
    property int titleWeight: Font.Normal
    property string trailingIcon
    property bool busy: false

    Layout.fillWidth: true
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.MenuItem
    Accessible.name: title
    Accessible.onPressAction: if (enabled) clicked()
    Keys.onReturnPressed: if (enabled) clicked()
    Keys.onEnterPressed: if (enabled) clicked()
    topPadding: 4
    bottomPadding: 4
    leftPadding: 2
    rightPadding: 2
    hoverEnabled: true

    background: Rectangle {
        radius: 4
        color: (row.hovered || row.visualFocus) && row.enabled ? "#e6e6e6" : "transparent"
    }

    contentItem: RowLayout {
        spacing: 6
        opacity: row.enabled ? 1 : 0.6

        MenuIcon {
            name: row.iconName
            size: row.iconSize
            color: row.iconColor
        }
        Text {
            text: row.title
            font.pixelSize: row.titleSize
            font.weight: row.titleWeight
            color: "#1d1d1f"
        }
        Item {
            Layout.fillWidth: true
        }
        Spinner {
            visible: row.busy
            running: row.busy
            color: "#6e6e73"
        }
        MenuIcon {
            visible: !row.busy && row.trailingIcon !== ""
            name: row.trailingIcon
            size: 8
            color: "#a1a1a6"
        }
    }
}

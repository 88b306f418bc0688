import QtQuick
import QtQuick.Layouts

// A filled check when granted, an empty circle when not, and the matching text.
RowLayout {
    id: row

    required property bool granted
    required property string text

    spacing: 8
    Accessible.role: Accessible.StaticText
    Accessible.name: text

    Rectangle {
        implicitWidth: 14
        implicitHeight: 14
        radius: 7
        color: row.granted ? Qt.rgba(0.18, 0.6, 0.38, 1) : "transparent"
        border.width: row.granted ? 0 : 1.5
        border.color: Qt.rgba(0.78, 0.8, 0.78, 1)

        Text {
            anchors.centerIn: parent
            visible: row.granted
            text: "✓"
            color: "white"
            font.pixelSize: 10
            font.bold: true
        }
    }
    Text {
        objectName: "statusText"
        text: row.text
        font.pixelSize: 14
        font.weight: Font.Medium
        color: row.granted ? Qt.rgba(0.106, 0.11, 0.102, 1) : Qt.rgba(0.4, 0.42, 0.4, 1)
    }
}

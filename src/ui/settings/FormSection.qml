import QtQuick
import QtQuick.Layouts

// A group of the settings form: a header, a white box holding the rows, and a footer that
// explains them. Either text may be empty.
ColumnLayout {
    id: section

    property string header
    property string headerDetail
    property string footer
    default property alias rows: box.data

    Layout.fillWidth: true
    spacing: 6

    RowLayout {
        visible: section.header !== ""
        Layout.fillWidth: true
        Layout.leftMargin: 4
        Layout.rightMargin: 4

        Text {
            text: section.header
            font.pixelSize: 12
            font.weight: Font.DemiBold
            color: "#3c3c43"
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Item {
            Layout.fillWidth: true
        }
        Text {
            visible: section.headerDetail !== ""
            text: section.headerDetail
            font.pixelSize: 11
            color: "#6e6e73"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }

    Rectangle {
        Layout.fillWidth: true
        implicitHeight: box.implicitHeight + 20
        radius: 8
        color: "white"
        border.color: "#dcdcde"
        border.width: 1

        ColumnLayout {
            id: box
            anchors.fill: parent
            anchors.margins: 10
            spacing: 10
        }
    }

    Text {
        visible: section.footer !== ""
        Layout.fillWidth: true
        Layout.leftMargin: 4
        Layout.rightMargin: 4
        text: section.footer
        wrapMode: Text.WordWrap
        font.pixelSize: 11
        color: "#6e6e73"
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
}

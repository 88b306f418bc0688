import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// A small window for what is not built yet: a heading, a message and a button.
Rectangle {
    id: root

    required property string heading
    required property string message
    required property string actionText

    signal actionTriggered

    implicitWidth: 380
    implicitHeight: column.implicitHeight + 40
    color: "#f7f7f7"

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 20
        spacing: 12

        Text {
            text: root.heading
            font.pixelSize: 17
            font.weight: Font.DemiBold
            color: "#1d1d1f"
        }
        Text {
            objectName: "message"
            Layout.fillWidth: true
            text: root.message
            wrapMode: Text.WordWrap
            font.pixelSize: 13
            color: "#3a3a3c"
        }
        Button {
            Layout.alignment: Qt.AlignRight
            text: root.actionText
            onClicked: root.actionTriggered()
        }
    }
}

import QtQuick

// The product name, faint, at the top of the open island.
Item {
    id: watermark

    property bool shown: false

    implicitWidth: name.implicitWidth + mark.implicitWidth
    implicitHeight: name.implicitHeight
    opacity: shown ? 1 : 0

    Behavior on opacity {
        SequentialAnimation {
            PauseAnimation { duration: 300 }
            NumberAnimation { duration: 800; easing.type: Easing.InQuad }
        }
    }

    Text {
        id: name
        text: "Orlavo"
        color: Qt.rgba(1, 1, 1, 0.25)
        font.pixelSize: 9
        font.weight: Font.Medium
        font.italic: true
    }
    Text {
        id: mark
        x: name.implicitWidth
        anchors.baseline: name.baseline
        anchors.baselineOffset: -3
        text: "®"
        color: Qt.rgba(1, 1, 1, 0.2)
        font.pixelSize: 6
    }
}

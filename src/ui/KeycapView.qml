import QtQuick

// One key label drawn as a keycap, in three sizes.
Item {
    id: keycap

    enum KeycapSize { Compact, Regular, Large }

    property string label
    property int size: KeycapView.Regular
    property color fillColor: Qt.rgba(0.1, 0.11, 0.1, 1)
    property color borderColor: Qt.rgba(0.35, 0.36, 0.35, 1)
    property color shadowColor: Qt.rgba(0.06, 0.06, 0.06, 1)

    // font, horizontal padding, vertical padding, minimum width, corner radius
    readonly property var metrics: [[11, 5, 2, 22, 4], [13, 8, 4, 32, 5], [18, 12, 6, 44, 7]][size]

    implicitWidth: Math.max(metrics[3], text.implicitWidth + 2 * metrics[1])
    implicitHeight: text.implicitHeight + 2 * metrics[2]

    Accessible.role: Accessible.StaticText
    Accessible.name: label

    Rectangle {
        // The shadow: 1 down, softened by its low opacity rather than a blur.
        y: 1
        width: parent.width
        height: parent.height
        radius: keycap.metrics[4]
        color: keycap.shadowColor
        opacity: 0.3
    }
    Rectangle {
        anchors.fill: parent
        radius: keycap.metrics[4]
        color: Qt.rgba(keycap.fillColor.r, keycap.fillColor.g, keycap.fillColor.b, 0.85)
        border.width: 0.5
        border.color: Qt.rgba(keycap.borderColor.r, keycap.borderColor.g, keycap.borderColor.b, 0.5)
    }
    Text {
        id: text
        anchors.centerIn: parent
        text: keycap.label
        font.pixelSize: keycap.metrics[0]
        font.weight: Font.Medium
        color: "white"
    }
}

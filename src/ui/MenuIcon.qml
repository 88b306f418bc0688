import QtQuick

// An icon of the theme (or our own) in one colour, centred in a 14-point-wide frame.
Item {
    id: icon

    property string name
    property real size: 11
    property color color: "black"

    implicitWidth: 14
    implicitHeight: size

    Image {
        anchors.centerIn: parent
        width: icon.size
        height: icon.size
        sourceSize: Qt.size(icon.size, icon.size)
        source: icon.name === "" ? ""
            : "image://icons/" + icon.name + "?color=" + encodeURIComponent(String(icon.color))
    }
}

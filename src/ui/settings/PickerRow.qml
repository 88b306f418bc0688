import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// A labelled drop-down of options given by name; `activated` reports the user's choice.
RowLayout {
    id: row

    property string label
    property var options: []
    property int currentIndex: 0
    signal activated(int index)

    Layout.fillWidth: true

    Text {
        text: row.label
        font.pixelSize: 13
        color: "#1d1d1f"
    }
    Item {
        Layout.fillWidth: true
    }
    ComboBox {
        id: combo
        objectName: row.objectName + "Box"
        Layout.preferredWidth: 230
        model: row.options
        currentIndex: row.currentIndex
        font.pixelSize: 12
        focusPolicy: Qt.StrongFocus
        Accessible.role: Accessible.ComboBox
        Accessible.name: row.label
        onActivated: index => row.activated(index)
    }
}

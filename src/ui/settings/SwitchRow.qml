import QtQuick
import QtQuick.Layouts
import Orlavo.Ui

// A labelled on/off switch. `toggled` reports the user's change; `checked` follows the setting.
RowLayout {
    id: row

    property string label
    property bool checked
    property real fontSize: 13
    signal toggled(bool on)

    Layout.fillWidth: true

    Text {
        Layout.fillWidth: true
        text: row.label
        font.pixelSize: row.fontSize
        color: "#1d1d1f"
        wrapMode: Text.WordWrap
    }
    ToggleSwitch {
        id: toggle
        objectName: row.objectName + "Switch"
        checked: row.checked
        focusPolicy: Qt.StrongFocus
        Accessible.name: row.label
        onToggled: row.toggled(checked)
        Keys.onReturnPressed: toggle.userToggle()
    }
}

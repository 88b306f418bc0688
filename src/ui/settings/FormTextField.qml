import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// A one-line text field; Return presses the form's default button through `accepted`.
TextField {
    id: field

    property string accessibleName

    Layout.fillWidth: true
    font.pixelSize: 13
    color: "#1d1d1f"
    placeholderTextColor: "#9a9aa0"
    selectByMouse: true
    Accessible.role: Accessible.EditableText
    Accessible.name: accessibleName
    background: Rectangle {
        implicitHeight: 26
        radius: 5
        color: "#fbfbfc"
        border.color: field.activeFocus ? "#3d7eff" : "#d0d0d4"
        border.width: field.activeFocus ? 2 : 1
    }
}

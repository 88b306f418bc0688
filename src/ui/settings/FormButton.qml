import QtQuick
import QtQuick.Controls.Basic

// A push button of the form: Return and Space press it when it has the focus, and assistive
// technologies press it by name.
Button {
    id: button

    property bool prominent: false
    property real fontSize: 12

    focusPolicy: Qt.StrongFocus
    leftPadding: 10
    rightPadding: 10
    topPadding: 4
    bottomPadding: 4
    font.pixelSize: fontSize
    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: if (enabled) clicked()
    Keys.onReturnPressed: if (enabled) clicked()
    Keys.onEnterPressed: if (enabled) clicked()

    contentItem: Text {
        text: button.text
        font: button.font
        color: button.prominent ? "white" : "#1d1d1f"
        opacity: button.enabled ? 1 : 0.45
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    background: Rectangle {
        implicitHeight: 24
        radius: 6
        color: button.prominent ? (button.down ? Qt.darker("#003527", 1.2) : "#003527")
                                : (button.down ? "#e2e2e4" : "#f5f5f7")
        opacity: button.enabled ? 1 : 0.5
        border.width: button.visualFocus ? 2 : 1
        border.color: button.visualFocus ? "#3d7eff" : "#c8c8cc"
    }
}

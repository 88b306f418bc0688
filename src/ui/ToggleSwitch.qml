import QtQuick
import QtQuick.Controls.Basic

// A switch without a label, in two sizes.
Switch {
    id: control

    property bool mini: false

    padding: 0
    spacing: 0
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.CheckBox
    Accessible.checkable: true
    Accessible.checked: checked
    // Assistive technologies toggle it as a click would: the owner hears toggled().
    Accessible.onToggleAction: control.userToggle()
    Accessible.onPressAction: control.userToggle()

    function userToggle() {
        toggle();
        toggled();
    }
    implicitWidth: indicator.implicitWidth
    implicitHeight: indicator.implicitHeight

    indicator: Rectangle {
        implicitWidth: control.mini ? 26 : 32
        implicitHeight: control.mini ? 15 : 18
        x: control.leftPadding
        y: (control.height - height) / 2
        radius: height / 2
        color: control.checked ? "#34c759" : "#d1d1d6"
        border.width: control.visualFocus ? 2 : 0
        border.color: "#3d7eff"

        Rectangle {
            x: control.checked ? parent.width - width - 2 : 2
            y: 2
            width: parent.height - 4
            height: width
            radius: width / 2
            color: "white"

            Behavior on x {
                NumberAnimation { duration: 120 }
            }
        }
    }
    contentItem: Item {}
}

import QtQuick
import QtQuick.Controls.Basic

// The wizard's buttons: primary (filled, hero on the welcome screen) or secondary (text only).
Button {
    id: control

    property bool primary: true
    property bool hero: false
    property bool isDefault: false

    readonly property color accent: Qt.rgba(0, 0.208, 0.153, 1)
    readonly property color accentPressed: Qt.rgba(0, 0.169, 0.124, 1)
    readonly property color disabledFill: Qt.rgba(0.78, 0.8, 0.78, 1)
    readonly property color inkSecondary: Qt.rgba(0.4, 0.42, 0.4, 1)

    Accessible.role: Accessible.Button
    Accessible.name: text
    focusPolicy: Qt.StrongFocus

    leftPadding: primary ? (hero ? 32 : 20) : 4
    rightPadding: leftPadding
    topPadding: primary ? (hero ? 13 : 9) : 4
    bottomPadding: topPadding
    implicitWidth: Math.max(hero ? 160 : 0, implicitContentWidth + leftPadding + rightPadding)
    scale: primary && down ? 0.98 : 1

    Behavior on scale {
        NumberAnimation { duration: 120; easing.type: Easing.OutQuad }
    }

    contentItem: Text {
        text: control.text
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        font.pixelSize: control.primary ? (control.hero ? 16 : 14) : 13
        font.weight: control.primary ? Font.DemiBold : Font.Medium
        font.underline: !control.primary && control.visualFocus
        opacity: !control.primary && control.down ? 0.6 : 1
        color: control.primary ? "white" : (control.enabled ? control.inkSecondary : control.disabledFill)

        Behavior on color {
            ColorAnimation { duration: 120; easing.type: Easing.OutQuad }
        }
    }

    background: Rectangle {
        visible: control.primary
        radius: control.hero ? 12 : 8
        color: !control.enabled ? control.disabledFill : (control.down ? control.accentPressed : control.accent)
        border.width: control.visualFocus ? 2 : 0
        border.color: Qt.rgba(0.18, 0.6, 0.38, 1)

        Behavior on color {
            ColorAnimation { duration: 120; easing.type: Easing.OutQuad }
        }
    }
}

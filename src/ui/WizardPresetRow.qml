import QtQuick
import Orlavo.Ui
import QtQuick.Controls.Basic
import QtQuick.Layouts

// One ready-made shortcut: its keycap, what it does, and a mark when it is the one in use.
AbstractButton {
    id: control

    required property int keyCode
    required property string label
    required property string detail
    required property bool recommended
    required property string note
    required property bool selected

    readonly property color accent: Qt.rgba(0, 0.208, 0.153, 1)

    objectName: "preset" + keyCode
    focusPolicy: Qt.StrongFocus
    padding: 12
    Accessible.role: Accessible.RadioButton
    Accessible.name: label + ", " + detail + (recommended ? ", recommended" : "") + (note ? ", " + note : "")
    Accessible.checkable: true
    Accessible.checked: selected

    background: Rectangle {
        radius: 10
        color: control.selected ? Qt.rgba(0, 0.208, 0.153, 0.06) : "transparent"
        border.width: control.visualFocus ? 2 : 1
        border.color: control.selected || control.visualFocus ? Qt.rgba(0, 0.208, 0.153, 0.3)
                                                              : Qt.rgba(0.56, 0.56, 0.58, 0.2)
    }

    contentItem: Item {
        implicitWidth: row.implicitWidth
        implicitHeight: row.implicitHeight

        RowLayout {
            id: row
            anchors.fill: parent
            spacing: 12

            KeycapView {
                objectName: "keycap"
                label: control.label
                size: KeycapView.Regular
                fillColor: Qt.rgba(0.1, 0.11, 0.1, 1)
                borderColor: Qt.rgba(0.35, 0.36, 0.35, 1)
                shadowColor: Qt.rgba(0.06, 0.06, 0.06, 1)
            }
            ColumnLayout {
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignLeft | Qt.AlignVCenter
                spacing: 2

                // Children that may grow let the column take the row's spare width, so the texts
                // stay beside the keycap instead of centring in it.
                RowLayout {
                    Layout.fillWidth: true
                    spacing: 6
                    Text {
                        text: control.detail
                        font.pixelSize: 13
                        color: Qt.rgba(0.106, 0.11, 0.102, 1)
                    }
                    Rectangle {
                        visible: control.recommended
                        implicitWidth: badge.implicitWidth + 12
                        implicitHeight: badge.implicitHeight + 4
                        radius: height / 2
                        color: control.accent
                        Text {
                            id: badge
                            anchors.centerIn: parent
                            text: "Recommended"
                            color: "white"
                            font.pixelSize: 10
                            font.weight: Font.DemiBold
                        }
                    }
                    Item {
                        Layout.fillWidth: true
                    }
                }
                Text {
                    Layout.fillWidth: true
                    visible: control.note.length > 0
                    text: control.note
                    font.pixelSize: 11
                    color: Qt.rgba(0.4, 0.42, 0.4, 1)
                }
            }
            Rectangle {
                implicitWidth: 18
                implicitHeight: 18
                radius: 9
                color: control.selected ? control.accent : "transparent"
                border.width: control.selected ? 0 : 1.5
                border.color: Qt.rgba(0.78, 0.8, 0.78, 1)
                Text {
                    anchors.centerIn: parent
                    visible: control.selected
                    text: "✓"
                    color: "white"
                    font.pixelSize: 12
                    font.bold: true
                }
            }
        }
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// Options side by side, one selected. Arrow keys move the selection like a radio group.
RowLayout {
    id: picker

    property string label
    property var options: []
    property int currentIndex: 0
    signal activated(int index)

    Layout.fillWidth: true
    spacing: 8

    Text {
        visible: picker.label !== ""
        text: picker.label
        font.pixelSize: 13
        color: "#1d1d1f"
    }
    Item {
        visible: picker.label !== ""
        Layout.fillWidth: true
    }
    Row {
        Layout.fillWidth: picker.label === ""
        spacing: 0
        Accessible.role: Accessible.Grouping
        Accessible.name: picker.label

        Repeater {
            model: picker.options

            AbstractButton {
                id: segment
                required property string modelData
                required property int index
                readonly property bool selected: index === picker.currentIndex

                objectName: picker.objectName + "Segment" + index
                width: picker.label === "" ? picker.width / picker.options.length : implicitWidth
                implicitWidth: segmentText.implicitWidth + 22
                implicitHeight: 24
                checkable: true
                checked: selected
                focusPolicy: Qt.StrongFocus
                Accessible.role: Accessible.RadioButton
                Accessible.name: modelData
                Accessible.checkable: true
                Accessible.checked: selected
                Accessible.onPressAction: picker.activated(index)
                Accessible.onToggleAction: picker.activated(index)
                onClicked: picker.activated(index)
                Keys.onReturnPressed: picker.activated(index)
                Keys.onLeftPressed: picker.activated(Math.max(0, picker.currentIndex - 1))
                Keys.onRightPressed: picker.activated(Math.min(picker.options.length - 1, picker.currentIndex + 1))

                background: Rectangle {
                    color: segment.selected ? "white" : "#e8e8ea"
                    border.color: segment.visualFocus ? "#3d7eff" : "#d0d0d4"
                    border.width: segment.visualFocus ? 2 : 1
                    radius: 5
                }
                contentItem: Text {
                    id: segmentText
                    text: segment.modelData
                    font.pixelSize: 12
                    font.weight: segment.selected ? Font.DemiBold : Font.Normal
                    color: "#1d1d1f"
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
            }
        }
    }
}

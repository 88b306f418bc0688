import QtQuick

// A small indeterminate progress spinner.
Item {
    id: spinner

    property color color: "white"
    property bool running: false

    implicitWidth: 12
    implicitHeight: 12

    Item {
        id: dial
        anchors.centerIn: parent
        width: 20
        height: 20
        scale: 0.6

        Repeater {
            model: 8

            Rectangle {
                required property int index
                x: 9
                y: 0
                width: 2
                height: 6
                radius: 1
                color: spinner.color
                opacity: (index + 1) / 8
                transform: Rotation { origin.x: 1; origin.y: 10; angle: index * 45 }
            }
        }

        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 900
            loops: Animation.Infinite
            running: spinner.running && spinner.visible
        }
    }
}

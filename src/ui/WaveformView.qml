import QtQuick
import Orlavo.Ui

// The row of bars that pulses with the microphone level while recording.
Item {
    id: view

    property color color: "white"
    property alias level: wave.level
    // Redraws only while true (and shown), at no more than 30 frames a second.
    property bool running: false

    implicitHeight: wave.maxBarHeight
    height: wave.maxBarHeight

    WaveformModel {
        id: wave
    }

    Timer {
        interval: wave.frameIntervalMs
        repeat: true
        triggeredOnStart: true
        running: view.running && view.visible
        onTriggered: wave.advance()
    }

    Row {
        anchors.centerIn: parent
        spacing: wave.barSpacing

        Repeater {
            model: wave.barCount

            Rectangle {
                required property int index
                anchors.verticalCenter: parent.verticalCenter
                width: wave.barWidth
                height: wave.barHeights[index]
                radius: width / 2
                color: view.color
            }
        }
    }
}

import QtQuick
import Orlavo.Ui

// The island: a near-black shape hanging from the top edge of the screen that springs open to
// show what dictation is doing. Every size, colour and text comes from the presenter.
Item {
    id: root

    required property IslandPresenter presenter
    readonly property var overlay: presenter.model
    readonly property bool expanded: presenter.expanded

    opacity: presenter.panelOpacity
    Behavior on opacity {
        NumberAnimation {
            duration: root.presenter.fadeDurationMs
        }
    }

    Connections {
        target: root.presenter
        function onShakeRequested() {
            shake.restart();
        }
    }

    // The island springs with a response of 0.25 s and a damping fraction of 0.77: as a mass of 1
    // stepped every 16 ms, a stiffness of (2π / 0.25)² · 0.016 and a damping of
    // 2 · 0.77 · (2π / 0.25) · 0.016.
    component IslandSpring: SpringAnimation {
        spring: 10.1
        damping: 0.62
    }

    Item {
        id: island
        objectName: "island"

        property real shakeOffset: 0

        x: (root.width - width) / 2 + shakeOffset
        y: 0
        width: root.presenter.islandWidth
        height: root.presenter.islandHeight

        Behavior on width {
            IslandSpring {}
        }
        Behavior on height {
            IslandSpring {}
        }

        IslandGlow {
            objectName: "innerGlow"
            anchors.fill: parent
            visible: root.presenter.glowVisible
            color: root.presenter.accentColor
            cornerRadius: shape.drawnBottom
            strength: root.expanded ? 0.35 : 0
            spread: root.expanded ? 20 : 3
            offsetY: root.expanded ? 6 : 0
        }
        IslandGlow {
            anchors.fill: parent
            visible: root.presenter.glowVisible
            color: root.presenter.accentColor
            cornerRadius: shape.drawnBottom
            strength: root.expanded ? 0.05 : 0
            spread: root.expanded ? 80 : 10
            offsetY: root.expanded ? 16 : 0
        }

        IslandShape {
            id: shape
            anchors.fill: parent
            fillColor: root.presenter.fillColor
            outlineOpacity: root.expanded ? 0.2 : 0
            topRadius: root.presenter.topRadius
            bottomRadius: root.presenter.bottomRadius
        }

        Item {
            anchors.fill: parent
            clip: true

            Watermark {
                anchors.horizontalCenter: parent.horizontalCenter
                y: root.presenter.watermarkTopPadding
                shown: root.expanded
            }

            Item {
                id: contentArea
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                anchors.bottomMargin: 4
                height: 44

                IslandContent {
                    id: recordingContent
                    objectName: "recordingContent"
                    anchors.fill: parent
                    shown: root.expanded && root.presenter.content === "recording"

                    WaveformView {
                        id: waveform
                        anchors.left: parent.left
                        anchors.leftMargin: 20
                        anchors.right: timer.left
                        anchors.rightMargin: 12
                        anchors.verticalCenter: parent.verticalCenter
                        color: root.presenter.accentColor
                        level: root.overlay.audioLevel
                        running: recordingContent.shown
                    }
                    Text {
                        id: timer
                        objectName: "timerText"
                        anchors.right: parent.right
                        anchors.rightMargin: 18
                        anchors.verticalCenter: parent.verticalCenter
                        text: root.presenter.timerText
                        color: Qt.rgba(1, 1, 1, 0.85)
                        font.family: "monospace"
                        font.pixelSize: 13
                        font.weight: Font.Medium
                    }
                }

                IslandContent {
                    id: transcribingContent
                    objectName: "transcribingContent"
                    anchors.fill: parent
                    shown: root.expanded && root.presenter.content === "transcribing"

                    Row {
                        anchors.left: parent.left
                        anchors.leftMargin: 18
                        anchors.right: parent.right
                        anchors.rightMargin: 18
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 10

                        Spinner {
                            id: spinner
                            anchors.verticalCenter: parent.verticalCenter
                            color: root.presenter.accentColor
                            running: transcribingContent.shown
                        }
                        Text {
                            objectName: "statusText"
                            anchors.verticalCenter: parent.verticalCenter
                            width: parent.width - spinner.width - parent.spacing
                            text: root.overlay.text
                            color: "white"
                            font.pixelSize: 13
                            font.weight: Font.DemiBold
                            elide: Text.ElideRight
                            maximumLineCount: 1
                        }
                    }
                }

                IslandContent {
                    id: outcomeContent
                    objectName: "outcomeContent"
                    anchors.fill: parent
                    shown: root.expanded && (root.presenter.content === "done"
                                             || root.presenter.content === "error")

                    Row {
                        anchors.centerIn: parent
                        spacing: 10

                        Image {
                            anchors.verticalCenter: parent.verticalCenter
                            width: 14
                            height: 14
                            sourceSize: Qt.size(14, 14)
                            source: root.presenter.glyph === "" ? ""
                                : "image://icons/" + root.presenter.glyph + "?color="
                                  + encodeURIComponent(String(root.presenter.accentColor))
                        }
                        Text {
                            objectName: "outcomeText"
                            anchors.verticalCenter: parent.verticalCenter
                            width: Math.min(implicitWidth, outcomeContent.width - 36 - 24)
                            text: root.overlay.text
                            color: "white"
                            font.pixelSize: 13
                            font.weight: Font.DemiBold
                            elide: Text.ElideRight
                            maximumLineCount: 1
                        }
                    }
                }
            }
        }
    }

    SequentialAnimation {
        id: shake
        NumberAnimation {
            target: island
            property: "shakeOffset"
            to: 8
            duration: 60
            easing.type: Easing.OutQuad
        }
        NumberAnimation {
            target: island
            property: "shakeOffset"
            to: -6
            duration: 60
            easing.type: Easing.OutQuad
        }
        NumberAnimation {
            target: island
            property: "shakeOffset"
            to: 5
            duration: 60
            easing.type: Easing.OutQuad
        }
        NumberAnimation {
            target: island
            property: "shakeOffset"
            to: -4
            duration: 60
            easing.type: Easing.OutQuad
        }
        NumberAnimation {
            target: island
            property: "shakeOffset"
            to: 2
            duration: 60
            easing.type: Easing.OutQuad
        }
        NumberAnimation {
            target: island
            property: "shakeOffset"
            to: 0
            duration: 100
            easing.type: Easing.OutQuad
        }
    }
}

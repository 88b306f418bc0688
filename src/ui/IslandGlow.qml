import QtQuick

// A soft light around the island: rings of growing size and fading cover stand in for a blurred
// shadow, so that it needs no shader and the software renderer draws it as well.
Item {
    id: glow

    property color color: "white"
    property real cornerRadius: 0
    // Opacity at the island's edge.
    property real strength: 0
    // How far the light reaches beyond the edge.
    property real spread: 0
    property real offsetY: 0

    readonly property int rings: 6
    // Each ring's cover, so that all of them together reach `strength` at the edge.
    readonly property real ringOpacity: 1 - Math.pow(1 - strength, 1 / rings)

    Behavior on strength {
        NumberAnimation { duration: 300; easing.type: Easing.OutCubic }
    }
    Behavior on spread {
        NumberAnimation { duration: 300; easing.type: Easing.OutCubic }
    }
    Behavior on offsetY {
        NumberAnimation { duration: 300; easing.type: Easing.OutCubic }
    }

    Repeater {
        model: glow.strength > 0 ? glow.rings : 0

        Rectangle {
            required property int index
            readonly property real reach: glow.spread * (index + 1) / glow.rings

            x: -reach
            y: -reach + glow.offsetY
            width: glow.width + 2 * reach
            height: glow.height + 2 * reach
            radius: glow.cornerRadius + reach
            color: glow.color
            opacity: glow.ringOpacity
        }
    }
}

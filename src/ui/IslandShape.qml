import QtQuick
import QtQuick.Shapes

// A rectangle whose top and bottom corners have radii of their own, filled and outlined.
Shape {
    id: shape

    property color fillColor
    property real outlineOpacity: 0
    property real topRadius: 0
    property real bottomRadius: 0
    // The radii as drawn: never more than the shape can hold while it grows or shrinks.
    readonly property real drawnTop: Math.max(0, Math.min(topRadius, width / 2, height / 2))
    readonly property real drawnBottom: Math.max(0, Math.min(bottomRadius, width / 2, height / 2))

    antialiasing: true

    Behavior on topRadius {
        SpringAnimation { spring: 10.1; damping: 0.62 }
    }
    Behavior on bottomRadius {
        SpringAnimation { spring: 10.1; damping: 0.62 }
    }
    Behavior on outlineOpacity {
        NumberAnimation { duration: 250 }
    }

    ShapePath {
        fillColor: shape.fillColor
        strokeColor: Qt.rgba(1, 1, 1, shape.outlineOpacity)
        strokeWidth: 0.5
        capStyle: ShapePath.FlatCap
        joinStyle: ShapePath.MiterJoin
        miterLimit: 10
        startX: shape.drawnTop
        startY: 0

        PathLine { x: shape.width - shape.drawnTop; y: 0 }
        PathArc {
            x: shape.width; y: shape.drawnTop
            radiusX: shape.drawnTop; radiusY: shape.drawnTop
        }
        PathLine { x: shape.width; y: shape.height - shape.drawnBottom }
        PathArc {
            x: shape.width - shape.drawnBottom; y: shape.height
            radiusX: shape.drawnBottom; radiusY: shape.drawnBottom
        }
        PathLine { x: shape.drawnBottom; y: shape.height }
        PathArc {
            x: 0; y: shape.height - shape.drawnBottom
            radiusX: shape.drawnBottom; radiusY: shape.drawnBottom
        }
        PathLine { x: 0; y: shape.drawnTop }
        PathArc {
            x: shape.drawnTop; y: 0
            radiusX: shape.drawnTop; radiusY: shape.drawnTop
        }
    }
}

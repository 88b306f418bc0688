import QtQuick

// One state's content of the island: it grows in from half its size and fades in when shown, and
// shrinks a little as it fades out.
Item {
    id: content

    property bool shown: false

    visible: opacity > 0
    opacity: 0
    scale: 0.5
    transformOrigin: Item.Top

    states: State {
        name: "shown"
        when: content.shown
        PropertyChanges { target: content; opacity: 1; scale: 1 }
    }
    transitions: [
        Transition {
            to: "shown"
            NumberAnimation { properties: "opacity,scale"; duration: 250; easing.type: Easing.OutCubic }
        },
        Transition {
            from: "shown"
            NumberAnimation { property: "opacity"; duration: 200; easing.type: Easing.OutCubic }
            NumberAnimation { property: "scale"; to: 0.8; duration: 200; easing.type: Easing.OutCubic }
        }
    ]
}

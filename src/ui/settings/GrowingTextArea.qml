import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// A text field that grows with its text from `minLines` to `maxLines`, then scrolls. `edited`
// reports what the user typed.
ScrollView {
    id: scroll

    property alias text: area.text
    property alias placeholderText: area.placeholderText
    property string accessibleName
    property int minLines: 2
    property int maxLines: 4
    property real fontSize: 13
    readonly property real lineHeight: fontMetrics.lineSpacing
    signal edited(string text)

    Layout.fillWidth: true
    Layout.preferredHeight: Math.min(Math.max(area.contentHeight, minLines * lineHeight),
                                     maxLines * lineHeight) + area.topPadding + area.bottomPadding
    clip: true

    FontMetrics {
        id: fontMetrics
        font.pixelSize: scroll.fontSize
    }

    TextArea {
        id: area
        objectName: scroll.objectName + "Area"
        wrapMode: TextEdit.Wrap
        font.pixelSize: scroll.fontSize
        color: "#1d1d1f"
        placeholderTextColor: "#9a9aa0"
        topPadding: 4
        bottomPadding: 4
        leftPadding: 6
        rightPadding: 6
        Accessible.role: Accessible.EditableText
        Accessible.name: scroll.accessibleName
        // Tab leaves the field rather than typing a tab: the form stays reachable by keyboard.
        KeyNavigation.priority: KeyNavigation.BeforeItem
        Keys.onTabPressed: event => { area.nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason); }
        Keys.onBacktabPressed: event => { area.nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason); }
        onTextChanged: if (activeFocus) scroll.edited(text)
        background: Rectangle {
            radius: 5
            color: "#fbfbfc"
            border.color: area.activeFocus ? "#3d7eff" : "#d0d0d4"
            border.width: area.activeFocus ? 2 : 1
        }
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// A tab's scrolling form, padded 16 on every side.
ScrollView {
    id: page

    default property alias sections: column.data

    clip: true
    contentWidth: availableWidth

    ColumnLayout {
        id: column
        x: 16
        y: 16
        width: page.availableWidth - 32
        spacing: 18

        // Room under the last section, since the column itself carries no bottom padding.
        Item {
            Layout.preferredHeight: 0
        }
    }
}

import QtQuick
import QtQuick.Layouts
import Orlavo.Ui

// The maker's mark: the wordmark (or its text) with a raised "®", and in the inline styles the
// product name beside it, on the wordmark's baseline.
RowLayout {
    id: brand

    enum Style { Wizard, WizardInline, Menu }

    property int style: BrevantBrandView.Wizard
    // An image source from BrevantLogoLoader.loadWordmark(); empty draws the text.
    property string logo: BrevantLogoLoader.loadWordmark()

    // logo height, fallback size, tracking, "®" size, "®" offset, colour
    readonly property var metrics: [
        [9, 10, 2, 6, 3, Qt.rgba(0.45, 0.47, 0.45, 1)],
        [7, 8, 2.4, 5, 2, Qt.rgba(0.35, 0.37, 0.35, 1)],
        [7, 8, 2.4, 5, 2, Qt.rgba(0.25, 0.27, 0.25, 1)]
    ][style]
    readonly property color foreground: metrics[5]

    spacing: 6
    Accessible.role: Accessible.StaticText
    Accessible.name: style === BrevantBrandView.Wizard ? "Brevant" : "Brevant Orlavo"

    Row {
        id: wordmark
        Layout.alignment: Qt.AlignBaseline
        baselineOffset: logoImage.visible ? logoImage.height : fallback.baselineOffset
        spacing: 2

        Image {
            id: logoImage
            objectName: "wordmarkImage"
            visible: brand.logo !== "" && status === Image.Ready
            height: brand.metrics[0]
            width: implicitHeight > 0 ? implicitWidth * height / implicitHeight : 0
            fillMode: Image.PreserveAspectFit
            smooth: true
            mipmap: true
            // Drawn at twice the size shown, so the scaled-down strokes stay crisp.
            sourceSize.height: brand.metrics[0] * 2
            source: brand.logo === "" ? ""
                : brand.logo + "?color=" + encodeURIComponent(String(brand.foreground))
        }
        Text {
            id: fallback
            objectName: "wordmarkText"
            visible: !logoImage.visible
            text: "BREVANT"
            font.pixelSize: brand.metrics[1]
            font.weight: Font.DemiBold
            font.letterSpacing: brand.metrics[2]
            color: brand.foreground
        }
        Text {
            text: "®"
            font.pixelSize: brand.metrics[3]
            color: brand.foreground
            // Raised to the wordmark's upper right.
            y: -brand.metrics[4]
        }
    }

    Text {
        visible: brand.style !== BrevantBrandView.Wizard
        Layout.alignment: Qt.AlignBaseline
        text: "Orlavo"
        font.pixelSize: 14
        font.weight: Font.Medium
        font.family: "serif"
        color: brand.foreground
        wrapMode: Text.NoWrap
    }
}

import QtQml 2.12

// How an image is drawn. Four-number lists run left, top, right, bottom.
QtObject {
    // image file; a relative URL resolves against the document that sets it
    property url source
    // margins of the image and the widths of its borders, in pixels
    property var margins: [0, 0, 0, 0]
    property var borders: [0, 0, 0, 0]
    // tile instead of stretching
    property bool horizontalTile: false
    property bool verticalTile: false
    property color colFill: "transparent"
    // tint of the image, inside colorizeMargins of the effective image
    property color colorize: "transparent"
    property var colorizeMargins: [0, 0, 0, 0]
    property real opacity: 1.0
    // -1 leaves the image's own saturation and lightness
    property real saturation: -1
    property real lightness: -1
    property int width: 0
    property int height: 0
    // corner radius, border width and border colour of a colFill rectangle, in pixels
    property int corners: 0
    property int borderSize: 0
    property color colBorder: "transparent"
}

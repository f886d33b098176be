import QtQuick 2.12
import QtQuick.Window 2.12

// The frame-work baseline: a window of the output window's size and colour with one rotating
// rectangle, a layer's box at the preview's scale (480 x 270 atlas pixels scaled to 1600 wide).
Window {
    visible: true
    title: "Orvane bare animated"
    width: 1600
    height: 920
    color: "#444"

    Rectangle {
        objectName: "turningBox"
        anchors.centerIn: parent
        width: 400
        height: 225
        color: "red"

        RotationAnimation on rotation {
            from: 0
            to: 360
            duration: 3600
            loops: Animation.Infinite
        }
    }
}

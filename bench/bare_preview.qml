import QtQuick 2.12
import QtQuick.Window 2.12

// The frame-work floor of figure 4f: what each frame of the output window draws for 12 shown
// placeholders, and nothing else. 12 rotating boxes with their scene names in a 1920 x 1080 item
// that is placed nowhere, shown through one texture view of the preview's size over the
// preview's background; no controls, panels, clock or layer logic.
Window {
    visible: true
    title: "Orvane bare preview"
    width: 1600
    height: 920
    color: "#444"

    readonly property var colors: ["red", "orange", "yellow", "green", "cyan", "blue", "purple"]

    property Item atlas: Item {
        width: 1920
        height: 1080

        Repeater {
            model: 12
            // one layer: the whole frame, its box a quarter of it in each direction
            Item {
                width: 1920
                height: 1080

                Rectangle {
                    x: (index + 1) * 1920 / 12
                    anchors.verticalCenter: parent.verticalCenter
                    width: 480
                    height: 270
                    color: colors[index % 7]

                    Text {
                        anchors.centerIn: parent
                        text: "SCENE-01"
                        color: "white"
                        font.pixelSize: 64
                    }

                    RotationAnimation on rotation {
                        from: 0
                        to: 360
                        duration: 3600
                        loops: Animation.Infinite
                    }
                }
            }
        }
    }

    // the preview of the default window: 1600 x 900 at y 15
    Item {
        y: 15
        width: 1600
        height: 900

        Rectangle {
            anchors.fill: parent
            color: "#333"
        }

        ShaderEffectSource {
            objectName: "previewTexture"
            anchors.fill: parent
            sourceItem: atlas
            textureSize: Qt.size(width, height)
        }
    }
}

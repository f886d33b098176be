import QtQuick 2.12

// A row of lamps, one per layer, numbered from 1: red while the layer is on air, yellow while it
// has a scene cued and is not shown, dark otherwise; the selected layer's lamp has a white ring.
// A click on a lamp picks its layer. A lamp changes only when its layer's state does: nothing
// here animates or runs per frame.
Row {
    id: lamps

    // set by the window
    property Item layers: null                            // the layer renders: count, itemAt(i)
    property var tally: function (render) { return false } // true while the render is on air
    property int selected: -1                             // the selected layer, 0-based
    property int lampSize: 22                             // pixels

    // a lamp was clicked: its layer, 0-based
    signal picked(int index)

    readonly property color onAirColor: "#e01010"
    readonly property color cuedColor: "#f0c000"
    readonly property color darkColor: "#2a2a2a"

    spacing: 4

    Repeater {
        model: lamps.layers ? lamps.layers.count : 0

        Rectangle {
            readonly property Item render: lamps.layers.itemAt(index)
            readonly property bool onAir: !!render && lamps.tally(render)
            readonly property bool cued: !!render && !onAir && render.isLoaded

            objectName: "lamp" + (index + 1)
            width: lamps.lampSize
            height: lamps.lampSize
            radius: 4
            color: onAir ? lamps.onAirColor : cued ? lamps.cuedColor : lamps.darkColor
            border.width: index === lamps.selected ? 2 : 1
            border.color: index === lamps.selected ? "white" : "#777"

            Text {
                anchors.centerIn: parent
                text: index + 1
                color: cued ? "black" : "white"
                font.pixelSize: 11
                font.bold: true
            }

            MouseArea {
                anchors.fill: parent
                onClicked: lamps.picked(index)
            }
        }
    }
}

import QtQuick 2.12
import QtQuick.Window 2.12

// The start-up baseline: an empty window of the output window's size and colour.
Window {
    visible: true
    title: "Orvane bare"
    width: 1600
    height: 920
    color: "#444"
}

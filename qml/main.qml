import QtQuick 2.12
import QtQuick.Controls 1.4
import QtQuick.Window 2.12
import Serialization 1.0
import TimeScheduler 1.0
import "common"

// The output window.
ApplicationWindow {
    id: main

    visible: true
    title: "Orvane"
    width: 1600
    height: 920
    x: (Screen.width - width) / 2
    y: (Screen.height - height) / 2
    color: "#444"
}

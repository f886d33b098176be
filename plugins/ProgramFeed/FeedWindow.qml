import QtQuick 2.12
import QtQuick.Window 2.12
import ProgramFeed 1.0

// One clean feed window of the program output: its frames scaled to fit with black bars (areas
// that are transparent show the window's black), or with `key` the frames' alpha as grey.
// F11 switches between full screen and a window.
Window {
    id: feed

    property QtObject output: null // the program output whose frames are shown
    property bool key: false       // the composite's alpha as grey instead of its colours
    color: "black"

    ProgramView {
        objectName: "feedView"
        anchors.fill: parent
        output: feed.output
        key: feed.key
    }
    Shortcut {
        sequence: "F11"
        onActivated: feed.visibility = feed.visibility === Window.FullScreen ? Window.Windowed : Window.FullScreen
    }
}

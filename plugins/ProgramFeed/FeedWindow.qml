import QtQuick 2.12
import QtQuick.Window 2.12

// One clean feed window of the program output: its frames scaled to fit with black bars (areas
// that are transparent show the window's black), or with `key` the frames' alpha as grey.
// F11 switches between full screen and a window.
Window {
    id: feed

    property QtObject output: null // the program output whose frames are shown
    property bool key: false       // the composite's alpha as grey instead of its colours
    color: "black"

    Image {
        id: feedImage
        objectName: "feedImage"
        anchors.fill: parent
        fillMode: Image.PreserveAspectFit
        cache: false
        source: feed.output ? "image://program/" + feed.output.frameNumber : ""
        visible: !feed.key
    }
    ShaderEffect {
        visible: feed.key
        x: (feed.width - feedImage.paintedWidth) / 2
        y: (feed.height - feedImage.paintedHeight) / 2
        width: feedImage.paintedWidth
        height: feedImage.paintedHeight
        property variant source: feedImage
        // opaque = white, transparent = black
        fragmentShader: "
            varying highp vec2 qt_TexCoord0;
            uniform sampler2D source;
            uniform lowp float qt_Opacity;
            void main() {
                lowp float a = texture2D(source, qt_TexCoord0).a;
                gl_FragColor = vec4(a, a, a, 1.0) * qt_Opacity;
            }"
    }
    Shortcut {
        sequence: "F11"
        onActivated: feed.visibility = feed.visibility === Window.FullScreen ? Window.Windowed : Window.FullScreen
    }
}

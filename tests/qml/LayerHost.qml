import QtQuick 2.12
import "../../qml"
import "../../qml/common"

// Stands in for the output window: a layer render looks these names up in the document that
// creates it, so renders made from `renderComponent` here see the host's values.
Item {
    id: host
    width: 1920
    height: 1080

    // main.modifiers: keyboard modifiers of the last press on the control bar
    property int modifiers: 0
    property bool exitOnEject: false
    property string dataUrl: "Layers"
    property int renderNumber: 12
    property int guid: 0

    property Component renderComponent: Component {
        MixerRender {
            main: host
            x: 0
            y: 0
            width: host.width
            height: host.height
        }
    }

    function fromJs(js) { return JSON.stringify(js, null, 2) }
    function p(s, v, l, f, r) { return Debug.p(s, v, l, f, r) }
    function getGraphicsId(js) {
        var cue = js && js.DSK_Cue ? js.DSK_Cue : js
        var id = cue && cue.params ? cue.params.graphics_id : ""
        return id ? id : ""
    }

    // A command record as the window sends it: the next guid beside its text.
    function record(id, type, params) {
        var js = { _id: id, type: type, params: { layer_id: 1, head_id: 1 } }
        for (var key in params)
            js.params[key] = params[key]
        return fromJs(js)
    }
    function send(render, text, test) {
        guid += 1
        return render.mixerQueue(text, guid, test === undefined ? true : test)
    }
}

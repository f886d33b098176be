import QtQuick 2.12
import QtMultimedia 5.15
import OrvaneTemplates 1.0
import VideoAlpha 1.0

// A layer's graphic, as its scene names it at the Cue: a template with the scene's data, a still
// image or a video of the operator's choice. `kind` is empty for a scene that names none of these
// (every scene as built): the layer then shows its placeholder or video as it always did.
// Templates are drawn at the composite's size, in composite pixels, scaled to the layer's place.
Item {
    id: graphic

    property size frameSize: Qt.size(1920, 1080)   // pixels of the composite
    property int stopLimit: 5000                     // ms a template's stop() may take before it hides

    readonly property string kind: d.kind            // "", "template", "image" or "video"
    readonly property bool shows: d.kind !== ""
    readonly property bool loading: d.kind === "template" && view.status === TemplateItem.Loading
    readonly property bool failed: d.kind === "template" && view.status === TemplateItem.Error
    readonly property bool hasTemplate: d.kind === "template" && view.status === TemplateItem.Ready
    readonly property string errorString: d.kind === "template" && view.status === TemplateItem.Error ? view.errorString : ""
    readonly property var triggers: hasTemplate ? view.triggers : undefined
    readonly property string scene: d.scene
    readonly property url source: d.source           // the graphic's file
    readonly property Item content: hasTemplate ? view.content : null   // the template's root
    readonly property var fields: d.current          // the layer's current data, name -> value
    readonly property int duration: d.duration       // ms on air after a Play; 0: until stopped

    signal loaded()                                  // the template is ready to show
    signal loadFailed(string message)                // file:line: Qt's message
    signal warned(string message)
    signal trace(string line)
    signal stopped()                                 // the template's out-animation is over
    signal timedOut()                                // the scene's duration has run out on air
    signal videoFailed(url file, int error, string message)

    // The graphic of the Cue record `js`. True while a template is still loading: loaded() or
    // loadFailed() follows.
    function cue(js, dataUrl, videosFolder) {
        var params = js && js.params ? js.params : {}
        var scene = params.graphics_id ? String(params.graphics_id) : ""
        var found = SceneLookup.find(String(dataUrl), scene, String(videosFolder), params.dsk_data)
        reset()
        if (found.problem !== "")
            warned(scene + " " + found.problem)
        // data given on air through update() stays the layer's data until the scene's own changes
        var incoming = JSON.stringify(found.fields)
        if (scene !== d.scene || incoming !== d.cuedText)
            d.current = found.fields
        d.cuedText = incoming
        d.scene = scene
        d.duration = found.duration
        d.kind = found.kind
        d.source = found.url
        if (found.kind !== "")
            trace("graphic " + scene + ": " + found.kind + " " + found.url
                  + (found.duration > 0 ? " for " + found.duration + " ms" : ""))
        if (found.kind === "template") {
            view.load(found.url, d.current, scene, found.base)
            return view.status === TemplateItem.Loading
        }
        if (found.kind === "image")
            still.source = found.url
        if (found.kind === "video")
            d.videoSource = found.url
        return false
    }

    // Nothing shown any more (an Eject, the end of the layer's mixer).
    function clear() {
        reset()
        d.kind = ""
        d.source = ""
        d.duration = 0
    }

    function play() {
        if (d.duration > 0)
            limit.restart()
        return view.play()
    }

    // True when the template has its own out-animation: stopped() follows (at most stopLimit).
    function stop() {
        limit.stop()
        return view.stop(stopLimit)
    }

    function next(trigger) { return view.next(trigger === undefined || trigger === null ? "" : String(trigger)) }

    // New data while the template is on air; kept as the layer's data. False without a template.
    // Some of the fields change only those: the others stay as they are on air, also for a later
    // Cue of the scene and for a template's update(data), which gets the whole data.
    function takeData(data) {
        if (!hasTemplate)
            return false
        if (isFieldMap(data) && isFieldMap(d.current))
            data = Object.assign({}, d.current, data)
        d.current = data
        return view.takeData(data)
    }

    function isFieldMap(v) { return !!v && typeof v === "object" && !Array.isArray(v) }

    function reset() {
        limit.stop()
        view.clear()
        still.source = ""
        d.videoSource = ""
    }

    QtObject {
        id: d
        property string kind: ""
        property string scene: ""
        property url source
        property url videoSource                     // the named video; its player exists only then
        property string cuedText: ""
        property var current: ({})
        property int duration: 0
    }

    Timer {
        id: limit
        interval: Math.max(1, d.duration)
        onTriggered: graphic.timedOut()
    }

    TemplateItem {
        id: view
        width: graphic.frameSize.width
        height: graphic.frameSize.height
        visible: d.kind === "template"
        transform: Scale {
            xScale: graphic.frameSize.width > 0 ? graphic.width / graphic.frameSize.width : 1
            yScale: graphic.frameSize.height > 0 ? graphic.height / graphic.frameSize.height : 1
        }
        onStatusChanged: {
            if (d.kind !== "template")
                return
            if (status === TemplateItem.Ready)
                graphic.loaded()
            else if (status === TemplateItem.Error)
                graphic.loadFailed(errorString)
        }
        onWarning: graphic.warned(message)
        onTrace: graphic.trace(line)
        onStopped: graphic.stopped()
    }

    Image {
        id: still
        anchors.fill: parent
        visible: d.kind === "image"
        fillMode: Image.PreserveAspectFit
        sourceSize: graphic.frameSize
        onStatusChanged: if (status === Image.Error) graphic.warned(graphic.scene + " image " + source + " cannot be read")
    }

    // Made only while a scene names a video: a player costs a pipeline and its start-up
    Loader {
        anchors.fill: parent
        active: d.kind === "video" && d.videoSource != ""
        visible: active
        sourceComponent: Item {
            MediaPlayer {
                id: player
                loops: MediaPlayer.Infinite
                source: d.videoSource
                autoPlay: true
                onError: graphic.videoFailed(source, error, errorString)
            }
            VideoLoop {
                player: player
                onRestarted: graphic.trace("video " + player.source + " moved on " + playedMs + " ms in " + heldMs
                                           + " ms, at " + position + " ms: opened again")
            }

            VideoOutput {
                anchors.fill: parent
                fillMode: VideoOutput.PreserveAspectFit
                source: player
            }
        }
    }
}

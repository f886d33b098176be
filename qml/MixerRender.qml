import QtQuick 2.12
import QtMultimedia 5.15
import Serialization 1.0
import TimeScheduler 1.0
import VideoAlpha 1.0
import "common"

// One output layer: takes command records (JSON text) from the window, answers some itself, defers
// them until its mixer runs, holds them behind an unanswered Cue, or passes them to the mixer;
// shows or hides the layer in step with them; reports every reply through mixerReply.
//
// Looked up by name in the document that creates the render (the output window, or a test host):
// fromJs(js), p(...), getGraphicsId(js), exitOnEject, dataUrl, renderNumber, guid; and through
// `main`, main.modifiers.
PreserveAspectFit {
    id: render

    // --- set by the window
    property var main: null
    property int index: 0            // 1-based layer number within the window
    property int iLayer: 0           // box number x 100 + index, for outside programs
    property url media               // a video file; chooses the content when the mixer starts
    property bool requireReset: false // the next Eject ends the mixer instead of being passed

    // --- layer state, read by the window
    property int pid: 0              // the in-process mixer has no process of its own
    property QtObject mixer: null
    property bool active: false      // the mixer runs and its content is loaded
    property bool loaded: false      // a Cue was passed since the last Eject or end of the mixer
    readonly property bool isLoaded: active && loaded
    property string name: ''         // graphics id of the last Cue that named one
    property var lastJS: null
    property var lastGuid: 0
    property var waitGuid: 0         // guid of the passed Cue whose data reply is awaited
    property var waitExit: 0         // guid of the Eject/ExitLayer owed an "Idle" when the mixer closes
    property int statusFiltered: 0
    property bool edited: false
    readonly property int pressedCtrl: main ? (main.modifiers & Qt.ControlModifier) : 0
    readonly property int clients: mixer && mixer.clients ? mixer.clients.length : 0
    readonly property var duration: mixer && mixer.outputs && mixer.outputs[1] && mixer.outputs[1].input
                                    && mixer.outputs[1].input.playDuration

    // --- lists, changed in place
    property var mixerDelayed: []    // {queue, guid}: waiting for the mixer to run
    property var queueWaited: []     // {queue, guid}: waiting for the awaited Cue's answer
    property var queues: []          // {guid, js, time (wall-clock ms)}: passed to the mixer, oldest first
    property var responces: []       // reply texts, oldest first
    property var waiting: []         // {guid, js}: timed commands passed and not yet due

    // --- content
    property rect textureRect: Qt.rect(0, 0, 1920, 1080)   // pixels
    aspect: textureRect.height !== 0 ? textureRect.width / textureRect.height : 1.778

    readonly property int historyLength: 10
    readonly property double restampTicks: 500 * 10000      // a test command is due 0.5 s from now
    readonly property double earlyTicks: 3 * 10000          // a timed command may run 3 ms early

    visible: false
    opacity: 1

    // result: a reply record as JSON text; guid: the guid of the command it answers
    signal mixerReply(string result, var guid)
    // The layer's video cannot play: a missing decoder (formatError), a broken or unreadable file.
    // Once per file for the layer's life, so a file that fails on every start is reported once.
    signal videoFailed(url file, string message, bool formatError)

    // ---------------------------------------------------------------- commands

    // Returns true when the record was passed to the mixer, otherwise nothing. Each step below
    // either keeps the command (answered, deferred, held, or ending the mixer) or lets it on.
    function mixerQueue(queue, guid, test) {
        test = test === true
        var js = d.parseCommand(queue, guid)
        if (!js)
            return undefined
        queue = d.takeCommand(js, queue, guid, test)
        if (d.answerWithoutMixer(js, guid, test) || d.deferUntilRunning(queue, guid)
                || d.holdBehindCue(js, queue, guid, test))
            return undefined
        d.recordCommand(js, guid)
        if (!d.applyToPicture(js, guid))
            return undefined
        mixer.dataUrl = dataUrl
        mixer.mixerQueue(queue, guid)
        return true
    }

    // Gives the loaded template new data; false when the layer has no template.
    function templateUpdate(data) { return false }

    // ---------------------------------------------------------------- replies

    function queueReply(result, guid) {
        var js = d.parseReply(result)
        if (!js) {
            d.answerBadReply(result, guid)
            return
        }
        d.deliverReply(js, result, guid, true)
    }

    // Releases the commands held behind the awaited Cue once it has its final answer (or failed).
    function checkReply(js, guid) {
        if (guid !== waitGuid || !(js.data !== undefined || js.status === "Error"))
            return
        waitGuid = 0
        while (queueWaited.length > 0) {
            var entry = queueWaited.shift()
            mixerQueue(entry.queue, entry.guid, true)
        }
    }

    // The newest recorded command with this guid; an empty list (no js, no time) when none.
    function getQueueByGuid(guid) {
        for (var i = queues.length - 1; i >= 0; --i) {
            if (queues[i].guid === guid)
                return queues[i]
        }
        return []
    }

    function replyStatus(js, status, guid) {
        queueReply(fromJs({ _id: js._id, status: "Ok", type: js.type, data: { status: status } }), guid)
    }

    // An error for the last command given to the layer.
    function queueError(message) {
        var js = getQueueByGuid(lastGuid).js
        queueReply(fromJs({ _id: js ? js._id : 0, type: js ? js.type : "", status: "Error",
                            message: message }), lastGuid)
    }

    function cropArray(list) {
        while (list.length > historyLength)
            list.shift()
        return list
    }

    function getResponce() {
        return responces.join("\n")
    }

    // ---------------------------------------------------------------- mixer life

    function run() {
        if (mixer)
            return
        var created = mixerComponent.createObject(render)
        created.mixerQueueReply.connect(render.queueReply)
        mixer = created
    }

    // Content is up: the layer takes commands, starting with those deferred meanwhile.
    function onReady() {
        active = true
        while (mixerDelayed.length > 0) {
            var entry = mixerDelayed.shift()
            mixerQueue(entry.queue, entry.guid, true)
        }
    }

    function exit() {
        if (!mixer)
            return
        p("Exit Layer" + iLayer + " pid=" + pid)
        d.endMixer()
    }

    function kill() {
        if (!mixer) {
            requireReset = false
            return
        }
        p("Kill Layer" + iLayer + " pid=" + pid)
        d.endMixer()
    }

    // Asked for by the window after a mixer complained; the next Eject then ends the mixer.
    function reset() {
        if (!active) {
            requireReset = false
            return
        }
        var ejected = !!lastJS && lastJS.type === "DSK_Eject"
        p("layer" + index + " reset mixer=" + !!mixer + " active=" + active + " waitExit=" + waitExit
          + " waitGuid=" + waitGuid + " ejected=" + ejected)
        if (mixer)
            onReady()
        requireReset = true
    }

    function edit() {
        edited = !!Process.run("RpcClient.exe", ["--layer", iLayer])
    }

    onClientsChanged: edited = clients > 1
    onVisibleChanged: d.showContent()
    onMixerChanged: {
        if (mixer)
            d.loadContent()
        else
            d.mixerClosed()
    }

    // ---------------------------------------------------------------- timing and fades

    // Runs on every beat: timed Play and Stop act at the first beat that reaches their time.
    function processWaiting(now) {
        var i = 0
        while (i < waiting.length) {
            var js = waiting[i].js
            if (now + earlyTicks < js.params.time + d.renderDelay()) {
                ++i
                continue
            }
            if (js.type === "DSK_Play")
                fadeIn(js)
            else if (js.type === "DSK_Stop")
                fadeOut(js)
            waiting.splice(i, 1)
        }
    }

    // Length in ms of a record's "Fade" transition; 0 when it has none or it is not a number.
    function transitionLength(js) {
        var params = js && js.params
        if (!params || params.transition_type !== "Fade")
            return 0
        return d.positiveMs(params.transition_duration)
    }

    function fadeIn(js) {
        var length = transitionLength(js)
        if (length <= 0) {
            opacity = 1
            visible = true
            return
        }
        // a fade-in still running goes on from where it is: dropping it to transparent here would
        // take the layer off air for a frame (and its tally with it) in the middle of the fade
        if (!animFadeIn.running)
            opacity = 0
        animFadeIn.duration = length
        animFadeIn.start()
        visible = true
    }

    // A Stop's own duration wins over its transition.
    function fadeOut(js) {
        var length = js ? d.positiveMs(js.duration) : 0
        if (length <= 0)
            length = transitionLength(js)
        if (length <= 0) {
            visible = false
            opacity = 0
            return
        }
        animFadeOut.duration = length
        animFadeOut.start()
    }

    Connections {
        id: timeScheduler
        target: TimeScheduler
        function onTimeChanged() {
            render.processWaiting(TimeScheduler.time)
            if (!render.visible)
                d.turnContent(false)
        }
    }

    SequentialAnimation {
        id: animFadeIn
        property int duration: 500   // ms
        NumberAnimation { target: render; property: "opacity"; from: 0; to: 1; duration: animFadeIn.duration }
    }

    SequentialAnimation {
        id: animFadeOut
        property int duration: 0     // ms
        NumberAnimation { target: render; property: "opacity"; from: 1; to: 0; duration: animFadeOut.duration }
        PropertyAction { target: render; property: "visible"; value: false }
    }

    // ---------------------------------------------------------------- internals

    QtObject {
        id: d

        readonly property var placeholderColors: ["red", "orange", "yellow", "green", "cyan", "blue", "purple"]
        property var failedVideos: ({})   // file URL text -> true, for videos already reported
        readonly property int loadingLimit: 5000   // ms a video may take to load before it is reported

        function videoError(file, error, message) {
            var key = String(file)
            p("layer" + index + " video error " + key + " " + message)
            if (key === "" || failedVideos[key])
                return
            failedVideos[key] = true
            render.videoFailed(file, message, error === MediaPlayer.FormatError)
        }

        // ms from a length in ticks; 0 for anything that is not a positive number
        function positiveMs(ticks) {
            var ms = Number(ticks) / 10000
            return ms > 0 && isFinite(ms) ? ms : 0
        }

        // ticks the content needs before a frame shows; 0 for the contents of this layer
        function renderDelay() {
            var item = textureReceiver.item
            var source = item ? item.source : undefined
            if (!source)
                return 0
            var sum = Number(source.renderDelay) + Number(source.renderStep)
            return sum ? sum : 0
        }

        // ------------------------------------------------ the steps of mixerQueue, in order

        // The command becomes the layer's last one; a test command's time is moved to just ahead,
        // and a Cue names the layer's scene. Returns the text to pass on.
        function takeCommand(js, queue, guid, test) {
            lastJS = js
            lastGuid = guid
            var type = js.type
            if (test && Number(js.params.time)) {
                js.params.time = TimeScheduler.time + restampTicks
                queue = fromJs(js)
            }
            if (type === "DSK_Cue") {
                var graphicsId = getGraphicsId(js)
                if (graphicsId)
                    name = graphicsId
            }
            p("layer" + index + " send  " + type + " mixer=" + !!mixer + " active=" + active
              + " loaded=" + isLoaded + " requireReset=" + requireReset + " waitExit=" + waitExit
              + " waitGuid=" + waitGuid + " mixerDelayed=" + mixerDelayed.length + " test=" + test
              + " guid=" + guid)
            if (type === "DSK_Eject" || type === "ExitLayer")
                mixerDelayed.length = 0
            return queue
        }

        // Nothing loaded: these need no mixer, the layer answers them itself. True when answered.
        function answerWithoutMixer(js, guid, test) {
            if (isLoaded)
                return false
            var type = js.type
            if (type === "DSK_Stop") {
                replyStatus(js, "Stop", guid)
                return true
            }
            if (type === "DSK_GetStatus" || (type === "DSK_Eject" && !test) || (type === "ExitLayer" && !active)) {
                replyStatus(js, "Idle", guid)
                return true
            }
            return false
        }

        // The mixer is not running yet: the command waits for it, and the first one starts it.
        function deferUntilRunning(queue, guid) {
            if (active)
                return false
            mixerDelayed.push({ queue: queue, guid: guid })
            if (mixerDelayed.length === 1) {
                waitExit = 0
                run()
            }
            return true
        }

        // The scene needs its Cue answered before anything else reaches it. True when held.
        function holdBehindCue(js, queue, guid, test) {
            if (!test)
                return false
            if (js.type === "DSK_Cue") {
                waitGuid = guid
            } else if (js.type === "DSK_Eject") {
                waitGuid = 0
            } else if (waitGuid) {
                queueWaited.push({ queue: queue, guid: guid })
                return true
            }
            return false
        }

        // The command joins the layer's history, and a timed one the list of those not yet due.
        // Commands the mixer never answers (Stop, Continue) must not grow the history for ever.
        function recordCommand(js, guid) {
            cropArray(queues)
            queues.push({ guid: guid, js: js, time: Date.now() })
            if (Number(js.params.time))
                waiting.push({ guid: guid, js: js })
        }

        // The layer's picture follows the command. False when the command ends the mixer instead
        // of reaching it (an Eject that must end it, ExitLayer).
        function applyToPicture(js, guid) {
            switch (js.type) {
            case "DSK_Cue":
                fadeOut()
                loaded = true
                break
            case "DSK_Play":
                fadeIn(js)
                break
            case "DSK_Eject":
                fadeOut()
                loaded = false
                waitGuid = 0
                if (exitOnEject || pressedCtrl || requireReset) {
                    waitExit = guid
                    exit()
                    return false
                }
                break
            case "ExitLayer":
                fadeOut()
                loaded = false
                waitGuid = 0
                waitExit = guid
                kill()
                return false
            }
            return true
        }

        // ------------------------------------------------ reading commands and replies

        // A command record, or null after answering the bad text with an Error. Nothing of the
        // layer's state is touched before the record is known to be whole.
        function parseCommand(queue, guid) {
            var js = null
            var problem = ""
            if (typeof queue !== "string") {
                problem = "not text"
            } else {
                try {
                    js = JSON.parse(queue)
                } catch (e) {
                    problem = "not JSON"
                }
            }
            if (!problem)
                problem = commandProblem(js)
            if (!problem)
                return js
            var whole = js !== null && typeof js === "object" && !Array.isArray(js)
            var id = whole && js._id !== undefined ? js._id : 0
            var type = whole && typeof js.type === "string" ? js.type : ""
            p("layer" + index + " rejected  " + problem + " type=" + type + " guid=" + guid)
            deliverReply(null, fromJs({ _id: id, type: type, status: "Error",
                                        message: "Bad command: " + problem }), guid, false)
            return null
        }

        function commandProblem(js) {
            if (js === null || typeof js !== "object" || Array.isArray(js))
                return "not an object"
            if (typeof js.type !== "string" || js.type === "")
                return "no type"
            var params = js.params
            if (params === null || typeof params !== "object" || Array.isArray(params))
                return "no params"
            if (params.time !== undefined && params.time !== null
                    && (typeof params.time !== "number" || !isFinite(params.time)))
                return "time is not a number"
            if (params.graphics_id !== undefined && params.graphics_id !== null
                    && typeof params.graphics_id !== "string")
                return "graphics_id is not text"
            return ""
        }

        function parseReply(result) {
            if (typeof result !== "string")
                return null
            var js
            try {
                js = JSON.parse(result)
            } catch (e) {
                return null
            }
            if (js === null || typeof js !== "object" || Array.isArray(js))
                return null
            if (typeof js.type !== "string" || typeof js.status !== "string")
                return null
            if (js.data !== undefined && (js.data === null || typeof js.data !== "object"))
                return null
            return js
        }

        // A mixer's reply that cannot be read still answers its command, as an Error, so the
        // window is not left waiting for it (and a Cue awaited by held commands releases them).
        function answerBadReply(result, guid) {
            var shown = typeof result === "string" ? result : String(result)
            p("layer" + index + " bad reply  guid=" + guid + " text=" + shown.replace(/\s+/g, " ").slice(0, 200))
            if (!guid)
                return
            var js = getQueueByGuid(guid).js
            var reply = { _id: js ? js._id : 0, type: js ? js.type : "", status: "Error",
                          message: "Bad reply from mixer" }
            deliverReply(reply, fromJs(reply), guid, true)
        }

        // The reply path: history, the window, then the release of held commands.
        // `js` null: a reply about a rejected command, which neither adds `elapsed` nor releases.
        function deliverReply(js, result, guid, release) {
            if (js) {
                if (!guid && js.type === "Live")
                    return
                if (js.type === "FadeOut")
                    return
            }
            statusFiltered = 0
            if (js && js.command === undefined) {
                var entry = getQueueByGuid(guid)
                if (entry.time !== undefined) {
                    var elapsed = Date.now() - entry.time
                    if (elapsed) {
                        js.elapsed = elapsed
                        result = fromJs(js)
                    }
                }
            }
            cropArray(queues)
            cropArray(responces)
            responces.push(result)
            render.mixerReply(result, guid)
            if (js && release)
                checkReply(js, guid)
        }

        function endMixer() {
            active = false
            loaded = false
            waitGuid = 0
            var ending = mixer
            textureReceiver.unload(function () {
                if (mixer && mixer === ending)
                    mixer.exit()
            })
        }

        function loadContent() {
            if (textureReceiver.sourceComponent)
                textureReceiver.sourceComponent = null
            textureReceiver.sourceComponent = d.hasMedia() ? mediaComponent : textureSharingReceiverComponent
        }

        function hasMedia() { return String(render.media) !== "" }

        function mixerClosed() {
            p("layer" + index + " closed  " + (lastJS ? lastJS.type : "") + " mixer=" + !!mixer
              + " active=" + active + " loaded=" + isLoaded + " requireReset=" + requireReset
              + " waitExit=" + waitExit + " waitGuid=" + waitGuid
              + " mixerDelayed=" + mixerDelayed.length + " guid=" + guid)
            requireReset = false
            fadeOut()
            if (active) {
                active = false
                p("layer" + iLayer + " crash lastGuid=" + lastGuid)
                queueError("Crashed")
                return
            }
            var exitGuid = waitExit
            var entry = exitGuid ? getQueueByGuid(exitGuid) : []
            if (entry.js)
                replyStatus(entry.js, "Idle", exitGuid)
            waitExit = 0
            if (mixerDelayed.length > 0)
                run()
        }

        // A hidden layer's content leaves the scene: what it still does (a box that keeps its
        // angle, a video that plays on) then draws nothing and asks for no frame, so hidden
        // layers cost nothing per frame. It is back in the scene before the layer shows.
        function showContent() {
            var item = textureReceiver.item
            if (!item)
                return
            item.parent = render.visible ? textureReceiver : null
            turnContent(render.visible)
        }

        function turnContent(shown) {
            var item = textureReceiver.item
            if (item && item.turn)
                item.turn(shown)
        }

        function contentStatus(status) {
            if (status === Loader.Ready) {
                showContent()
                onReady()
                return
            }
            if (status === Loader.Error)
                p("layer" + index + " error loading textureReceiver")
            if (status === Loader.Error || status === Loader.Null) {
                var pending = textureReceiver.onUnload
                textureReceiver.onUnload = null
                if (pending)
                    pending()
            }
        }
    }

    Loader {
        id: textureReceiver
        objectName: "textureReceiver"
        anchors.fill: parent

        // What QmlUtils.singleShot returned for the pending unload call-back; called once the
        // content is gone, so the mixer ends at once instead of after the timer.
        property var onUnload: null

        function unload(callback) {
            onUnload = QmlUtils.singleShot(1000, callback)
            sourceComponent = null
        }

        onStatusChanged: d.contentStatus(status)
    }

    // In-process mixer: answers Cue, Play and Eject at once.
    Component {
        id: mixerComponent
        QtObject {
            id: stub
            property string dataUrl: ''

            signal mixerQueueReply(string result, var guid)

            function mixerQueue(request, guid) {
                p("mixerQueue render " + render.index + " " + render.name + " request=" + request)
                var js
                try {
                    js = JSON.parse(request)
                } catch (e) {
                    return
                }
                var record = { _id: js._id, status: "Ok", type: js.type }
                switch (js.type) {
                case "DSK_Cue":
                    answer(record, guid)
                    record.data = { status: "Cued" }
                    answer(record, guid)
                    break
                case "DSK_Play":
                    answer(record, guid)
                    record.data = { status: "Play" }
                    answer(record, guid)
                    break
                case "DSK_Eject":
                    record.data = { status: "Idle" }
                    answer(record, guid)
                    break
                }
            }

            function answer(record, guid) { render.queueReply(fromJs(record), guid) }

            // Ends the stub: once it is gone the render's `mixer` reads null and the layer closes.
            function exit() { stub.destroy() }
        }
    }

    // Placeholder content: a rotating box in the layer's colour, with the layer's scene name.
    // The box turns once every 3.6 s from the moment the content is loaded. While the layer is
    // hidden no animation runs: the angle follows the scheduler's beat instead (see d.showContent).
    Component {
        id: textureSharingReceiverComponent
        Rectangle {
            id: placeholder
            width: render.textureRect.width
            height: render.textureRect.height
            color: "transparent"

            readonly property double loadedAt: Date.now()   // ms

            // the angle the box has `now` (ms), whether or not anyone has watched it turn
            function angleAt(now) { return ((now - loadedAt) % 3600 + 3600) % 3600 / 10 }

            function turn(shown) {
                turning.stop()
                box.rotation = angleAt(Date.now())
                if (!shown)
                    return
                turning.angle = box.rotation
                turning.start()
            }

            // the rest of the current turn, then whole turns without end
            SequentialAnimation {
                id: turning
                property real angle: 0   // degrees
                RotationAnimation {
                    target: box; property: "rotation"
                    from: turning.angle; to: 360; duration: (360 - turning.angle) * 10
                }
                RotationAnimation {
                    target: box; property: "rotation"
                    from: 0; to: 360; duration: 3600; loops: Animation.Infinite
                }
            }

            Rectangle {
                id: box
                objectName: "placeholderBox"
                width: render.textureRect.width / 4
                height: render.textureRect.height / 4
                x: renderNumber > 0 ? render.index * render.textureRect.width / renderNumber : 0
                anchors.verticalCenter: parent.verticalCenter
                color: d.placeholderColors[((render.index - 1) % 7 + 7) % 7]

                Text {
                    anchors.centerIn: parent
                    text: render.name
                    color: "white"
                    font.pixelSize: 64
                }
            }
        }
    }

    // Video content: the chosen file, looping, across the full width on the bottom edge.
    Component {
        id: mediaComponent
        Item {
            width: render.textureRect.width
            height: render.textureRect.height

            MediaPlayer {
                id: player
                objectName: "mediaPlayer"
                source: render.media
                loops: MediaPlayer.Infinite
                autoPlay: true
                autoLoad: false
                onError: d.videoError(source, error, errorString)
            }

            // A damaged file (a cut-off MP4 among them) can leave GStreamer waiting for data that
            // never comes, with no error: the layer would show nothing and nobody would know.
            Timer {
                interval: d.loadingLimit
                running: player.status === MediaPlayer.Loading
                onTriggered: d.videoError(player.source, MediaPlayer.ResourceError,
                                          "still loading after " + interval / 1000 + " s")
            }

            VideoOutput {
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                fillMode: VideoOutput.PreserveAspectFit
                source: player
                // Frames with straight alpha are drawn as they come, without blending: they are
                // premultiplied in a texture of their own and then blended like every other item.
                // Nothing shows before the first frame's kind is known.
                filters: [alpha]
                opacity: alpha.seen ? 1 : 0
                layer.enabled: alpha.straight
                layer.smooth: true
                layer.effect: ShaderEffect {
                    fragmentShader: "
                        varying highp vec2 qt_TexCoord0;
                        uniform sampler2D source;
                        uniform lowp float qt_Opacity;
                        void main() {
                            lowp vec4 c = texture2D(source, qt_TexCoord0);
                            gl_FragColor = vec4(c.rgb * c.a, c.a) * qt_Opacity;
                        }"
                }
                StraightAlpha { id: alpha }
            }
        }
    }
}

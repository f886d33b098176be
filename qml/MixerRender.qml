import QtQuick 2.12
import QtMultimedia 5.15
import OrvaneTemplates 1.0
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
    property url media               // a video file; chooses the content at the mixer start and a Cue
    property bool requireReset: false // the next Eject ends the mixer instead of being passed

    // --- layer state, read by the window
    property int pid: 0              // the in-process mixer has no process of its own
    property QtObject mixer: null
    property bool active: false      // the mixer runs and its content is loaded
    property bool loaded: false      // a Cue was passed since the last Eject or end of the mixer
    readonly property bool isLoaded: active && loaded
    // The layer's picture is in the composite: shown, not transparent, and its content did not
    // fail (a video that cannot play draws nothing). The window's tally and state read this.
    readonly property bool onAir: visible && opacity > 0 && !d.contentFailed
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
    // the scene's graphic (a template, a still, a named video), when its scene names one
    readonly property alias graphic: graphic
    readonly property var templateTriggers: graphic.triggers
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

    // New data for the layer's template, at once and without leaving air; kept as the layer's
    // data. False when the layer has no template.
    function templateUpdate(data) {
        var taken = graphic.takeData(data)
        p("layer" + index + " template update " + name + " taken=" + taken)
        return taken
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

    // Runs on every beat: timed Play and Stop act at the first beat that reaches their time. A
    // Stop that falls due also ends every command passed before it that still waits, so nothing
    // shows the layer again once it has stopped, and it is answered "Stop" then: the layer's
    // latest state is what its replies say.
    function processWaiting(now) {
        var stopped = []
        var i = 0
        while (i < waiting.length) {
            var entry = waiting[i]
            var js = entry.js
            if (now + earlyTicks < js.params.time + d.renderDelay()) {
                ++i
                continue
            }
            if (js.type === "DSK_Stop") {
                // a Stop that falls due ends what was passed before it and still waits
                waiting.splice(0, i + 1)
                i = 0
                stopped.push(entry)
            } else {
                waiting.splice(i, 1)
            }
            d.carryOut(js)
        }
        // answered once the list is settled: the window may send this layer more on a reply
        for (var k = 0; k < stopped.length; ++k)
            replyStatus(stopped[k].js, "Stop", stopped[k].guid)
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

    // A Stop's own duration wins over its transition. A fade-in still running ends here: it would
    // raise the opacity of a layer that is going, and a later Play would take it for its own fade.
    function fadeOut(js) {
        var length = js ? d.positiveMs(js.duration) : 0
        if (length <= 0)
            length = transitionLength(js)
        animFadeIn.stop()
        if (length <= 0) {
            animFadeOut.stop()
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
        property var stoodVideos: ({})    // file URL text -> true, for videos reported standing
        readonly property bool contentFailed: !!textureReceiver.item && textureReceiver.item.failed === true
        readonly property int loadingLimit: 5000   // ms a video may take to load before it is reported

        function videoError(file, error, message) {
            var key = String(file)
            p("layer" + index + " video error " + key + " " + message)
            if (key === "" || failedVideos[key])
                return
            failedVideos[key] = true
            render.videoFailed(file, message, error === MediaPlayer.FormatError)
        }

        // A looping video stood and was opened again: in the trace each time, and once per file a
        // Warning, so that the operator knows that the clip does not loop cleanly.
        function videoStood(file, position, played, held) {
            var key = String(file)
            p("layer" + index + " video " + key + " moved on " + played + " ms in " + held + " ms, at " + position
              + " ms: opened again")
            if (stoodVideos[key])
                return
            stoodVideos[key] = true
            graphicWarning("Video " + key + " stood still at a loop and was started again")
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
                takeOffAir()
                loaded = true
                chooseContent()
                break
            case "DSK_Play":
                if (graphic.failed)
                    break
                fadeIn(js)
                if (!Number(js.params.time))
                    d.playGraphic()
                break
            case "DSK_Continue":
                if (!Number(js.params.time))
                    graphic.next(js.params.trigger_id)
                break
            case "DSK_Eject":
                takeOffAir()
                loaded = false
                waitGuid = 0
                if (exitOnEject || pressedCtrl || requireReset) {
                    waitExit = guid
                    exit()
                    return false
                }
                break
            case "ExitLayer":
                takeOffAir()
                loaded = false
                waitGuid = 0
                waitExit = guid
                kill()
                return false
            }
            return true
        }

        // The layer is hidden at once, and what it was given before and is not yet due (a timed
        // Play, Stop or Continue) is dropped: a Play falling due after an Eject would put the
        // layer back on air with nothing loaded, while the layer's state says it is idle.
        function takeOffAir() {
            waiting.length = 0
            fadeOut()
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

        // the scene's own graphic (a template, a still, a named video) takes the place of the video
        // at the scene's position: that one is not played hidden under it
        function hasMedia() { return String(render.media) !== "" && !graphic.shows }

        // A Cue on a running layer chooses its content again: the placeholder for a scene without
        // a video, a video for one with a file. Another file in a video only changes the source.
        function chooseContent() {
            var content = textureReceiver.sourceComponent
            if (content && (content === mediaComponent) !== hasMedia())
                loadContent()
        }

        function mixerClosed() {
            p("layer" + index + " closed  " + (lastJS ? lastJS.type : "") + " mixer=" + !!mixer
              + " active=" + active + " loaded=" + isLoaded + " requireReset=" + requireReset
              + " waitExit=" + waitExit + " waitGuid=" + waitGuid
              + " mixerDelayed=" + mixerDelayed.length + " guid=" + guid)
            requireReset = false
            takeOffAir()
            d.pendingCue = null
            graphic.clear()
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

        // ------------------------------------------------ the scene's graphic

        property var pendingCue: null    // {record, guid}: a Cue whose template still loads
        property var pendingStop: null   // a Stop waiting for the template's out-animation

        function videosFolder() { return main && main.mediaFolder !== undefined ? String(main.mediaFolder) : "" }

        // A timed command at its time: Play, Stop and Continue reach the graphic as they fall due.
        function carryOut(js) {
            if (js.type === "DSK_Play" && !graphic.failed) {
                fadeIn(js)
                playGraphic()
            } else if (js.type === "DSK_Stop") {
                stopGraphic(js)
            } else if (js.type === "DSK_Continue") {
                graphic.next(js.params.trigger_id)
            }
        }

        function playGraphic() {
            pendingStop = null
            graphic.play()
        }

        // The template's own out-animation first, when it has one; then the layer's fade.
        function stopGraphic(js) {
            if (graphic.stop()) {
                pendingStop = js
                return
            }
            fadeOut(js)
        }

        function graphicStopped() {
            var js = pendingStop
            pendingStop = null
            if (js)
                fadeOut(js)
        }

        // The scene's graphic for a Cue answered by the mixer: the final answer waits for a
        // template that is still loading, and is an Error for one that does not load.
        function cueGraphic(js, record, guid) {
            dropCue()
            const waiting = graphic.cue(js, dataUrl, videosFolder())
            chooseContent()
            if (waiting) {
                pendingCue = { record: record, guid: guid, answer: mixer.answer }
                return
            }
            settleCue({ record: record, guid: guid, answer: mixer.answer }, graphic.errorString)
        }

        // A Cue still loading when the next Cue or an Eject comes: it ends idle.
        function dropCue() {
            var superseded = pendingCue
            pendingCue = null
            pendingStop = null
            if (superseded)
                superseded.answer({ _id: superseded.record._id, status: "Ok", type: superseded.record.type,
                                    data: { status: "Idle" } }, superseded.guid)
        }

        // error: why the template did not load; empty when it did (or there is none)
        function settleCue(entry, error) {
            if (!error) {
                entry.answer(entry.record, entry.guid)
                return
            }
            loaded = false
            entry.answer({ _id: entry.record._id, type: entry.record.type, status: "Error",
                           message: error }, entry.guid)
        }

        function graphicSettled(error) {
            var entry = pendingCue
            pendingCue = null
            if (entry)
                settleCue(entry, error)
        }

        // A problem of the graphic the operator must see: a numbered Warning of the layer.
        function graphicWarning(message) {
            var js = lastJS && lastJS.type === "DSK_Cue" ? lastJS : { _id: 0, type: "DSK_Cue" }
            queueReply(fromJs({ _id: js._id, type: js.type, status: "Warning", message: message }), 0)
        }

        function timedOut() {
            p("layer" + index + " timed out " + name + " after " + graphic.duration + " ms")
            var queue = main && main.queues && main.getGraphicsIndex ? main.queues[main.getGraphicsIndex(name)] : null
            stopGraphic(queue && queue.DSK_Stop ? queue.DSK_Stop : { type: "DSK_Stop", params: {} })
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
        visible: !graphic.shows

        // What QmlUtils.singleShot returned for the pending unload call-back; called once the
        // content is gone, so the mixer ends at once instead of after the timer.
        property var onUnload: null

        function unload(callback) {
            onUnload = QmlUtils.singleShot(1000, callback)
            sourceComponent = null
        }

        onStatusChanged: d.contentStatus(status)
    }

    SceneGraphic {
        id: graphic
        objectName: "sceneGraphic"
        anchors.fill: parent
        frameSize: Qt.size(render.textureRect.width, render.textureRect.height)
        onLoaded: d.graphicSettled("")
        onLoadFailed: d.graphicSettled(message)
        onWarned: d.graphicWarning(message)
        onTrace: p("layer" + render.index + " " + line)
        onStopped: d.graphicStopped()
        onTimedOut: d.timedOut()
        onVideoFailed: d.videoError(file, error, message)
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
                    d.cueGraphic(js, record, guid)
                    break
                case "DSK_Play":
                    answer(record, guid)
                    record.data = { status: "Play" }
                    answer(record, guid)
                    break
                case "DSK_Eject":
                    d.dropCue()
                    graphic.clear()
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
            id: video
            width: render.textureRect.width
            height: render.textureRect.height

            // The file cannot play: nothing of the layer is drawn, so it is not on air. A new
            // file starts afresh.
            property bool failed: false

            function fail(error, message) {
                failed = true
                d.videoError(player.source, error, message)
            }

            MediaPlayer {
                id: player
                objectName: "mediaPlayer"
                source: render.media
                loops: MediaPlayer.Infinite
                autoPlay: true
                autoLoad: false
                onError: video.fail(error, errorString)
                onSourceChanged: video.failed = false
            }
            VideoLoop {
                player: player
                onRestarted: d.videoStood(player.source, position, playedMs, heldMs)
            }

            // A damaged file (a cut-off MP4 among them) can leave GStreamer waiting for data that
            // never comes, with no error: the layer would show nothing and nobody would know.
            Timer {
                interval: d.loadingLimit
                running: player.status === MediaPlayer.Loading
                onTriggered: video.fail(MediaPlayer.ResourceError, "still loading after " + interval / 1000 + " s")
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

import QtQml 2.12
import QtQuick 2.12
import QtQuick.Controls 1.4
import QtQuick.Dialogs 1.3
import QtQuick.Layouts 1.12
import QtQuick.Window 2.12
import Qt.labs.settings 1.0
import Serialization 1.0
import Lamps 1.0
import ProgramFeed 1.0
import Videos 1.0
import TimeScheduler 1.0
import "common"

// The output window: one output of the graphics system, its layers, and the operator's controls.
// Groups below follow the data, each opened by a "// ---- Name:" line; their entry functions:
//   Tracing          p, pf (the Debug singleton's walk)
//   Records          template, guid, getLayerId, getGraphicsId, setLayerId, updateTime, fromJs,
//                    jsonObject, singleLine
//   Program options  programOptions (set by the start-up program)
//   Crash evidence   crashReport (set by the start-up program), listPreviousCrash
//   Restore          onAirState (set by the start-up program), restoreOnAir
//   Configuration    initialise, migrate, completionSteps, checkDataDirectory, dataUrlChange,
//                    closingSteps
//   Geometry         renderRects, groupSize, addRender, addMirrors; the atlas and the renders
//   Program output   programOutput (set by the start-up program), openFeedWindows,
//                    closeFeedWindows; the atlas handed to the output, the feed windows
//   Queues           updateQueues, restoreSelection, getGraphicsIndex, setCurrentGraphics
//   Media            videoFolder, videoCheck (set by the start-up program), mediaFolder, medias,
//                    mediaAt, videoFailed
//   Dispatch         send, sendAll (through dispatch), keepSelection, mixerQueue, resetAllRenders
//   Replies          reply, relay, listProblem, listWindowProblem, listWindowProblemOnce,
//                    writeOutcome; the error list
//   Control port     controlAnswer, controlCommand, controlSelect, controlUpdate, controlState,
//                    layerOnAir; replies, problems and tally to subscribed clients (with --control)
//   Chrome           windowPlace, elapsedText, clockText, showSelected, selectorWidth, trigger,
//                    continueFirst, selectLayer; the control bar, the clock, the function keys and
//                    the layers' lamps
//   Scene files      loadCurrentGfxc, saveQueue, saveQueues, saveCurrentGfxc, makeSceneFolder,
//                    updateDuration
//   Panels           updateCurrent, refreshPanels, registerPanel, panelTextChanged, togglePanel
//   Editor           saveConfig, editorButtonClicked; the configuration editor dialog
// A new group adds its line here. README's "main.qml and its tests" names each group's tests.
//
// Names marked "read by layers by name" (fromJs, p, getGraphicsId, exitOnEject, dataUrl,
// renderNumber, guid, modifiers) are looked up unqualified by every layer (MixerRender.qml) from
// the document that creates it: renaming one breaks the layers without an error at load time.
ApplicationWindow {
    id: main

    visible: true
    title: "Orvane"
    width: 1600
    height: 920
    x: windowPlace(Screen.width, Screen.height, width, height, iBox).x
    y: windowPlace(Screen.width, Screen.height, width, height, iBox).y
    color: "#444"

    // ---- Tracing: one implementation, shared with the Debug singleton; layers call p unqualified
    // read by layers by name: keep it
    function p(s, v, l, f, r) { return Debug._p(s, v, l, f, r, false) }
    function pf(s, v, l, f, r) { return Debug._p(s, v, l, f, r, true) }
    function _p(s, v, l, f, r, tf) { return Debug._p(s, v, l, f, r, tf) }

    // ---- Records: the command template, the command counter and the record accessors

    // Six stored records per scene are made from this text, parsed afresh for every scene so
    // that no two scenes share an object. Times are ticks of 100 ns (offsets while stored).
    readonly property string template: fromJs([
        { "_id": "", "type": "DSK_Cue", "params": { "layer_id": 1, "head_id": 1, "enable_audio": "True",
                                                     "dsk_data": "", "graphics_id": "file" } },
        { "_id": "", "type": "DSK_Play", "params": { "layer_id": 1, "head_id": 1, "time": 0,
                                                      "transition_type": "Fade", "transition_duration": 0 } },
        { "_id": "", "type": "DSK_Stop", "params": { "layer_id": 1, "head_id": 1, "time": 0,
                                                      "transition_type": "Fade", "transition_duration": 0 } },
        { "_id": "", "type": "DSK_Eject", "params": { "layer_id": 1, "head_id": 1 } },
        { "_id": "", "type": "DSK_GetStatus", "params": { "layer_id": 1, "head_id": 1 } },
        { "_id": "", "type": "DSK_Continue", "params": { "layer_id": 1, "head_id": 1, "trigger_id": "",
                                                          "time": 0 } }
    ])

    // Incremented before every command handed to a layer; travels beside the record, never in it.
    // read by layers by name: keep it
    property var guid: 0

    function getLayerId(js) {
        if (!js || !js.params)
            return 0
        return js.params.layer_id || 0
    }

    // A scene queue answers with the name in its Cue record.
    // read by layers by name: keep it
    function getGraphicsId(js) {
        if (!js || typeof js !== "object")
            return ""
        if (js.DSK_Cue !== undefined)
            js = js.DSK_Cue
        // a hand-edited queue may hold any value here; only text names a scene
        if (!js || !js.params || typeof js.params.graphics_id !== "string")
            return ""
        return js.params.graphics_id
    }

    // Changes the given record in place, so a stored record keeps the layer it was sent to.
    function setLayerId(js, id) {
        if (!js)
            js = {}
        if (!js.params)
            js.params = {}
        js.params.layer_id = id
        return js
    }

    function clone(v) {
        if (!v)
            return v
        var text = JSON.stringify(v)
        return text === undefined ? v : JSON.parse(text)
    }

    // A stored record keeps its offset; the dispatched copy carries the absolute tick.
    function updateTime(js) {
        if (!js || !js.params || js.params.time === undefined || js.params.time === null)
            return js
        var copy = clone(js)
        copy.params.time = TimeScheduler.time + Number(js.params.time)
        return copy
    }

    // read by layers by name: keep it
    function fromJs(js) { return JSON.stringify(js, null, 2) }

    // The object a record or reply text holds; null for text that is not a JSON object.
    function jsonObject(text) {
        try {
            var js = JSON.parse(text)
            return configLoader.isConfig(js) ? js : null
        } catch (e) {
            return null
        }
    }

    // One trace line out of an indented record: runs of three spaces, then pairs, shrink to one.
    function singleLine(s) {
        return String(s).replace(/   /g, " ").replace(/  /g, " ").replace(/\n/g, "")
    }

    // ---- Program options: the start-up program's parsed command line (set before the window is
    // complete); null in hosts that create the window without it, which means no option given
    property QtObject programOptions: null

    // ---- Crash evidence: the report of a crash in this output's previous run, listed once as a Warning
    // (set by the start-up program; null in hosts that create the window themselves)
    property QtObject crashReport: null
    property QtObject crashWatch: QtObject { Component.onCompleted: main.listPreviousCrash() }

    function listPreviousCrash() {
        if (crashReport && crashReport.previousReport !== "")
            listWindowProblem("Warning", "Previous run crashed: see " + crashReport.previousReport)
    }

    // ---- Restore: what is on air, kept for a restart, and put back with --restore
    // Set by the start-up program (null in hosts that create the window themselves). It watches
    // each layer (scene, data of its Cue, playing), keeps the state file (onair[-N].json) and
    // gives the commands that bring the last run's layers back once the scenes are built.
    property QtObject onAirState: null

    Instantiator {
        model: onAirState ? renders.count : 0
        delegate: QtObject { Component.onCompleted: main.onAirState.watchLayer(renders.itemAt(index)) }
    }

    Connections {
        target: onAirState
        function onWritten(ok, path, problem) { writeOutcome(ok, path, problem) }
    }

    // once, in the first turn of the event loop after the scenes are built
    property bool onAirRestored: false
    Timer {
        interval: 0
        running: !!onAirState && onAirState.restoring && windowComplete && queues.length > 0 && !onAirRestored
        onTriggered: main.restoreOnAir()
    }

    // Each layer's Cue, then its Play straight to the layer (send's Play would cue it again).
    function restoreOnAir() {
        onAirRestored = true
        var plan = onAirState.restorePlan(queues, renders.count)
        dispatch(function () {
            keepSelection(function () {
                plan.layers.forEach(function (entry) {
                    currentLayer = entry.layer - 1
                    currentIndex = getGraphicsIndex(entry.scene)
                    send("DSK_Cue", entry.cue)
                    if (entry.play) {
                        guid += 1
                        mixerQueue(fromJs(entry.play), guid, true)
                    }
                })
            })
        })
        plan.problems.forEach(function (text) { listWindowProblem("Warning", text) })
    }

    // ---- Configuration: output number, configuration file, derived properties, settings

    // --box N of the command line; every per-output file and settings name carries sBox.
    readonly property int iBox: boxNumber(getAppParam("--box"))
    readonly property var sBox: iBox !== 0 ? "-" + iBox : ""
    readonly property var appName: programName(Qt.application.arguments[0])

    // Layer numbers of an output are iBox * 100 + layer, so more layers would take the next
    // output's numbers.
    readonly property int maxRenderNumber: 99

    readonly property var defaultConfig: ({
        "boardEnabled": true,
        "exitOnEject": false,
        "installFonts": false,
        "traceMemInfo": false,
        "directory": "Layers",
        "renderNumber": 12,
        "cacheTime": 10,
        "bufferSize": 5,
        "board": ""
    })

    // Each key holds a sound value even when the file was edited by hand with the wrong type.
    // read by layers by name: keep it
    property bool exitOnEject: configFlag(configLoader.config, "exitOnEject", false)
    property real cacheTime: configNumber(configLoader.config, "cacheTime", 10)
    property real bufferSize: configNumber(configLoader.config, "bufferSize", 5)
    property int installFonts: configFlag(configLoader.config, "installFonts", false) ? 1 : 0
    property int traceMemInfo: configFlag(configLoader.config, "traceMemInfo", false) ? 1 : 0
    property bool boardEnabled: configFlag(configLoader.config, "boardEnabled", false)
                                && configText(configLoader.config, "board") !== ""
    property int isBoxPlayer: boardEnabled && configText(configLoader.config, "board").indexOf("KeshBoxPlayer") === 0
                              ? 1 : 0
    property bool previewEnabled: isBoxPlayer === 0 ? true : settings.previewEnabled
    // read by layers by name: keep it
    property int renderNumber: isBoxPlayer !== 0 ? 0 : layerCount(configLoader.config)
    property bool showInfo: true
    property bool showBoxPlayer: showInfo && isBoxPlayer !== 0
    readonly property var project: configText(configLoader.config, "project")

    // The data directory with one folder per scene; bound to the configuration until the
    // operator picks a folder in the dialog.
    // read by layers by name: keep it
    property var dataUrl: dataDirectory(configText(configLoader.config, "directory"), project)

    // Runs once while the window's properties are first computed.
    property var onInit: initialise()

    onDataUrlChanged: dataUrlChange()
    onClosing: closingSteps()

    function getAppParam(arg) { return argumentAfter(Qt.application.arguments, arg) }

    function argumentAfter(args, arg) {
        var i = args.indexOf(arg)
        return i >= 0 && i + 1 < args.length ? args[i + 1] : ""
    }

    // Only a plain whole number selects an output; anything else is output 0.
    function boxNumber(text) {
        return /^\s*[+-]?\d+\s*$/.test(text) ? parseInt(text, 10) : 0
    }

    // The executable's file name, whichever separator the path uses.
    function programName(path) {
        var s = String(path)
        s = s.substring(s.lastIndexOf("/") + 1)
        return s.substring(s.lastIndexOf("\\") + 1)
    }

    function getPath(file, name) {
        if (!file)
            return ""
        var s = String(file)
        return s.substring(0, Math.max(s.lastIndexOf("/"), 0)) + name
    }

    function dataDirectory(directory, project) {
        if (directory)
            return directory
        if (project)
            return getPath(project, "/Layers")
        return ""
    }

    function isMissing(v) { return v === undefined || v === null }

    function configKey(config, key) {
        return typeof config === "object" && config !== null ? config[key] : undefined
    }

    function replaced(key, v, sound) {
        p("Config " + key + " " + JSON.stringify(v) + " replaced by " + JSON.stringify(sound))
        return sound
    }

    // Booleans and numbers count by their truth; a text such as "false" would read as true.
    function configFlag(config, key, fallback) {
        var v = configKey(config, key)
        if (isMissing(v))
            return fallback
        if (typeof v === "boolean" || typeof v === "number")
            return !!v
        return replaced(key, v, fallback)
    }

    function configNumber(config, key, fallback) {
        var v = configKey(config, key)
        if (isMissing(v))
            return fallback
        var n = typeof v === "number" ? v : (typeof v === "string" && v.trim() !== "" ? Number(v) : NaN)
        return isFinite(n) ? n : replaced(key, v, fallback)
    }

    function configText(config, key) {
        var v = configKey(config, key)
        if (isMissing(v))
            return ""
        return typeof v === "string" ? v : replaced(key, v, "")
    }

    // A whole number of layers from 0 to maxRenderNumber; a huge value never builds that many.
    function layerCount(config) {
        var n = configNumber(config, "renderNumber", defaultConfig.renderNumber)
        if (n < 0)
            return replaced("renderNumber", n, defaultConfig.renderNumber)
        if (n > maxRenderNumber)
            return replaced("renderNumber", n, maxRenderNumber)
        return n === Math.floor(n) ? n : replaced("renderNumber", n, Math.floor(n))
    }

    function initialise() {
        onInit = 0
        console.warn("Application Name: " + Qt.application.name)
        console.warn("Application Version: " + Qt.application.version)
        p("config", configLoader.config)
        importLegacyConfig()
    }

    // Configurations of the older program lived under a sibling data directory.
    function importLegacyConfig() {
        if (configText(configLoader.config, "directory") !== "" || appName !== "Orvane_Box_Output.exe")
            return
        var dir = String(Serialization.applicationDataDirPath)
        if (dir.slice(-"Orvane_Box".length) === "Orvane_Box")
            dir = dir.slice(0, -"Orvane_Box".length) + "Orvane_Demo"
        var path = dir + "/" + configLoader.fileName
        var js = Serialization.readFromJsonFile(path)
        if (!configLoader.isConfig(js))
            return
        configLoader.save(js)
        configLoader.update()
        p("Load old config from " + path, configLoader.config)
    }

    // Older files carry keys that are gone or are missing newer ones; each change is saved at
    // once. A key holding null counts as missing.
    function migrate() {
        var config = configLoader.config
        if (!isMissing(config.noboard)) {
            config.boardEnabled = !config.noboard
            delete config.noboard
            configLoader.save()
        }
        var obsolete = ["nopreview", "previewEnabled", "resetExcluded", "handlesLimit", "autoEject",
                        "dynamic", "project"]
        obsolete.forEach(function (key) {
            if (isMissing(config[key]))
                return
            delete config[key]
            configLoader.save()
        })
        var filled = ["boardEnabled", "exitOnEject", "renderNumber", "cacheTime", "bufferSize",
                      "installFonts", "traceMemInfo"]
        filled.forEach(function (key) {
            if (!isMissing(config[key]))
                return
            config[key] = defaultConfig[key]
            configLoader.save()
        })
    }

    function completionSteps() {
        title = appName + " --box " + iBox
        configLoader.update()
        opacity = 1
        windowComplete = true
        listHeldProblems()
        if (!dataUrl) {
            // nobody could answer a dialog without a display: the data directory stays unset
            if (programOptions && programOptions.headless)
                listWindowProblemOnce("data directory", "Warning", "No data directory is configured: scenes cannot be saved")
            else
                openDirectoryDialog()
            return
        }
        checkDataDirectory()
        updateQueues()
    }

    // On a fresh machine the default data directory ("Layers" in the application-data directory)
    // is not there yet, and without it no scene could be saved: it is made. A directory the
    // configuration names is never made here (a mistyped path would quietly become a new, empty
    // show); the operator is told once per start instead. True when the directory is there.
    function checkDataDirectory() {
        var dir = String(dataUrl)
        if (dir === "" || Serialization.isDirectory(dir))
            return dir !== ""
        if (dir === defaultConfig.directory && Serialization.makeDirectory(dir)) {
            p("Created data directory " + dir)
            return true
        }
        listWindowProblemOnce("data directory " + dir, "Warning", "Data directory " + dir + " " + missingText(dir)
                              + ": scenes cannot be saved until it is created or another is chosen")
        return false
    }

    function missingText(dir) {
        return Serialization.isFileExists(dir) ? "is not a directory" : "does not exist"
    }

    // A directory already configured is never overwritten here; one of the wrong type gives way
    // only to a real folder.
    function dataUrlChange() {
        var config = configLoader.config
        var dir = config.directory
        var unset = isMissing(dir) || dir === ""
        if (unset || (typeof dir !== "string" && String(dataUrl) !== "")) {
            config.directory = String(dataUrl)
            configLoader.save()
        }
        // at start-up the completion steps check it, once the window can list problems
        if (windowComplete)
            checkDataDirectory()
        updateQueues()
    }

    function openDirectoryDialog() {
        if (iBox !== 0) {
            var js = Serialization.readFromJsonFile(configLoader.path)
            var dir = configText(configLoader.isConfig(js) ? js : {}, "directory")
            if (dir)
                dialogDirectory.folder = folderUrl(dir)
        }
        dialogDirectory.open()
    }

    // A relative directory lives in the application-data directory, as for every host service.
    function folderUrl(dir) {
        if (/^[a-zA-Z][a-zA-Z0-9+.-]*:/.test(dir))
            return dir
        if (dir.charAt(0) === "/")
            return "file://" + dir
        return "file://" + Serialization.applicationDataDirPath + "/" + dir
    }

    function closingSteps() {
        settings.currentName = currentName
        settings.currentLayer = currentLayer
        closeAllRenders()
        p("closing " + main)
    }

    ConfigLoader {
        id: configLoader
        fileName: "output_config" + sBox + ".json"
        defaultConfig: main.defaultConfig
        Component.onCompleted: migrate()
        onUnusable: listWindowProblemOnce(message, "Warning", message)
    }

    Settings {
        id: settings
        objectName: "settings"
        category: "Output" + sBox
        property var currentName: 0
        property var currentLayer: 0
        property bool previewEnabled: true
    }

    // The folder dialog is built when it first opens: building it took a sixth of every start,
    // and only a start without a data directory shows it. Until then this object answers for it
    // with the same title, folder, visibility, open and close.
    QtObject {
        id: dialogDirectory
        objectName: "dialogDirectory"
        readonly property string title: qsTr("Please choose Orvane root directory. For example C:/Tezlan/Layers.")
        readonly property bool selectFolder: true
        property url folder
        property QtObject dialog: null
        readonly property bool visible: dialog ? dialog.visible : false

        function open() {
            if (!dialog)
                dialog = folderDialog.createObject(dialogDirectory)
            dialog.open()
        }

        function close() {
            if (dialog)
                dialog.close()
        }
    }

    Component {
        id: folderDialog
        FileDialog {
            title: dialogDirectory.title
            selectFolder: dialogDirectory.selectFolder
            folder: dialogDirectory.folder
            onAccepted: dataUrl = fileUrl
        }
    }

    Component.onCompleted: completionSteps()

    // ---- Geometry: the atlas of all layers, their groups, the mirrors and the preview

    // Sizes in atlas pixels.
    readonly property size hd: Qt.size(1920, 1080)
    readonly property size sd: Qt.size(1024, 576)
    readonly property var groupLayers: ["1-7", "8-", "1-7", "8-"]
    readonly property var testGroups_h: [
        { "name": "HD1", "rect": [0, 0, hd.width, hd.height], "layers": groupLayers[0] },
        { "name": "HD2", "rect": [hd.width, 0, hd.width, hd.height], "layers": groupLayers[1] },
        { "name": "SD1", "rect": [2 * hd.width, 0, sd.width, sd.height], "layers": groupLayers[2] },
        { "name": "SD2", "rect": [2 * hd.width, 0, sd.width, sd.height], "layers": groupLayers[3] }
    ]
    readonly property var testGroups_v: [
        { "name": "HD1", "rect": [0, 0, hd.width, hd.height], "layers": groupLayers[0] },
        { "name": "HD2", "rect": [0, hd.height, hd.width, hd.height], "layers": groupLayers[1] },
        { "name": "SD1", "rect": [0, 2 * hd.height, sd.width, sd.height], "layers": groupLayers[2] },
        { "name": "SD2", "rect": [sd.width, 2 * hd.height, sd.width, sd.height], "layers": groupLayers[3] }
    ]
    // One group naming no layer: every layer falls back to the whole HD frame.
    readonly property var testGroups: [
        { "name": "HD", "rect": [0, 0, hd.width, hd.height], "layers": "" }
    ]
    property var groups: testGroups

    property var frameSize: groupSize()
    readonly property var aspect: frameSize.width / frameSize.height
    property var configBoard: boardConfig(groups, dataUrl, renderNumber)

    // Renders in creation order, and one {rect, render} entry per extra place of a layer; the
    // counts follow a deferral so that a whole batch of new renders is counted at once.
    property var mainRenders: []
    property var extraRenders: []
    property int mainRendersNumber: 0
    property int extraRendersNumber: 0

    // Layer n is renders.itemAt(n - 1); other parts of the window reach layers only through it.
    property alias renders: renders

    onFrameSizeChanged: p("onFrameSizeChanged", frameSize)
    onAspectChanged: p("onAspectChanged", aspect)
    onMainRendersChanged: Qt.callLater(countMainRenders)
    onExtraRendersChanged: Qt.callLater(countExtraRenders)
    onMainRendersNumberChanged: p("mainRenders=" + mainRendersNumber)
    onExtraRendersNumberChanged: p("extraRendersNumber=" + extraRendersNumber)

    function countMainRenders() { mainRendersNumber = mainRenders.length }
    function countExtraRenders() { extraRendersNumber = extraRenders.length }

    function toRect(v) { return Qt.rect(v[0], v[1], v[2], v[3]) }

    function specNumber(text) {
        var t = text.trim()
        return t === "" ? NaN : Number(t)
    }

    // One item of a layer specification: "3", "8-" (8 and up), "1-7" (both included).
    function layerMatches(item, layer) {
        var sides = item.split("-")
        if (sides.length === 1)
            return specNumber(sides[0]) === layer
        if (sides.length > 2)
            return false
        var from = sides[0].trim() === "" ? 0 : specNumber(sides[0])
        if (sides[1].trim() === "")
            return layer >= from
        var to = specNumber(sides[1])
        return Math.floor(from) === from && layer >= from && layer <= to
    }

    // Every place of the 1-based layer in the atlas, in table order; never empty.
    function renderRects(layer) {
        var result = []
        groups.forEach(function (group) {
            String(group.layers).split(",").forEach(function (item) {
                if (layerMatches(item, layer))
                    result.push(toRect(group.rect))
            })
        })
        if (result.length === 0)
            result.push(Qt.rect(0, 0, hd.width, hd.height))
        return result
    }

    // Never smaller than an HD frame.
    function groupSize() {
        var w = hd.width
        var h = hd.height
        groups.forEach(function (group) {
            var r = group.rect
            w = Math.max(w, r[0] + r[2])
            h = Math.max(h, r[1] + r[3])
        })
        return Qt.size(w, h)
    }

    function boardConfig(groups, dataUrl, renderNumber) {
        var board = { "directory": dataUrl, "renderNumber": renderNumber }
        if (groups.length > 1) {
            var layers = {}
            groups.forEach(function (group) { layers[group.name] = group.layers })
            board.renderNumberGroups = layers
        }
        return board
    }

    // Places of a layer beyond its first are drawn by mirrors.
    function addMirrors(render, rects) {
        for (var i = 1; i < rects.length; ++i)
            extraRenders.push({ "rect": rects[i], "render": render })
    }

    // Layer 1 starts a new set of renders. A render lists its mirrors here, once complete, so
    // that layer 1's own mirrors go into the new list.
    function addRender(render) {
        if (render.index === 1) {
            mainRenders = []
            extraRenders = []
        }
        addMirrors(render, render.rects)
        mainRenders.push(render)
    }

    // Not placed in the window: it is shown through the preview.
    property Item atlas: Item {
        width: frameSize.width
        height: frameSize.height

        Item {
            anchors.fill: parent

            // Layer 1 lowest, the highest-numbered layer on top.
            Repeater {
                id: renders
                // the window, for delegates whose own `main` property hides the window's id
                readonly property var window: main
                model: renderNumber
                delegate: MixerRender {
                    main: renders.window
                    index: model.index + 1
                    iLayer: renders.window.iBox * 100 + index
                    readonly property var rects: renders.window.renderRects(index)
                    readonly property rect rect: rects[0]
                    property bool listed: false
                    x: rect.x
                    y: rect.y
                    width: rect.width
                    height: rect.height
                    onMixerReply: renders.window.reply(result, guid, this)
                    onVideoFailed: renders.window.videoFailed(this, file, message, formatError)
                    // places computed again later are listed as they come
                    onRectsChanged: if (listed) renders.window.addMirrors(this, rects)
                    Component.onCompleted: {
                        renders.window.addRender(this)
                        listed = true
                    }
                }
            }

            Repeater {
                id: extras
                model: extraRendersNumber
                delegate: ShaderEffectSource {
                    readonly property var entry: extraRenders[index]
                    readonly property Item mirrored: entry && entry.render ? entry.render : null
                    sourceItem: mirrored
                    x: entry ? entry.rect.x : 0
                    y: entry ? entry.rect.y : 0
                    width: entry ? entry.rect.width : 0
                    height: entry ? entry.rect.height : 0
                    visible: mirrored ? mirrored.visible : false
                    opacity: mirrored ? mirrored.opacity : 0
                }
            }

            Rectangle {
                id: test_line
                width: 2
                height: 1080
                color: "red"
                visible: false
                opacity: 0
            }
        }
    }

    Item {
        id: previewArea
        objectName: "previewArea"
        anchors.fill: parent
        anchors.topMargin: aspect > 1 ? 0 : 32
        anchors.leftMargin: aspect > 1 ? 0 : 2
        anchors.rightMargin: aspect > 1 ? 0 : 2
        anchors.bottomMargin: aspect > 1 ? 0 : 2

        PreserveAspectFit {
            id: preview
            objectName: "preview"
            aspect: main.aspect
            biasx: 1.8
            biasy: 1.5

            Rectangle {
                anchors.fill: parent
                color: previewEnabled ? "#333" : "#4b4b4b"
            }

            ShaderEffectSource {
                objectName: "previewTexture"
                anchors.fill: parent
                sourceItem: programOutput ? null : atlas
                visible: previewEnabled && !programOutput
                // The atlas is drawn straight at the preview's pixel size: a texture of the full
                // frame would be filled and then scaled down again on every frame, which costs a
                // software renderer a quarter of its frame time.
                textureSize: Qt.size(Math.max(1, Math.ceil(width * Screen.devicePixelRatio)),
                                     Math.max(1, Math.ceil(height * Screen.devicePixelRatio)))
            }

            // with a program output: its frames, the composite drawn once for both
            ProgramView {
                objectName: "programPreview"
                anchors.fill: parent
                visible: previewEnabled && programOutput !== null
                output: programOutput
            }
        }
    }

    // The first frame a layer shows is drawn into the preview's texture with materials that no
    // frame before it used there (a turned box, large text), and the clock's first text (a second
    // after the start) is the window's first outlined text: the software renderer builds its code
    // for each at that moment, and that frame took 80 to 220 ms, the operator's first Play waiting
    // for it. Once the window has shown its first frame, such content is drawn once out of sight:
    // through a one-pixel texture view, and straight into the window. It goes after its frame.
    Loader {
        id: layerMaterials
        objectName: "layerMaterials"
        x: -2
        y: -2
        // frames swapped since the window was shown, counted until the content is gone
        property int frames: 0
        active: frames === 1 || frames === 2
        sourceComponent: Item {
            ShaderEffectSource {
                width: 1
                height: 1
                sourceItem: Item {
                    width: 480
                    height: 270
                    // turned, as a placeholder's box is: a turned item is drawn on its own
                    Rectangle {
                        anchors.fill: parent
                        rotation: 10
                        color: "red"
                        Text {
                            anchors.centerIn: parent
                            text: "SCENE"
                            color: "white"
                            font.pixelSize: 64
                        }
                    }
                }
            }

            // as the clock draws its text, with every character it shows, wholly outside the window
            Text {
                x: -width
                y: -height
                text: "0123456789 -:()"
                font.pixelSize: 20
                color: "white"
                style: Text.Outline
                opacity: 0.1
            }
        }

        Connections {
            target: main
            enabled: layerMaterials.frames < 3
            function onFrameSwapped() { layerMaterials.frames += 1 }
        }
    }

    // ---- Program output: the composite to clean feed windows and GStreamer pipelines
    // Set by the start-up program with --program, --key or --output; null without them (and in
    // hosts that create the window themselves), and then nothing below is made.
    property QtObject programOutput: null
    // the clean feed windows, while they are open
    property var programWindow: null
    property var keyWindow: null
    // Owns the feed windows without being a window: a window made with a window as its parent
    // becomes an X child window inside it, which a window manager never maps.
    property QtObject feedOwner: QtObject {}
    property Component feedWindow: Component { FeedWindow {} }

    // With an output the atlas leaves this window: the output draws it by itself, once per output
    // frame, whatever this window does (minimised, covered, never shown), and the preview shows
    // the output's frames instead of drawing the layers a second time.
    property QtObject programStart: QtObject {
        Component.onCompleted: {
            if (main.programOutput === null)
                return
            main.programOutput.source = main.atlas
            main.openFeedWindows()
        }
    }

    Connections {
        target: programOutput
        function onProblem(status, text) { listWindowProblem(status, text) }
    }

    // The feeds end with the output window: no feed is left on air without its controls.
    Connections {
        target: main
        function onClosing(close) { closeFeedWindows() }
    }

    function openFeedWindows() {
        var options = programOptions
        if (!options || !options.program)
            return
        programWindow = makeFeedWindow("program", false, options.programScreen)
        if (options.key)
            keyWindow = makeFeedWindow("key", true, options.keyScreen)
    }

    function closeFeedWindows() {
        if (programWindow)
            programWindow.close()
        if (keyWindow)
            keyWindow.close()
    }

    function makeFeedWindow(kind, key, screenNumber) {
        var screen = feedScreen(kind, screenNumber)
        var properties = {
            title: "Orvane " + kind + (iBox !== 0 ? " --box " + iBox : ""),
            output: programOutput,
            key: key,
            transientParent: null,
            width: frameSize.width,
            height: frameSize.height
        }
        if (screen) {
            properties.screen = screen
            properties.x = screen.virtualX
            properties.y = screen.virtualY
        }
        var window = feedWindow.createObject(feedOwner, properties)
        window.visibility = screen ? Window.FullScreen : Window.Windowed
        return window
    }

    // The screen numbered `number` in the platform's order; a number without a screen gives a
    // windowed feed, so the output still starts on a machine with fewer screens.
    function feedScreen(kind, number) {
        if (number < 0)
            return null
        var screens = Qt.application.screens
        if (number < screens.length)
            return screens[number]
        p("No screen " + number + " for the " + kind + " window (" + screens.length + " screens): it opens windowed")
        return null
    }

    // ---- Queues: scene queues and the selection, restored from and stored in the settings

    // The current scene and layer are the selectors' own indices, so setting them from code
    // moves the selectors and runs their change reactions.
    readonly property var sceneNames: ["SCENE-01", "SCENE-02", "SCENE-03", "SCENE-04", "SCENE-05",
                                        "SCENE-06", "SCENE-07", "SCENE-08", "SCENE-09"]
    property var queues: []
    property string sdirs: ""
    property alias currentIndex: comboBox.currentIndex
    property alias currentLayer: comboLayer.currentIndex
    readonly property string currentName: getGraphicsId(queues[currentIndex])
    readonly property var currentRender: currentLayer >= 0 && currentLayer < renders.count
                                         ? renders.itemAt(currentLayer) : null
    readonly property bool enabled: currentRender ? true : false
    readonly property bool editable: currentRender ? currentRender.isLoaded : false

    // The settings object holds the stored selection only once the window's objects are complete.
    // A build before then (from the data directory's first value) restored the defaults: until the
    // stored selection is restored, a build never returns early, and completion restores it again.
    property bool settingsLoaded: false
    property bool selectionRestored: false
    property QtObject settingsWatch: QtObject { Component.onCompleted: main.settingsComplete() }

    function settingsComplete() {
        settingsLoaded = true
        if (queues.length === 0)
            return
        restoreSelection()
        selectionRestored = true
    }

    function updateQueues() {
        if (!dataUrl)
            return
        var joined = sceneNames.join("\n")
        var unchanged = joined === sdirs
        sdirs = joined
        // once built, the queues (and the operator's in-place changes) stay while a layer is current
        if (unchanged && enabled && selectionRestored)
            return
        var list = []
        for (var i = 0; i < sceneNames.length; ++i) {
            var records = JSON.parse(template)
            var queue = {}
            for (var k = 0; k < records.length; ++k) {
                var record = records[k]
                record._id = i + 1
                if (record.params.graphics_id)
                    record.params.graphics_id = sceneNames[i]
                if (record.params.layer_id)
                    record.params.layer_id = i + 1
                queue[record.type] = record
            }
            queue.triggers = null
            list.push(queue)
        }
        queues = list
        restoreSelection()
        if (settingsLoaded)
            selectionRestored = true
    }

    // The stored layer, and the scene loaded on it or else the stored scene.
    function restoreSelection() {
        // the detour through -1 re-evaluates everything bound to the current layer
        currentLayer = -1
        currentLayer = storedLayer()
        var name = currentRender && currentRender.name ? currentRender.name : settings.currentName
        setCurrentGraphics(name)
    }

    // the persisted layer index as a number; the settings store may hand it back as text
    function storedLayer() {
        var layer = Number(settings.currentLayer)
        return isFinite(layer) ? Math.floor(layer) : 0
    }

    function getGraphicsIndex(name) {
        if (typeof name !== "string")
            return -1
        for (var i = 0; i < queues.length; ++i)
            if (getGraphicsId(queues[i]) === name)
                return i
        return -1
    }

    function getLayerLabel(index, number) {
        if (!queues[index])
            return ""
        var id = getGraphicsId(queues[index])
        return number ? (index + 1) + ". " + id : "    " + id
    }

    function setCurrentGraphics(name) {
        currentIndex = getGraphicsIndex(name)
        updateCurrent()
    }

    // ---- Media: the videos folder, the media list that dispatch picks from, videos that cannot play
    // set by the start-up program (null in hosts that create the window themselves): the choice of
    // videos folder (--videos, else the folder below when it exists, else the user's own videos
    // folder), and the check that finds out why a video cannot play
    property QtObject videoFolder: null
    property QtObject videoCheck: null
    // The folder the media list reads. A window created by a test is given a folder of its own.
    property url mediaFolder: chooseMediaFolder(videoFolder)
    // the folder's videos, oldest first, one per scene position; follows the folder as it changes
    property var medias: mediaList.files
    // {layer, name, file, message}: failed videos whose check has not answered yet
    property var videoChecks: []

    function chooseMediaFolder(chooser) {
        var specified = "file:///home/ulbren/Videos/"
        if (!chooser)
            return specified
        var chosen = chooser.choose(specified)
        p(chosen.trace)
        return chosen.folder
    }

    // The video of the scene at `index`; an empty URL (the layer's placeholder) when there is none.
    function mediaAt(index) { return mediaList.at(index) }

    VideoList {
        id: mediaList
        folder: main.mediaFolder
        onTrace: p(line)
    }

    // A layer's video reported an error (once per file and layer). The player does not say which
    // decoder is missing: the check does, and that Error is listed when the check answers.
    function videoFailed(render, file, message, formatError) {
        var entry = { "layer": render.index, "name": render.name, "file": String(file), "message": message }
        if (!videoCheck || !formatError) {
            listVideoProblem(entry, "")
            return
        }
        videoChecks.push(entry)
        videoCheck.check(file)
    }

    function videoChecked(file, problem) {
        var waiting = videoChecks
        videoChecks = []
        waiting.forEach(function (entry) {
            if (entry.file === String(file))
                listVideoProblem(entry, problem)
            else
                videoChecks.push(entry)
        })
    }

    // "Error Layer<n> Video <scene>: <file>: <the player's message> (<what the check found>)"
    function listVideoProblem(entry, problem) {
        var text = decodeURIComponent(entry.file.replace(/^file:\/\//, "")) + ": " + textOf(entry.message)
        if (problem && text.indexOf(problem) < 0)
            text += " (" + problem + ")"
        listProblem({ "status": "Error", "type": "Video", "message": text }, entry.layer, entry.name)
    }

    Connections {
        target: videoCheck
        ignoreUnknownSignals: true
        function onChecked(file, problem) { main.videoChecked(file, problem) }
    }

    // ---- Dispatch: commands from the controls to the layers
    // Inside one operator command the panels are brought up to date once, when it returns:
    // every reply and selection step would otherwise lay the whole panel text out again.
    property int dispatching: 0
    // Text kept alive only for the script engine's collector. The collector runs again once the
    // text made since its last run outgrows the text still alive (128 KB at the least), and every
    // command makes kilobytes of trace and record text: without this 4 MB it stopped the window
    // thread every few commands for a few milliseconds (265 times in the bench's command run,
    // against 45 with it).
    readonly property var collectorBallast: " ".repeat(2 * 1024 * 1024)
    property bool responceStale: false
    property bool currentStale: false
    // Data for the next Cue instead of its scene's stored data (a control-port request's).
    property var cueData: undefined

    function dispatch(action) {
        dispatching += 1
        try {
            action()
        } finally {
            dispatching -= 1
            if (dispatching === 0) {
                if (currentStale) {
                    currentStale = false
                    responceStale = false
                    refreshPanels()
                } else if (responceStale) {
                    responceStale = false
                    if (currentRender)
                        showResponce(currentRender.getResponce())
                }
            }
        }
    }

    function send(type, q) { dispatch(function () { sendNow(type, q) }) }

    function sendNow(type, q) {
        var render = currentRender
        if (!render) {
            p("Wrong currentLayer " + currentLayer + " guid=" + guid)
            return
        }
        // The banner and the "!!! send" line are fixed markers that readers of a trace search
        // for: keep them as written.
        p("(((((((((((((()))))))))))))) ", medias)
        // only a Cue chooses what the layer shows: the video at the scene's position, none past the end
        if (type === "DSK_Cue") {
            var media = mediaAt(currentIndex)
            p("set media " + media)
            render.media = media
        }
        var loaded = render.isLoaded
        var lastType = render.lastJS ? render.lastJS.type : undefined
        p("!!! send type=" + type + " lastType=" + lastType + " loaded=" + loaded + " q=" + singleLine(q))
        if (type === "DSK_Cue") {
            if (loaded)
                send("DSK_Eject")
        } else if (type === "DSK_Play") {
            if (loaded)
                send("DSK_Eject")
            send("DSK_Cue")
        } else if (type !== "DSK_Eject" && !loaded) {
            return
        }
        var queue = queues[currentIndex]
        var record = q ? q : (queue ? queue[type] : undefined)
        if (type === "DSK_Cue" && cueData !== undefined && record && typeof record === "object") {
            // this Cue carries the control port's data, not the scene's stored data
            record = Object.assign({}, record, { "params": Object.assign({}, record.params, { "dsk_data": cueData }) })
            cueData = undefined
        }
        if (!record || typeof record !== "object") {
            p("Wrong currentIndex " + currentIndex + " guid=" + guid)
            // a scene whose record was replaced through the Queues panel by something else
            if (queue && !q)
                listWindowProblem("Error", "Record " + type + " of " + sceneLabel(queue, currentIndex)
                                  + " not sent: it is " + JSON.stringify(record) + ", not a record")
            return
        }
        setLayerId(record, currentLayer + 1)
        var text = fromJs(updateTime(record))
        guid += 1
        mixerQueue(text, guid, true)
    }

    function mixerQueue(queue, guid, test) {
        var js = parseRecord(queue)
        var layer = getLayerId(js)
        // only a whole number is a layer number: text or 2.5 names no layer
        var named = typeof layer === "number" && layer === Math.floor(layer) && layer > 0 && layer <= renders.count
        var render = named ? renders.itemAt(layer - 1) : null
        var filtered = js.type === "DSK_GetStatus" && guid !== main.guid && render && render.statusFiltered >= 1
        if (!filtered)
            p("layer" + layer + " command " + js.type + " " + singleLine(queue) + " guid=" + guid)
        if (!render) {
            listWindowProblem("Error", unroutedText(queue, js))
            replyError(js, "Wrong layer_id " + layer, guid, null)
            return
        }
        render.mixerQueue(queue, guid, test)
    }

    function sceneLabel(queue, index) {
        var name = getGraphicsId(queue)
        return name !== "" ? name : "scene " + (index + 1)
    }

    // Which record reached no layer, and why, for the error list.
    function unroutedText(text, js) {
        if (!jsonObject(text))
            return "Record " + singleLine(text).slice(0, 80) + " not sent: the text is no JSON object"
        var which = "Record " + textOf(js.type) + (js._id !== undefined ? " _id " + JSON.stringify(js._id) : "")
        if (!js.params || typeof js.params !== "object")
            return which + " not sent: its params must be a JSON object"
        return which + " not sent: layer_id " + JSON.stringify(js.params.layer_id) + " names no layer (1 to "
                + renders.count + ")"
    }

    // a record text as an object; text that is not a JSON object becomes an empty record
    function parseRecord(text) {
        var js = jsonObject(text)
        if (js)
            return js
        p("Wrong json text:" + text)
        return {}
    }

    function sendAll(type) { dispatch(function () { sendAllNow(type) }) }

    function sendAllNow(type) {
        keepSelection(function () {
            for (var i = 0; i < renders.count; ++i) {
                currentLayer = i
                var render = currentRender
                if (!render || !render.active)
                    continue
                // each layer gets the record of the scene it has loaded
                currentIndex = getGraphicsIndex(render.name)
                send(type)
            }
        })
    }

    // Runs `action`, which may move the selection, then puts the operator's selection back, also
    // after a failure half-way. Moving the layer refreshes the panels, which take a scene index of
    // -1 to the first scene: set it again. The operator's view is then the same as before: its
    // panels need no new layout for it.
    function keepSelection(action) {
        var layer = currentLayer
        var index = currentIndex
        var stale = currentStale
        try {
            action()
        } finally {
            currentIndex = index
            currentLayer = layer
            if (currentIndex !== index)
                currentIndex = index
            if (currentLayer === layer && currentIndex === index)
                currentStale = stale
        }
    }

    function resetAllRenders() {
        p("resetAllRenders")
        if (boardEnabled)
            textureReceiver.resetBaseTime()
        for (var i = 0; i < renders.count; ++i)
            if (renders.itemAt(i))
                renders.itemAt(i).reset()
    }

    // layers keep running when the window closes
    function closeAllRenders() {
    }

    // ---- Replies: what the layers answer; problems are numbered, listed and logged
    property int errorn: 0
    property var errors: []
    property string error: ""

    property QtObject textureReceiver: QtObject {
        function resetBaseTime() { p("textureReceiver resetBaseTime ") }
        function reply(result, guid) { p("textureReceiver reply " + result) }
    }

    function reply(result, guid, render) {
        var js = parseReply(result)
        var layer = render && render.index ? render.index : ""
        var name = render && render.name ? render.name : ""
        if (layer === "") {
            p("Error layer index=" + layer)
            return
        }
        layerReplied(layer, guid, js)
        var filtered = js.type === "DSK_GetStatus" && guid !== main.guid && render.statusFiltered >= 2
        if (!filtered)
            p("layer" + layer + " reply " + (js.type ? js.type : (js.command ? js.command : "")) + " "
              + (js.elapsed ? js.elapsed + "ms " : "") + name + " " + singleLine(result) + " " + guid)
        if (dispatching > 0)
            responceStale = true
        else if (currentRender)
            showResponce(currentRender.getResponce())
        if (js.status === "Error" || js.status === "Warning") {
            var warning = js.status === "Warning"
            if (warning && String(js.message).indexOf("Handles too much") === 0)
                render.requireReset = true
            listProblem(js, layer, name)
            if (warning)
                return
        }
        if (js.command === "Reset") {
            resetAllRenders()
            return
        }
        if (!js.command) {
            textureReceiver.reply(result, guid)
            return
        }
        relay(js, render)
    }

    // a reply text as an object; an unreadable reply is listed as an Error of its layer
    function parseReply(text) {
        var js = jsonObject(text)
        return js ? js : { "status": "Error", "message": "Wrong reply text: " + singleLine(text) }
    }

    // Every numbered problem, whether a layer's or the window's own, in list, trace and Errors.txt.
    signal problemListed(int number, string status, string text)
    // Every reply of a layer (its 1-based number), as the object read from the reply text,
    // before the window acts on it.
    signal layerReplied(int layer, var guid, var reply)

    function listProblem(js, layer, name) {
        listNumbered(js.status, js.status + " Layer" + layer + " " + textOf(js.type) + " " + name + ": "
                     + textOf(js.message))
    }

    // A problem of the window itself (not of a layer): status "Error" or "Warning", then the text.
    function listWindowProblem(status, text) { listNumbered(status, status + " " + text) }

    // Set by the completion steps. Problems found while the window's properties are still being
    // computed (an unusable configuration file) are held until then: the list does not exist yet.
    property bool windowComplete: false
    property var heldProblems
    // keys of the problems listed once per start
    property var listedOnce: ({})
    // file path -> true while its last write failed, so a failing file is listed once, not at
    // every keystroke, and again only after a write of it succeeded in between
    property var failedWrites: ({})

    function listWindowProblemOnce(key, status, text) {
        if (!windowComplete) {
            heldProblems = (heldProblems || []).concat([{ "key": key, "status": status, "text": text }])
            return
        }
        if (listedOnce[key])
            return
        listedOnce[key] = true
        listWindowProblem(status, text)
    }

    function listHeldProblems() {
        var held = heldProblems || []
        heldProblems = []
        held.forEach(function (problem) { listWindowProblemOnce(problem.key, problem.status, problem.text) })
    }

    // The outcome of writing `path`; a failure is listed with `text` unless already listed.
    function writeOutcome(ok, path, text) {
        if (ok) {
            delete failedWrites[path]
            return true
        }
        if (!failedWrites[path]) {
            failedWrites[path] = true
            listWindowProblem("Error", text)
        }
        return false
    }

    function listNumbered(status, text) {
        errorn += 1
        var n = errorn
        var line = n + ". " + text
        var list = errors.slice(Math.max(0, errors.length - 10))
        p(line)
        Serialization.writeToTextFile(errorLogPath(Serialization.getEnv("logDir")), line + "\n", true)
        list.push("<br><font color=\"" + (status === "Warning" ? "#ff0" : "#f66") + "\">"
                  + (n < 10 ? "&nbsp; " : "") + n + ". " + escapeRich(text))
        errors = list
        error = list.join("\n")
        problemListed(n, status, text)
    }

    function textOf(v) { return v === undefined || v === null ? "" : String(v) }

    // The list is shown as rich text: a message such as "level < 3" must show as written, and
    // markup from a layer must not load anything.
    function escapeRich(text) {
        return text.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;")
    }

    // Errors.txt in $logDir. Without logDir, or with a relative one, the file would land in the
    // root of the file system: it goes to the application-data directory instead.
    function errorLogPath(dir) {
        dir = textOf(dir)
        if (dir === "")
            return Serialization.applicationDataDirPath + "/Errors.txt"
        if (dir.charAt(0) !== "/" && !/^[A-Za-z]:/.test(dir))
            return Serialization.applicationDataDirPath + "/" + dir + "/Errors.txt"
        return "file:///" + dir + "/Errors.txt"
    }

    function relay(js, render) {
        if (typeof js.command !== "string") {
            p("Wrong command " + js.command)
            return
        }
        var command = js.command
        if (command === "DSK_Eject" && render.edited) {
            p("layer" + render.index + " is edited so skip " + command)
            return
        }
        var record = { "params": {} }
        if (js.trigger)
            record.params.trigger_id = String(js.trigger)
        if (command === "DSK_Play" || command === "DSK_Stop" || command === "DSK_Continue") {
            var delay = Number(js.delay ? js.delay : 0)
            if (!isFinite(delay)) {
                p("Wrong delay " + js.delay + ", taken as 0")
                delay = 0
            }
            record.params.time = delay * 10000
        }
        var target = js.layer ? findLayer(js.layer) : render
        if (!target) {
            p("Cant find layer " + js.layer)
            return
        }
        record.type = command
        record.params.layer_id = target.index
        // the operator's selection is the same before and after a relay
        keepSelection(function () {
            currentLayer = target.index - 1
            send(command, record)
        })
    }

    // the first layer whose number, or loaded scene name, is `layer`
    function findLayer(layer) {
        var number = typeof layer === "number" || typeof layer === "string" ? Number(layer) : NaN
        for (var i = 0; i < renders.count; ++i) {
            var render = renders.itemAt(i)
            if (render && (render.index === number || (typeof layer === "string" && render.name === layer)))
                return render
        }
        return null
    }

    function replyError(js, message, guid, render) {
        js = js && typeof js === "object" ? js : {}
        reply(fromJs({ "_id": js._id, "type": js.type, "status": "Error", "message": message }), guid, render)
    }

    // Numbered problems for the operator on air, in the colours of their lines, over the bottom
    // left of the preview; presses go through to the background.
    Rectangle {
        id: errorPanel
        objectName: "errorPanel"
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: 10
        width: errorList.width + 16
        height: errorList.height + 8
        color: "#a0000000"
        radius: 3
        visible: error !== ""

        Text {
            id: errorList
            objectName: "errorList"
            x: 8
            width: Math.min(implicitWidth, main.width / 2)
            textFormat: Text.RichText
            text: error
            color: "white"
            font.pixelSize: 12
            wrapMode: Text.Wrap
        }
    }

    // ---- Control port: requests from automation and scripts go through dispatch as the buttons do
    // The window's side of --control (set by the start-up program), null without the option. It
    // checks each request against this window's layers and scenes and hands on only good ones,
    // with a "command" for those to a layer; replies, problems and tally go back to subscribers.
    property QtObject controlPort: null
    // layer number -> the latest data.status of its replies
    property var controlStatus: ({})

    Binding { target: controlPort; property: "layerCount"; value: renders.count }
    Binding { target: controlPort; property: "scenes"; value: queues.map(getGraphicsId) }
    // what the port reads for a scene's fields and triggers ("scene")
    Binding { target: controlPort; property: "queues"; value: queues }
    Binding { target: controlPort; property: "renders"; value: renders }
    Binding { target: controlPort; property: "dataDirectory"; value: String(dataUrl) }

    Connections {
        target: controlPort
        function onRequest(connection, peer, request) { controlPort.respond(connection, JSON.stringify(controlAnswer(request))) }
        function onTrace(line) { p(line) }
    }

    Connections {
        target: controlPort ? main : null
        function onLayerReplied(layer, guid, reply) { controlReplied(layer, guid, reply) }
        function onProblemListed(number, status, text) {
            controlEvent({ "event": "problem", "number": number, "status": status, "text": text })
        }
    }

    // Tally follows what is drawn: a layer is on air while its picture is shown with an opacity
    // above 0 in the atlas, so a fade-in is on air from its first visible frame and a fade-out
    // until its last; a layer whose video cannot play draws nothing and is not (render.onAir).
    Instantiator {
        model: controlPort ? renders.count : 0
        delegate: QtObject {
            readonly property Item render: renders.itemAt(index)
            readonly property bool onAir: main.layerOnAir(render)
            onOnAirChanged: if (render) main.controlEvent({ "event": "tally", "layer": render.index, "onAir": onAir })
        }
    }

    function layerOnAir(render) { return !!render && render.onAir }

    function controlReplied(layer, guid, reply) {
        if (reply.data && typeof reply.data === "object" && reply.data.status !== undefined)
            controlStatus[layer] = reply.data.status
        controlEvent({ "event": "reply", "layer": layer, "guid": guid, "reply": reply })
    }

    function controlEvent(event) {
        if (controlPort)
            controlPort.broadcastEvent(JSON.stringify(event))
    }

    // A checked request carried out; its answer.
    function controlAnswer(request) {
        var what = request["do"]
        if (what === "state")
            return controlState()
        if (what === "select")
            return controlSelect(request)
        if (what === "update")
            return controlUpdate(request.layer !== undefined ? request.layer : currentLayer + 1, request.data)
        if (what === "ejectAll")
            return { "ok": true, "guids": guidsOf(function () { sendAll("DSK_Eject") }) }
        return { "ok": true, "guids": guidsOf(function () { controlCommand(request) }) }
    }

    // The guids that `action` handed to layers, in order: pre-steps and relays included.
    function guidsOf(action) {
        var first = guid
        action()
        var list = []
        for (var g = first + 1; g <= guid; ++g)
            list.push(g)
        return list
    }

    // The command on the request's layer and scene, as the button would send it there.
    function controlCommand(request) {
        var layer = request.layer !== undefined ? request.layer - 1 : currentLayer
        var index = request.scene !== undefined ? getGraphicsIndex(request.scene) : currentIndex
        dispatch(function () {
            keepSelection(function () {
                currentLayer = layer
                currentIndex = index
                var queue = queues[currentIndex]
                if (request.trigger !== undefined && queue && queue.DSK_Continue && queue.DSK_Continue.params)
                    queue.DSK_Continue.params.trigger_id = request.trigger
                cueData = request.data
                try {
                    send(request.command, request.record)
                } finally {
                    cueData = undefined
                }
            })
        })
    }

    // As the operator's picks in the selectors: the choice is stored and the panels follow.
    function controlSelect(request) {
        if (request.layer !== undefined) {
            currentLayer = request.layer - 1
            settings.currentLayer = currentLayer
            updateCurrent()
        }
        if (request.scene !== undefined) {
            currentIndex = getGraphicsIndex(request.scene)
            if (renderNumber !== 0) {
                settings.currentName = currentName
                updateCurrent()
            }
        }
        return { "ok": true }
    }

    // New data for the template loaded on a layer, without a new Cue.
    function controlUpdate(layer, data) {
        var render = renders.itemAt(layer - 1)
        if (render && render.templateUpdate(data))
            return { "ok": true }
        return { "ok": false, "error": "no template on layer " + layer }
    }

    function controlState() {
        var layers = []
        for (var i = 0; i < renders.count; ++i) {
            var render = renders.itemAt(i)
            var status = controlStatus[render.index]
            layers.push({ "layer": render.index, "scene": render.name ? render.name : null,
                          "active": render.active, "loaded": render.isLoaded, "onAir": layerOnAir(render),
                          "status": status === undefined ? null : status })
        }
        return { "ok": true, "box": iBox,
                 "current": { "layer": currentRender ? currentLayer + 1 : null, "scene": currentName ? currentName : null },
                 "layers": layers }
    }

    // ---- Chrome: control bar, clock and window keys

    // Keyboard modifiers of the last press on the control bar; layers read them on Eject.
    // read by layers by name: keep it (as main.modifiers)
    property int modifiers: 0
    property bool editEnabled: true
    property var startTime: new Date()
    property var currentTime: ""
    // The scene's own triggers, else those its template offers while it is on the current layer.
    readonly property var currentTriggers: queues[currentIndex] && queues[currentIndex].triggers
                                           ? queues[currentIndex].triggers : templateTriggers(currentRender, currentName)

    function templateTriggers(render, name) {
        var triggers = render && render.name === name ? render.templateTriggers : null
        return Array.isArray(triggers) && triggers.length > 0 ? triggers : null
    }

    // Outputs started side by side open one below the other instead of all at one place: output
    // N takes place N modulo 4, each place far enough below the one before that the control bars
    // of outputs 0 to 3, with a window manager's title bar above each, stay in view. Across, the
    // window is centred; down, the four places share the room the screen leaves, from the top
    // when there is too little room for them all.
    readonly property int outputPlaceStep: 70 // pixels: a control bar and a title bar below it
    readonly property int outputPlaceTop: 24 // pixels: room for the first output's title bar

    function windowPlace(screenWidth, screenHeight, width, height, box) {
        var place = ((box % 4) + 4) % 4
        var top = Math.max(outputPlaceTop, (screenHeight - height - 3 * outputPlaceStep) / 2)
        return Qt.point(Math.round((screenWidth - width) / 2), Math.round(top + place * outputPlaceStep))
    }

    // "hh:mm:ss" of whole seconds since the start; hours have no upper limit
    function elapsedText(ms) {
        var t = Math.floor(ms / 1000)
        var two = function (n) { return (n < 10 ? "0" : "") + n }
        return [two(Math.floor(t / 3600)), two(Math.floor(t / 60) % 60), two(t % 60)].join(":")
    }

    function clockText(now) {
        return Qt.formatDateTime(now, "yyyy-MM-dd hh:mm:ss") + "  (" + elapsedText(now - startTime) + ")"
    }

    // A selector's list is never taller than `limit` pixels (0: no limit).
    function limitList(combo, limit) {
        if (limit > 0 && combo.popup.height > limit)
            combo.popup.height = limit
    }

    // An open list shows the selected entry with the two before it, scrolled there without moving
    // the list's own current entry: that one stays the selected entry, drawn highlighted. (Making
    // the entry two above current highlighted it instead, and the operator read the wrong layer.)
    function showSelected(combo) {
        var list = combo.popup.contentItem
        if (list && combo.currentIndex >= 0)
            list.positionViewAtIndex(Math.max(0, combo.currentIndex - 2), ListView.Beginning)
    }

    // Wide enough for its longest label in its own font ("Layer 12" lost its last digit to the
    // drop-down arrow at the specified 115 pixels on desktops with larger fonts).
    function selectorWidth(combo, labels, least) {
        var text = 0
        // read so that the width follows a change of the font
        var font = labelMetrics.font
        for (var i = 0; i < labels.length; ++i)
            text = Math.max(text, labelMetrics.advanceWidth(labels[i]))
        var content = combo.contentItem
        var padding = combo.leftPadding + combo.rightPadding
                      + (content ? content.leftPadding + content.rightPadding : 0)
        return Math.max(least, Math.ceil(text + padding))
    }

    function sceneLabels(list) {
        var labels = []
        for (var i = 0; i < list.length; ++i)
            labels.push(getLayerLabel(i, true))
        return labels
    }

    function layerLabels(count) {
        var labels = []
        for (var i = 1; i <= count; ++i)
            labels.push("Layer " + i)
        return labels
    }

    Action {
        text: qsTr("Fullscreen")
        shortcut: "F11"
        onTriggered: main.visibility = main.visibility === Window.FullScreen ? Window.Windowed : Window.FullScreen
    }

    // The operator's function keys, on the current layer and scene as the buttons. Typing into a
    // panel or the editor must never put anything on air, so none fires while a text has focus.
    readonly property bool commandKeysEnabled: main.enabled && !isTextEditor(activeFocusItem)

    function isTextEditor(item) {
        return !!item && typeof item.cursorPosition === "number" && typeof item.selectByMouse === "boolean"
    }

    // Continue at the current scene's first trigger, or with an empty trigger_id without one.
    function continueFirst() {
        var triggers = currentTriggers
        trigger({ "id": triggers && triggers.length > 0 && triggers[0] ? triggers[0].id : "" })
    }

    Shortcut { sequence: "F1"; enabled: commandKeysEnabled; onActivated: send("DSK_Stop") }
    Shortcut { sequence: "F2"; enabled: commandKeysEnabled; onActivated: send("DSK_Play") }
    Shortcut { sequence: "F3"; enabled: commandKeysEnabled; onActivated: send("DSK_Cue") }
    Shortcut { sequence: "F5"; enabled: commandKeysEnabled; onActivated: continueFirst() }
    Shortcut { sequence: "F8"; enabled: commandKeysEnabled; onActivated: send("DSK_Eject") }
    Shortcut { sequence: "Shift+F8"; enabled: commandKeysEnabled; onActivated: sendAll("DSK_Eject") }

    Timer {
        interval: 1000
        repeat: true
        running: true
        onTriggered: currentTime = clockText(new Date())
    }

    Text {
        id: clock
        objectName: "clock"
        x: 20
        y: 55
        text: currentTime
        font.pixelSize: 20
        color: "white"
        style: Text.Outline
        opacity: showBoxPlayer ? 1 : 0.1
    }

    MouseArea {
        id: background
        anchors.fill: parent
        onClicked: closePanels()
        onDoubleClicked: aboutDialog.open()
    }

    MouseArea {
        anchors.fill: clock
        // from the first click on, the clock no longer follows box-player mode
        onClicked: showBoxPlayer = !showBoxPlayer
    }

    // What is on air at a glance: a lamp per layer at the bottom right, below the panels' reach
    // and clear of the error list; a click on a lamp picks its layer as the layer selector does.
    LayerLamps {
        objectName: "layerLamps"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 10
        layers: renders
        tally: main.layerOnAir
        selected: currentLayer
        onPicked: selectLayer(index)
    }

    // The operator's pick of a layer, kept for the next start.
    function selectLayer(index) {
        currentLayer = index
        settings.currentLayer = index
        updateCurrent()
    }

    Item {
        id: barArea
        anchors.fill: parent
        anchors.margins: 5
        anchors.leftMargin: 10

        RowLayout {
            id: controlBar
            objectName: "controlBar"
            spacing: 5

            MixerComboBox {
                id: comboLayer
                objectName: "comboLayer"
                Layout.preferredWidth: selectorWidth(comboLayer, model, 115)
                focusPolicy: Qt.NoFocus
                model: layerLabels(renderNumber)
                onDownChanged: if (down) {
                    comboLayerList.target = popup
                    limitList(comboLayer, main.height * 2 / 3)
                }
                onActivated: selectLayer(index)
                onCurrentIndexChanged: {
                    p("222 ")   // a fixed marker of every layer change in the trace: keep it as written
                    updateCurrent()
                }
            }

            MixerComboBox {
                id: comboBox
                objectName: "comboBox"
                Layout.preferredWidth: 200
                editable: false
                focusPolicy: Qt.NoFocus
                model: sceneLabels(queues)
                Component.onCompleted: displayText = getLayerLabel(currentIndex)
                onCurrentIndexChanged: displayText = getLayerLabel(currentIndex)
                onModelChanged: currentIndex = getGraphicsIndex(settings.currentName)
                onDownChanged: if (down) {
                    comboBoxList.target = popup
                    updateQueues()
                }
                onActivated: {
                    if (renderNumber === 0)
                        return
                    displayText = getLayerLabel(index)
                    currentIndex = index
                    settings.currentName = currentName
                    updateCurrent()
                }
            }

            // None of the window's buttons and selectors takes the keyboard focus from a click:
            // a focused Play would take Space as a second Play (Eject, Cue, Play: a re-take on
            // air). Space and Return reach only a text area the operator clicked into.
            MixerButton { text: "Cue"; focusPolicy: Qt.NoFocus; enabled: main.enabled; Layout.preferredHeight: comboBox.height; onClicked: send("DSK_Cue") }
            MixerButton { text: "Play"; focusPolicy: Qt.NoFocus; enabled: main.enabled; Layout.preferredHeight: comboBox.height; onClicked: send("DSK_Play") }
            MixerButton { text: "Stop"; focusPolicy: Qt.NoFocus; enabled: main.enabled; Layout.preferredHeight: comboBox.height; onClicked: send("DSK_Stop") }
            MixerButton { text: "Status"; focusPolicy: Qt.NoFocus; visible: false; enabled: main.enabled; Layout.preferredHeight: comboBox.height; onClicked: send("DSK_GetStatus") }
            MixerButton { text: "Eject"; focusPolicy: Qt.NoFocus; enabled: main.enabled; Layout.preferredHeight: comboBox.height; onClicked: send("DSK_Eject") }
            MixerButton { text: "Eject All"; focusPolicy: Qt.NoFocus; enabled: main.enabled; Layout.preferredHeight: comboBox.height; onClicked: sendAll("DSK_Eject") }

            MixerButton {
                id: contButton
                text: "Trigger"
                focusPolicy: Qt.NoFocus
                Layout.preferredWidth: 90
                Layout.preferredHeight: comboBox.height
                visible: currentTriggers !== null && currentTriggers !== undefined
                enabled: main.enabled

                Column {
                    y: parent.height
                    spacing: 1
                    opacity: 0.75
                    Repeater {
                        model: currentTriggers ? currentTriggers : []
                        MixerButton {
                            text: modelData.title
                            focusPolicy: Qt.NoFocus
                            width: contButton.width * 1.5
                            height: comboBox.height
                            enabled: main.enabled
                            onClicked: trigger(modelData)
                        }
                    }
                }
            }

            Item { Layout.preferredWidth: 12; height: 1 }

            MixerButton {
                text: "Edit"
                focusPolicy: Qt.NoFocus
                visible: editEnabled
                enabled: main.enabled && main.editable
                Layout.preferredHeight: comboBox.height
                onClicked: if (currentRender) currentRender.edit()
            }
        }

        // records the modifiers of every press on the bar and lets the press through
        MouseArea {
            anchors.fill: parent
            onPressed: {
                modifiers = mouse.modifiers
                mouse.accepted = false
            }
        }
    }

    FontMetrics {
        id: labelMetrics
        font: comboLayer.font
    }

    // a selector makes its list when first used: watched from then on
    Connections {
        id: comboLayerList
        target: null
        // the selector puts the selected entry at the top of its list as it opens, and again
        // as the list settles
        function onVisibleChanged() { if (comboLayer.popup.visible) showSelected(comboLayer) }
        function onOpened() { showSelected(comboLayer) }
    }

    // a selector makes its list when first used: watched from then on
    Connections {
        id: comboBoxList
        target: null
        // the selector puts the selected entry at the top of its list as it opens, and again
        // as the list settles
        function onVisibleChanged() { if (comboBox.popup.visible) showSelected(comboBox) }
        function onOpened() { showSelected(comboBox) }
    }

    function trigger(entry) {
        var queue = queues[currentIndex]
        if (queue && queue.DSK_Continue && queue.DSK_Continue.params)
            queue.DSK_Continue.params.trigger_id = entry.id
        send("DSK_Continue")
    }

    // ---- Scene files: each scene's container (<data>/<scene>/<scene>.gfxc) and the queue file

    // A scene without a container of its own starts from this text; every %1 is the scene name.
    readonly property var templateGfxc: '{\n'
        + '    "graphics_id": "%1",\n'
        + '    "title": "%1",\n'
        + '    "template_name": "%1.gfx",\n'
        + '    "duration": 0,\n'
        + '    "duration_unlimited": true,\n'
        + '\n'
        + '    "audio": true,\n'
        + '    "tc_in": 0,\n'
        + '    "template_params": [\n'
        + '    ]\n'
        + '}'

    function loadCurrentGfxc() {
        var path = getCurrentGfxc()
        var text = path ? Serialization.readTextFile(path) : ""
        return text ? text : templateGfxc.split("%1").join(currentName)
    }

    // The parsed value, or false for an empty text or one that is not JSON.
    function toJson(text) {
        if (!text)
            return false
        try {
            return JSON.parse(text)
        } catch (e) {
            p("Wrong json text:" + text)
            return false
        }
    }

    // A scene name becomes a folder and a file name inside the data directory: separators, the
    // dot folders and URL escapes could lead a write out of it, so such a name has no files.
    function isSceneName(name) {
        var s = String(name)
        return s !== "" && s !== "." && s !== ".." && !/[\/\\%?#\u0000]/.test(s)
    }

    function getGraphicsDir(n) {
        if (!n || !dataUrl || !isSceneName(n))
            return ""
        return String(dataUrl) + "/" + n
    }

    function getGraphicsGfxc(n) {
        var dir = getGraphicsDir(n)
        return dir ? dir + "/" + n + ".gfxc" : ""
    }

    function getGraphicsGfx(n) {
        var dir = getGraphicsDir(n)
        return dir ? dir + "/" + n + ".gfx" : ""
    }

    function getCurrentGfxc() { return getGraphicsGfxc(currentName) }

    function queueFilePath() { return Serialization.applicationDataDirPath + "/queue" + sBox + ".json" }

    // The Queues panel's text goes into the current scene queue member by member; members it
    // leaves out stay. No value when there is no current scene queue.
    function saveQueue(text) {
        var js
        try {
            js = JSON.parse(text)
        } catch (e) {
            p("Wrong json text:" + text)
            return false
        }
        var queue = queues[currentIndex]
        if (!queue)
            return
        if (js === null || typeof js !== "object")
            return saveQueues()
        if (js.hasOwnProperty("DSK_Cue")) {
            var name = getGraphicsId({ "DSK_Cue": js.DSK_Cue })
            if (name !== "" && !isSceneName(name)) {
                p("Wrong scene name " + name)
                return false
            }
        }
        for (var key in js)
            queue[key] = js[key]
        return saveQueues()
    }

    // The export of every scene queue: each queue's member values in member order (whole-number
    // names first). Nothing reads it back.
    function saveQueues(ifExist) {
        var path = queueFilePath()
        if (ifExist && !Serialization.isFileExists(path))
            return true
        var list = []
        queues.forEach(function (queue) {
            for (var key in queue)
                list.push(queue[key])
        })
        return writeOutcome(Serialization.writeToJsonFile(path, list), path, "Can't write queue file " + path)
    }

    // The Container panel's text is written as typed once it parses to a truthy value.
    function saveCurrentGfxc(text) {
        var js = toJson(text)
        if (!js)
            return false
        var path = getCurrentGfxc()
        if (!path)
            return false
        if (!Serialization.isFileExists(path)) {
            p("File " + path + " not found. Let's create template.")
            var missing = makeSceneFolder(currentName)
            if (missing)
                return writeOutcome(false, path, "Can't save the container of " + currentName + ": " + missing)
        }
        if (!writeOutcome(Serialization.writeToTextFile(path, text), path, "Can't write container " + path))
            return false
        updateCurrentQueue(js)
        updateCurrent()
        saveQueues(true)
        return true
    }

    // A scene's folder is made with its first container; only inside a data directory that is
    // there (the name rules keep it inside). The empty text when the folder is there, else why not.
    function makeSceneFolder(name) {
        var dir = getGraphicsDir(name)
        if (Serialization.isDirectory(dir))
            return ""
        if (!checkDataDirectory())
            return "data directory " + dataUrl + " " + missingText(String(dataUrl))
        if (!Serialization.makeDirectory(dir))
            return "can't create folder " + dir
        p("Created scene folder " + dir)
        return ""
    }

    // The scene's Cue carries the container's parameters to the layer; a container without
    // them leaves no dsk_data in the record.
    function updateCurrentQueue(js) {
        var queue = queues[currentIndex]
        var cue = queue ? queue.DSK_Cue : null
        if (!cue || typeof cue !== "object")
            return false
        if (!cue.params || typeof cue.params !== "object")
            cue.params = {}
        if (js.template_params === undefined)
            delete cue.params.dsk_data
        else
            cue.params.dsk_data = js.template_params
    }

    // The layer's play length (ms) goes into the container as ticks.
    function updateDuration() {
        var container = editPanels.Container
        if (!container)
            return false
        var duration = currentRender ? currentRender.duration : 0
        if (!duration)
            return false
        var js = toJson(container.info.text)
        if (!js || typeof js !== "object" || Array.isArray(js))
            return false
        js.duration = duration * 10000
        var text = fromJs(js)
        if (!saveCurrentGfxc(text))
            return false
        container.info.updateText(text)
        return true
    }

    // ---- Panels: the edit panels over the preview

    readonly property var editModes: ["Container", "Queues", "Responce"]
    // mode name -> { panel, info }; each panel registers itself when it is created
    property var editPanels: ({})

    // Brings the panels in line with the current scene and layer.
    function updateCurrent() {
        if (currentIndex < 0)
            currentIndex = 0
        // inside an operator command the texts follow once, when it returns
        if (dispatching > 0) {
            currentStale = true
            return
        }
        refreshPanels()
    }

    function refreshPanels() {
        var queues = editPanels.Queues
        if (queues)
            queues.info.updateText(main.queues[currentIndex] ? fromJs(main.queues[currentIndex]) : "")
        showResponce(currentRender ? currentRender.getResponce() : "")
        var container = editPanels.Container
        if (container)
            container.info.updateText(loadCurrentGfxc())
    }

    // The Responce panel lays its text out only while it is open: laying out every reply in a
    // closed panel was most of an operator command's time. A closed panel keeps the text it is
    // owed and takes it when it opens, so it shows exactly what it would have shown.
    property var responceOwed: null   // text; null when the panel shows what it should

    function showResponce(text) {
        var entry = editPanels.Responce
        if (!entry)
            return
        if (!entry.panel.visible) {
            responceOwed = text
            // as after updateText: the panel has been given its text
            entry.info.updating = false
            return
        }
        responceOwed = null
        entry.info.updateText(text)
    }

    function panelShown(mode) {
        if (mode !== "Responce" || responceOwed === null)
            return
        var text = responceOwed
        responceOwed = null
        editPanels.Responce.info.updateText(text)
    }

    function registerPanel(mode, panel, info) {
        var registry = {}
        for (var key in editPanels)
            registry[key] = editPanels[key]
        registry[mode] = { "panel": panel, "info": info }
        // a new object, so that the mode buttons see the panel
        editPanels = registry
    }

    // Typed text is saved at once; text put there by updateText never is.
    function panelTextChanged(mode, panel, info) {
        if (mode === "Responce") {
            info.cursorPosition = info.length
            return
        }
        if (info.updating)
            return
        if (mode === "Queues")
            panel.iswrong = !saveQueue(info.text)
        else if (mode === "Container")
            panel.iswrong = !saveCurrentGfxc(info.text)
    }

    // Opens the panel of `mode` when it is closed, closes it when open, and closes every other.
    function togglePanel(mode) {
        var entry = editPanels[mode]
        var open = entry ? !entry.panel.visible : false
        closePanels()
        if (entry)
            entry.panel.visible = open
    }

    function closePanels() {
        for (var mode in editPanels)
            editPanels[mode].panel.visible = false
    }

    Row {
        id: topRight
        anchors.right: parent.right
        anchors.rightMargin: 10
        y: 5

        Item {
            width: 15
            height: comboBox.height
            Rectangle {
                y: 7
                width: 10
                height: 10
                radius: 5
                border.width: 0
                color: boardEnabled ? "#5f5" : "#fd0"
            }
        }

        Repeater {
            model: editModes
            MixerButton {
                id: modeButton
                width: 100
                height: comboBox.height
                text: modelData
                focusPolicy: Qt.NoFocus
                checkable: false
                checked: editPanels[modelData] ? editPanels[modelData].panel.visible : false
                onClicked: togglePanel(modelData)

                // Every panel hangs under its own button but starts 12 pixels left of the row,
                // so the three take turns at one place.
                Item {
                    id: panel
                    objectName: "panel" + modelData
                    property bool iswrong: false
                    x: -modeButton.x - 12
                    y: modeButton.height
                    width: 350
                    height: main.height * 3 / 4
                    visible: false
                    // A closed panel keeps no keyboard focus: Space typed "blind" into a hidden
                    // Queues panel would change and save the scene's records.
                    onVisibleChanged: {
                        if (visible)
                            panelShown(modelData)
                        else if (info.activeFocus)
                            info.focus = false
                    }

                    // a press on the frame stays in the panel instead of closing it
                    MouseArea { anchors.fill: parent }

                    Rectangle {
                        anchors.fill: parent
                        anchors.margins: 10
                        color: "black"
                        opacity: 0.5
                        border.width: 1
                        border.color: panel.iswrong ? "red" : "white"
                    }

                    TextArea {
                        id: info
                        // set while the program fills the text, which is then not saved back
                        property bool updating: true
                        anchors.fill: parent
                        anchors.margins: 15
                        anchors.topMargin: 30
                        frameVisible: false
                        backgroundVisible: false
                        textColor: "white"
                        wrapMode: TextEdit.NoWrap
                        font.family: "Courier"
                        font.pointSize: 8

                        function updateText(t) {
                            updating = true
                            text = t ? t : ""
                            updating = false
                        }

                        onTextChanged: panelTextChanged(modelData, panel, info)
                    }

                    MixerButton {
                        objectName: "updateDuration"
                        visible: modelData === "Container"
                        width: 120
                        height: 20
                        x: info.x + info.width - 5 - width
                        y: info.y - 15
                        text: "Update Duration"
                        focusPolicy: Qt.NoFocus
                        enabled: main.enabled && !panel.iswrong && !!(currentRender && currentRender.duration)
                        onClicked: updateDuration()
                    }

                    Component.onCompleted: registerPanel(modelData, panel, info)
                }
            }
        }
    }

    // ---- Editor: the configuration editor dialog

    // Writes the parsed value; the running window keeps its configuration until the next start.
    function saveConfig(text) {
        var js = toJson(text)
        // anything but a JSON object would leave the next start with the default configuration
        if (!configLoader.isConfig(js))
            return false
        return configLoader.save(js)
    }

    // A configuration that could not be written does not quit: the editor stays open with the
    // operator's text, and the error list says why.
    function editorButtonClicked() {
        if (!aboutDialog.changed)
            return
        if (!saveConfig(configEdit.text)) {
            aboutDialog.keepOpen()
            listWindowProblem("Error", "Can't write config '" + configLoader.path
                              + "': the configuration is not saved and Orvane keeps running")
            return
        }
        closingSteps()
        Qt.quit()
    }

    MixerDialog {
        id: aboutDialog
        objectName: "aboutDialog"
        title: Qt.application.name + " " + Qt.application.version
        autoHide: true

        // the configuration as the editor offers it, again after every re-read of the file
        readonly property string congigText: fromJs(configLoader.config)
        // set as the text changes, so a wrong text is traced once per change
        property bool iswrong: true
        readonly property bool changed: !iswrong && configEdit.text !== congigText

        buttons: [changed ? qsTr("Save and Exit") : qsTr("OK")]
        onButtonClicked: editorButtonClicked()
        onOpened: configEdit.text = congigText

        Column {
            spacing: 5

            Rectangle {
                objectName: "boardBox"
                visible: boardEnabled
                width: 450
                height: 80
                color: "transparent"
                border.width: 1
                border.color: "lightgray"

                TextArea {
                    objectName: "boardText"
                    anchors.fill: parent
                    anchors.margins: 1
                    readOnly: true
                    frameVisible: false
                    backgroundVisible: false
                    textColor: "lightgray"
                    wrapMode: TextEdit.NoWrap
                    font.family: "Courier"
                    font.pointSize: 8
                    text: fromJs(configBoard)
                }
            }

            Rectangle {
                objectName: "configBox"
                width: 450
                height: 195
                color: "transparent"
                border.width: 1
                border.color: aboutDialog.iswrong ? "red" : "white"

                TextArea {
                    id: configEdit
                    objectName: "configText"
                    anchors.fill: parent
                    anchors.margins: 1
                    frameVisible: false
                    backgroundVisible: false
                    textColor: "white"
                    wrapMode: TextEdit.NoWrap
                    font.family: "Courier"
                    font.pointSize: 8
                    onTextChanged: aboutDialog.iswrong = !configLoader.isConfig(toJson(text))
                }
            }
        }
    }
}

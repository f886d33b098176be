import QtQuick 2.12
import QtTest 1.2
import Serialization 1.0

// What the output window does with its layers' replies: the trace, the numbered error list and
// Errors.txt, resets, relays to other layers, and replies that are not what a layer should send.
MainWindowTestCase {
    id: test
    name: "MainReplies"
    clock: 2000000000

    // stands in for the board receiver so a test sees what reaches it
    property var board: []
    property QtObject boardReceiver: QtObject {
        function resetBaseTime() { test.board.push("resetBaseTime") }
        function reply(result, guid) { test.board.push([result, guid]) }
    }

    function logPath() { return Serialization.getEnv("logDir") + "/Errors.txt" }
    function logLines() {
        var text = Serialization.readTextFile(logPath())
        return text ? text.split("\n") : [""]
    }
    function cue(layer, scene) {
        main.currentLayer = layer - 1
        main.currentIndex = scene - 1
        main.send("DSK_Cue")
        compare(render(layer).name, "SCENE-0" + scene)
    }

    function text(js) { return main.fromJs(js) }

    function initTest() {
        createMain()
        board = []
    }

    function test_ok_reply() {
        var result = text({ "_id": 2, "status": "Ok", "type": "DSK_Cue", "data": { "status": "Cued" }, "elapsed": 12 })
        ignoreWarning(trace("layer2 reply DSK_Cue 12ms  " + main.singleLine(result) + " 5"))
        ignoreWarning(trace("textureReceiver reply " + result))
        main.reply(result, 5, render(2))
        compare(main.errorn, 0)
        compare(main.errors, [])
        compare(main.error, "")

        // a command in the reply names the trace when the type is missing
        main.textureReceiver = boardReceiver
        ignoreWarning(trace("layer1 reply Reset  " + main.singleLine(text({ "command": "Reset" })) + " 6"))
        main.reply(text({ "command": "Reset" }), 6, render(1))
        compare(board, [], "a Reset is not passed on")

        // no layer: dropped
        ignoreWarning(trace("Error layer index="))
        main.reply(text({ "status": "Error", "type": "DSK_Cue", "message": "m" }), 7, null)
        ignoreWarning(trace("Error layer index="))
        main.reply(text({ "status": "Error", "type": "DSK_Cue", "message": "m" }), 7, { "index": 0 })
        compare(main.errorn, 0)
        compare(board, [])
    }

    function test_error_list_and_log() {
        main.textureReceiver = boardReceiver
        var before = logLines().length
        cue(3, 2)
        board = []
        var result = text({ "_id": 2, "type": "DSK_Play", "status": "Error", "message": "boom" })
        ignoreWarning(trace("1. Error Layer3 DSK_Play SCENE-02: boom"))
        main.reply(result, 9, render(3))
        compare(main.errorn, 1)
        compare(main.errors, ['<br><font color="#f66">&nbsp; 1. Error Layer3 DSK_Play SCENE-02: boom'])
        compare(main.error, main.errors[0])
        compare(board, [[result, 9]], "an Error without a command reaches the board receiver")

        // problems 2 to 12, Warnings in yellow; a Warning is never passed on
        for (var n = 2; n <= 12; ++n) {
            var warning = n % 3 === 0
            main.reply(text({ "type": "DSK_Cue", "status": warning ? "Warning" : "Error", "message": "p" + n }),
                       n, render(1))
        }
        compare(main.errorn, 12)
        compare(main.errors.length, 11)
        compare(main.errors[0], '<br><font color="#f66">&nbsp; 2. Error Layer1 DSK_Cue : p2')
        compare(main.errors[1], '<br><font color="#ff0">&nbsp; 3. Warning Layer1 DSK_Cue : p3')
        compare(main.errors[7], '<br><font color="#ff0">&nbsp; 9. Warning Layer1 DSK_Cue : p9')
        compare(main.errors[8], '<br><font color="#f66">10. Error Layer1 DSK_Cue : p10')
        compare(main.errors[10], '<br><font color="#ff0">12. Warning Layer1 DSK_Cue : p12')
        compare(main.error, main.errors.join("\n"))
        compare(board.length, 1 + 7, "the seven Errors, not the Warnings")

        var lines = logLines()
        compare(lines.length - before, 12, "the file gains a line per problem")
        compare(lines[lines.length - 2], "12. Warning Layer1 DSK_Cue : p12")
        compare(lines[lines.length - 13], "1. Error Layer3 DSK_Play SCENE-02: boom")
        compare(lines[lines.length - 1], "", "every line ends with a line feed")

        // shown in the window, clear of the control bar
        var list = findObject(main.contentItem, "errorList")
        verify(list)
        compare(list.text, main.error)
        var panel = findObject(main.contentItem, "errorPanel")
        compare(panel.visible, true)
        var bar = findObject(main.contentItem, "controlBar")
        verify(panel.mapToItem(main.contentItem, 0, 0).y > bar.mapToItem(main.contentItem, 0, bar.height).y)
        verify(panel.height > 0 && panel.y + panel.height <= main.contentItem.height)

        // markup in a message shows as written; the log keeps the text as it came
        main.reply(text({ "type": "DSK_Cue", "status": "Error", "message": "a <b> & c" }), 13, render(1))
        compare(main.errors[10], '<br><font color="#f66">13. Error Layer1 DSK_Cue : a &lt;b&gt; &amp; c')
        lines = logLines()
        compare(lines[lines.length - 2], "13. Error Layer1 DSK_Cue : a <b> & c")
    }

    function test_log_path() {
        var data = Serialization.applicationDataDirPath
        compare(main.errorLogPath("/var/log/orvane"), "file:////var/log/orvane/Errors.txt")
        compare(main.errorLogPath("C:/logs"), "file:///C:/logs/Errors.txt")
        // unset or relative: the application-data directory, never the root
        compare(main.errorLogPath(""), data + "/Errors.txt")
        compare(main.errorLogPath(undefined), data + "/Errors.txt")
        compare(main.errorLogPath("logs"), data + "/logs/Errors.txt")
        // the form with an absolute directory reaches that directory
        var dir = Serialization.getEnv("logDir")
        verify(Serialization.writeToTextFile(main.errorLogPath(dir), "x\n", true))
        compare(logLines()[logLines().length - 2], "x")
    }

    function test_warning_and_reset() {
        main.textureReceiver = boardReceiver
        cue(2, 1)
        board = []
        var g = main.guid
        main.reply(text({ "type": "DSK_Play", "status": "Warning", "message": "Handles too much: 40",
                          "command": "DSK_Play", "layer": 2 }), 3, render(2))
        compare(render(2).requireReset, true)
        compare(main.errors[0], '<br><font color="#ff0">&nbsp; 1. Warning Layer2 DSK_Play SCENE-01: Handles too much: 40')
        compare(main.guid, g, "the command of a Warning is not carried out")
        compare(board, [])

        main.reply(text({ "type": "DSK_Play", "status": "Warning" }), 3, render(3))
        compare(render(3).requireReset, false)
        compare(main.errors[1], '<br><font color="#ff0">&nbsp; 2. Warning Layer3 DSK_Play : ')
        main.reply(text({ "type": "DSK_Play", "status": "Warning", "message": "no Handles too much" }), 3, render(3))
        compare(render(3).requireReset, false)

        // Reset: every layer; running ones end their mixer at the next Eject
        render(2).requireReset = false
        cue(4, 1)
        board = []
        ignoreWarning(trace("resetAllRenders"))
        main.reply(text({ "status": "Ok", "command": "Reset" }), 4, render(1))
        compare(render(2).requireReset, true)
        compare(render(4).requireReset, true)
        compare(render(5).requireReset, false, "not running")
        compare(board, [])
        compare(main.errorn, 3)

        // an Error with a Reset is listed and then resets
        render(2).requireReset = false
        main.boardEnabled = true
        ignoreWarning(trace("resetAllRenders"))
        main.reply(text({ "type": "DSK_Cue", "status": "Error", "message": "lost", "command": "Reset" }), 5, render(4))
        compare(main.errorn, 4)
        compare(main.errors[3], '<br><font color="#f66">&nbsp; 4. Error Layer4 DSK_Cue SCENE-01: lost')
        compare(render(2).requireReset, true)
        compare(board, ["resetBaseTime"], "board mode resets the board's time too")
    }

    function test_relays() {
        cue(3, 2)
        cue(5, 2)
        cue(6, 4)
        main.currentLayer = 7
        main.currentIndex = 6
        var g = main.guid

        // by scene name, with a delay: the lowest layer with the scene; a loaded layer gets the
        // operator's scene ejected and cued first
        var relayed = { "params": { "time": clock + 20000000, "layer_id": 3 }, "type": "DSK_Play" }
        ignoreWarning(trace("layer3 command DSK_Play " + main.singleLine(main.fromJs(relayed)) + " guid=" + (g + 3)))
        main.reply(text({ "status": "Ok", "command": "DSK_Play", "layer": "SCENE-02", "delay": 2000 }), 1, render(1))
        compare(sent(render(3), g), [[g + 1, "DSK_Eject"], [g + 2, "DSK_Cue"], [g + 3, "DSK_Play"]])
        compare(render(3).name, "SCENE-07")
        compare(render(3).lastJS.type, "DSK_Play")
        compare(render(5).lastJS.type, "DSK_Cue")
        compare(main.currentLayer, 7, "selection unchanged")
        compare(main.currentIndex, 6)

        // by number (also as text), with a trigger
        g = main.guid
        relayed = { "params": { "trigger_id": "T1", "time": clock, "layer_id": 6 }, "type": "DSK_Continue" }
        ignoreWarning(trace("layer6 command DSK_Continue " + main.singleLine(main.fromJs(relayed)) + " guid=" + (g + 1)))
        main.reply(text({ "status": "Ok", "command": "DSK_Continue", "layer": "6", "trigger": "T1" }), 1, render(1))
        compare(render(6).lastJS.params.trigger_id, "T1")
        compare(main.currentLayer, 7)
        compare(main.currentIndex, 6)

        // to a layer with nothing loaded: a Play brings the operator's scene first
        g = main.guid
        main.reply(text({ "status": "Ok", "command": "DSK_Play", "layer": 9 }), 1, render(1))
        compare(main.guid, g + 2)
        compare(render(9).name, "SCENE-07")
        compare(render(9).lastJS.type, "DSK_Play")
        compare(main.currentLayer, 7)
        compare(main.currentIndex, 6)

        // no layer: the replying layer; a Stop to a layer with nothing loaded is dropped
        g = main.guid
        main.reply(text({ "status": "Ok", "command": "DSK_Stop" }), 1, render(6))
        compare(main.guid, g + 1)
        compare(render(6).lastJS.type, "DSK_Stop")
        compare(render(6).lastJS.params.layer_id, 6)
        g = main.guid
        main.reply(text({ "status": "Ok", "command": "DSK_Stop", "layer": 0 }), 1, render(11))
        compare(main.guid, g)

        // nowhere to go
        ignoreWarning(trace("Cant find layer 13"))
        main.reply(text({ "status": "Ok", "command": "DSK_Play", "layer": 13 }), 1, render(1))
        ignoreWarning(trace("Cant find layer SCENE-09"))
        main.reply(text({ "status": "Ok", "command": "DSK_Play", "layer": "SCENE-09" }), 1, render(1))
        compare(main.guid, g)

        // a layer being edited does not eject itself, nor others
        render(6).edited = true
        ignoreWarning(trace("layer6 is edited so skip DSK_Eject"))
        main.reply(text({ "status": "Ok", "command": "DSK_Eject", "layer": 3 }), 1, render(6))
        compare(main.guid, g)
        compare(render(3).isLoaded, true)
        render(6).edited = false
        main.reply(text({ "status": "Ok", "command": "DSK_Eject", "layer": 3 }), 1, render(6))
        compare(render(3).isLoaded, false)
        compare(main.currentLayer, 7)
        compare(main.currentIndex, 6)
    }

    // Replies no layer should send: listed or traced, never thrown, the selection kept.
    function test_bad_replies() {
        main.textureReceiver = boardReceiver
        cue(2, 3)
        main.currentLayer = 4
        main.currentIndex = 5
        var g = main.guid

        ignoreWarning(trace("1. Error Layer2  SCENE-03: Wrong reply text: oops {"))
        main.reply("oops {", 1, render(2))
        compare(main.errors[0], '<br><font color="#f66">&nbsp; 1. Error Layer2  SCENE-03: Wrong reply text: oops {')
        main.reply("[1, 2]", 1, render(2))
        main.reply("null", 1, render(2))
        main.reply(undefined, 1, render(2))
        compare(main.errorn, 4)

        ignoreWarning(trace("Cant find layer [object Object]"))
        main.reply(text({ "status": "Ok", "command": "DSK_Play", "layer": { "n": 2 } }), 1, render(2))
        compare(main.guid, g)

        ignoreWarning(trace("Wrong delay abc, taken as 0"))
        var relayed = { "params": { "time": clock, "layer_id": 2 }, "type": "DSK_Stop" }
        ignoreWarning(trace("layer2 command DSK_Stop " + main.singleLine(main.fromJs(relayed)) + " guid=" + (g + 1)))
        main.reply(text({ "status": "Ok", "command": "DSK_Stop", "delay": "abc" }), 1, render(2))
        compare(main.guid, g + 1)

        ignoreWarning(trace("Wrong command 5"))
        main.reply(text({ "status": "Ok", "command": 5 }), 1, render(2))
        compare(main.guid, g + 1)

        // an Error whose relay fails is still listed
        ignoreWarning(trace("Cant find layer 40"))
        main.reply(text({ "status": "Error", "type": 7, "message": { "a": 1 }, "command": "DSK_Play", "layer": 40 }),
                   1, render(2))
        compare(main.errors[4], '<br><font color="#f66">&nbsp; 5. Error Layer2 7 SCENE-03: [object Object]')
        compare(main.currentLayer, 4)
        compare(main.currentIndex, 5)
    }

    // A nested dispatch that fails half-way (here a scene queue broken so that reading its Cue
    // throws) still gives the operator's selection back.
    function test_failed_nesting_restores_selection() {
        cue(2, 4)
        main.currentLayer = 2
        main.currentIndex = 3
        Object.defineProperty(main.queues[3], "DSK_Cue", { get: function () { throw new Error("queue broken") } })
        var thrown = ""
        try {
            main.reply(text({ "status": "Ok", "command": "DSK_Play", "layer": 5 }), 1, render(1))
        } catch (e) {
            thrown = e.message
        }
        compare(thrown, "queue broken")
        compare(main.currentLayer, 2)
        compare(main.currentIndex, 3)

        main.currentIndex = -1
        thrown = ""
        try {
            main.sendAll("DSK_Eject")
        } catch (e) {
            thrown = e.message
        }
        compare(thrown, "queue broken")
        compare(main.currentLayer, 2)
        compare(main.currentIndex, -1)
    }
}

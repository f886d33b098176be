import QtQuick 2.12
import QtTest 1.2
import Serialization 1.0

// Dispatch in the output window: the Eject and Cue that a command needs first, the guid each
// command takes, the records the layers get, the media pick, Eject All and routing. The layers
// are real renders with their in-process stub mixers, which answer at once.
MainWindowTestCase {
    name: "MainDispatch"
    clock: 1000000000

    function initTest() { createMain() }

    // Every row of the pre-step table, on a layer never started and on one with nothing loaded.
    function test_pre_steps() {
        var layer1 = main.renders.itemAt(0)
        var g = main.guid
        compare(g, 0)

        // nothing loaded (mixer not started yet): Stop, GetStatus and Continue send nothing
        ;["DSK_Stop", "DSK_GetStatus", "DSK_Continue", "DSK_Whatever"].forEach(function (type) {
            main.send(type)
            compare(main.guid, g, type)
        })
        compare(layer1.active, false)

        main.send("DSK_Cue")
        compare(sent(layer1, g), [[g + 1, "DSK_Cue"]])
        compare(layer1.isLoaded, true)

        g = main.guid
        main.send("DSK_Cue")
        compare(sent(layer1, g), [[g + 1, "DSK_Eject"], [g + 2, "DSK_Cue"]])

        g = main.guid
        main.send("DSK_Play")
        compare(sent(layer1, g), [[g + 1, "DSK_Eject"], [g + 2, "DSK_Cue"], [g + 3, "DSK_Play"]])
        compare(layer1.visible, true)

        ;["DSK_Stop", "DSK_GetStatus", "DSK_Continue"].forEach(function (type) {
            g = main.guid
            main.send(type)
            compare(sent(layer1, g), [[g + 1, type]], "loaded " + type)
        })

        g = main.guid
        main.send("DSK_Eject")
        compare(sent(layer1, g), [[g + 1, "DSK_Eject"]])
        compare(layer1.isLoaded, false)
        compare(layer1.active, true, "the mixer keeps running")

        // running, nothing loaded
        g = main.guid
        main.send("DSK_Eject")
        compare(sent(layer1, g), [[g + 1, "DSK_Eject"]])
        g = main.guid
        main.send("DSK_Stop")
        compare(main.guid, g)
        main.send("DSK_Play")
        compare(sent(layer1, g), [[g + 1, "DSK_Cue"], [g + 2, "DSK_Play"]])

        // Eject on a layer never started starts its mixer for it
        main.currentLayer = 1
        var layer2 = main.renders.itemAt(1)
        g = main.guid
        main.send("DSK_Eject")
        compare(sent(layer2, g), [[g + 1, "DSK_Eject"]])
        g = main.guid
        main.send("DSK_Play")
        compare(sent(layer2, g), [[g + 1, "DSK_Cue"], [g + 2, "DSK_Play"]])
        compare(layer1.queues.filter(function (e) { return e.guid > g }).length, 0, "only the current layer")
    }

    function test_records_sent() {
        var stored = main.queues[2]
        main.currentLayer = 4
        main.currentIndex = 2
        var g = main.guid
        var cue = { "_id": 3, "type": "DSK_Cue", "params": { "layer_id": 5, "head_id": 1, "enable_audio": "True",
                    "dsk_data": "", "graphics_id": "SCENE-03" } }
        var play = { "_id": 3, "type": "DSK_Play", "params": { "layer_id": 5, "head_id": 1, "time": clock,
                     "transition_type": "Fade", "transition_duration": 0 } }
        ignoreWarning(trace("!!! send type=DSK_Play lastType=undefined loaded=false q=undefined"))
        ignoreWarning(trace("layer5 command DSK_Cue " + main.singleLine(main.fromJs(cue)) + " guid=" + (g + 1)))
        ignoreWarning(trace("layer5 command DSK_Play " + main.singleLine(main.fromJs(play)) + " guid=" + (g + 2)))
        main.send("DSK_Play")
        compare(main.guid, g + 2)
        // the stored records name the layer now and keep their time offset
        compare(stored.DSK_Cue.params.layer_id, 5)
        compare(stored.DSK_Play.params.layer_id, 5)
        compare(stored.DSK_Play.params.time, 0)
        compare(stored.DSK_Eject.params.layer_id, 3, "not sent, not changed")
        compare(main.renders.itemAt(4).name, "SCENE-03")

        // a record of the caller's own goes out instead of the stored one; pre-steps stay stored ones
        g = main.guid
        var own = { "type": "DSK_Cue", "params": { "graphics_id": "OWN" } }
        main.send("DSK_Cue", own)
        compare(sent(main.renders.itemAt(4), g), [[g + 1, "DSK_Eject"], [g + 2, "DSK_Cue"]])
        compare(main.renders.itemAt(4).queues[main.renders.itemAt(4).queues.length - 2].js._id, 3)
        compare(own.params.layer_id, 5)
        compare(main.renders.itemAt(4).name, "OWN")
    }

    function test_no_layer_or_no_scene() {
        // no current scene: the pre-step Cue and the Play both stop, guid unchanged
        main.currentIndex = -1
        var g = main.guid
        ignoreWarning(trace("Wrong currentIndex -1 guid=" + g))
        ignoreWarning(trace("Wrong currentIndex -1 guid=" + g))
        main.send("DSK_Play")
        compare(main.guid, g)
        compare(main.renders.itemAt(0).active, false)

        main.currentIndex = 0
        main.currentLayer = -1
        ignoreWarning(trace("Wrong currentLayer -1 guid=" + g))
        main.send("DSK_Cue")
        compare(main.guid, g)
        main.currentLayer = 0
    }

    function test_media_pick() {
        var dir = Serialization.getEnv("ORVANE_TEST_TMP")
        // oldest first, by the files' modification times and not by their names
        var names = ["d.mp4", "b.avi", "c.mov", "a.wmv"]
        verify(Serialization.writeToTextFile(dir + "/z.txt", "not a video"))
        names.forEach(function (name) {
            wait(30)
            verify(Serialization.writeToTextFile(dir + "/" + name, name))
        })
        compare(main.medias.length, 0)
        createMain({ "mediaFolder": "file://" + dir })
        tryVerify(function () { return main.medias.length === 4 }, 5000)
        compare(main.medias.map(String), names.map(function (n) { return "file://" + dir + "/" + n }))

        var layer = main.renders.itemAt(0)
        var g = main.guid
        main.currentIndex = 2
        main.send("DSK_Stop")
        compare(main.guid, g, "nothing sent")
        compare(String(layer.media), "", "only a Cue chooses the layer's video")
        ignoreWarning(trace("set media file://" + dir + "/c.mov"))
        main.send("DSK_Cue")
        compare(String(layer.media), "file://" + dir + "/c.mov")
        // the operator moves on to another scene: an Eject of the layer keeps what it has
        main.currentIndex = 0
        main.send("DSK_Eject")
        compare(String(layer.media), "file://" + dir + "/c.mov", "kept by the Eject")

        main.currentIndex = 5
        main.send("DSK_Cue")
        compare(String(layer.media), "", "no entry for scene 6: no media")

        main.currentIndex = -1
        main.send("DSK_Cue")
        compare(String(layer.media), "", "no scene, no media")

        // another folder and back: the list is the folder's, each file once
        main.mediaFolder = "file://" + Serialization.getEnv("logDir")
        compare(main.medias.length, 0)
        main.mediaFolder = "file://" + dir
        compare(main.medias.map(String), names.map(function (n) { return "file://" + dir + "/" + n }))
    }

    function test_eject_all() {
        var g = main.guid
        main.currentLayer = 1
        main.currentIndex = 2
        main.send("DSK_Cue")
        main.currentLayer = 3
        main.currentIndex = 0
        main.send("DSK_Cue")
        // layer 5 runs a scene that is no scene of the window
        main.currentLayer = 4
        main.send("DSK_Cue", { "type": "DSK_Cue", "params": { "graphics_id": "OTHER" } })
        // layer 6 ran and has nothing loaded
        main.currentLayer = 5
        main.send("DSK_Cue")
        main.send("DSK_Eject")
        compare(main.renders.itemAt(4).name, "OTHER")

        main.currentLayer = 7
        main.currentIndex = 8
        g = main.guid
        // layer 5: no scene, no Eject
        ignoreWarning(trace("Wrong currentIndex -1 guid=" + (g + 2)))
        main.sendAll("DSK_Eject")
        compare(main.currentLayer, 7)
        compare(main.currentIndex, 8)
        compare(main.renders.itemAt(1).lastJS._id, 3)
        compare(main.renders.itemAt(1).lastJS.params.layer_id, 2)
        compare(sent(main.renders.itemAt(1), g), [[g + 1, "DSK_Eject"]])
        compare(main.renders.itemAt(3).lastJS._id, 1)
        compare(main.renders.itemAt(3).lastJS.params.layer_id, 4)
        compare(sent(main.renders.itemAt(3), g), [[g + 2, "DSK_Eject"]])
        compare(sent(main.renders.itemAt(4), g), [])
        compare(sent(main.renders.itemAt(5), g), [[g + 3, "DSK_Eject"]], "running, so ejected again")
        compare(main.guid, g + 3)
        for (var i = 0; i < 12; ++i)
            if ([1, 3, 4, 5].indexOf(i) < 0)
                compare(main.renders.itemAt(i).active, false, "layer " + (i + 1) + " untouched")

        // the operator had no scene: still none afterwards
        main.currentIndex = -1
        main.sendAll("DSK_Eject")
        compare(main.currentLayer, 7)
        compare(main.currentIndex, -1)
    }

    function test_routing() {
        var g = main.guid
        var record = { "_id": 4, "type": "DSK_Play", "params": { "layer_id": 13 } }
        var text = main.fromJs(record)
        ignoreWarning(trace("layer13 command DSK_Play " + main.singleLine(text) + " guid=77"))
        ignoreWarning(trace("Error layer index="))
        main.mixerQueue(text, 77, true)
        // not delivered, and the operator is told which record and why
        compare(main.errorn, 1)
        compare(main.errors[0].replace(/<[^>]*>|&nbsp; /g, ""),
                "1. Error Record DSK_Play _id 4 not sent: layer_id 13 names no layer (1 to 12)")
        compare(main.guid, g)

        // a layer number that is not a whole number names no layer
        ignoreWarning(trace("Error layer index="))
        main.mixerQueue(main.fromJs({ "type": "DSK_Cue", "params": { "layer_id": "1" } }), 78, true)
        ignoreWarning(trace("Error layer index="))
        main.mixerQueue(main.fromJs({ "type": "DSK_Cue", "params": { "layer_id": 1.5 } }), 79, true)
        ignoreWarning(trace("Wrong json text:not json"))
        ignoreWarning(trace("Error layer index="))
        main.mixerQueue("not json", 80, true)
        ignoreWarning(trace("Error layer index="))
        main.mixerQueue(main.fromJs({ "type": "DSK_Stop", "params": "layer 2" }), 82, true)
        compare(main.renders.itemAt(0).active, false)
        compare(main.errorn, 5)
        var listed = main.errors.map(function (line) { return line.replace(/<[^>]*>|&nbsp; /g, "") })
        compare(listed.slice(1), [
            "2. Error Record DSK_Cue not sent: layer_id \"1\" names no layer (1 to 12)",
            "3. Error Record DSK_Cue not sent: layer_id 1.5 names no layer (1 to 12)",
            "4. Error Record not json not sent: the text is no JSON object",
            "5. Error Record DSK_Stop not sent: its params must be a JSON object"])

        // a scene record replaced through the Queues panel by something that is no record
        main.queues[0].DSK_Eject = 5
        main.currentLayer = 0
        main.currentIndex = 0
        ignoreWarning(trace("Wrong currentIndex 0 guid=" + main.guid))
        main.send("DSK_Eject")
        compare(main.errorn, 6)
        compare(main.errors[5].replace(/<[^>]*>|&nbsp; /g, ""),
                "6. Error Record DSK_Eject of SCENE-01 not sent: it is 5, not a record")

        // a routed record goes to the layer it names, as it is
        main.mixerQueue(main.fromJs({ "_id": 9, "type": "DSK_Cue", "params": { "layer_id": 3, "graphics_id": "X" } }), 81, true)
        compare(main.renders.itemAt(2).name, "X")
        compare(main.renders.itemAt(2).lastGuid, 81)
    }

    function test_reset_all() {
        main.send("DSK_Cue")
        compare(main.renders.itemAt(0).active, true)
        ignoreWarning(trace("resetAllRenders"))
        main.resetAllRenders()
        compare(main.renders.itemAt(0).requireReset, true, "a running layer ends its mixer at the next Eject")
        compare(main.renders.itemAt(1).requireReset, false)
        main.closeAllRenders()
        compare(main.renders.itemAt(0).active, true, "closing leaves the layers running")
    }
}

import QtQuick 2.12
import QtTest 1.2
import "../qml"

// Faults the soak found, each held to its mended behaviour on the real window.
MainWindowTestCase {
    name: "SoakFindings"
    clock: 2000000000

    function initTest() { createMain() }

    // Stop and Continue reach the mixer without an answer; on air for days they must not grow
    // the layer's history without end.
    function test_unanswered_commands_keep_history_bounded() {
        var layer = main.renders.itemAt(0)
        main.send("DSK_Cue")
        verify(layer.isLoaded)
        var last = 0
        for (var i = 0; i < 30; ++i) {
            main.send(i % 2 ? "DSK_Stop" : "DSK_Continue")
            last = main.guid
        }
        verify(layer.queues.length <= 11, layer.queues.length)
        compare(layer.queues[layer.queues.length - 1].guid, last)
        compare(layer.queues[layer.queues.length - 1].js.type, "DSK_Stop")
        // the newest entries are still found, for the replies that come late
        compare(layer.getQueueByGuid(last).js.type, "DSK_Stop")
    }

    // A Queues edit may give the scene's Cue a graphics_id that is no text: the scene then has no
    // name (and no files), instead of keeping a name its Cue no longer has.
    function test_scene_name_that_is_not_text() {
        compare(main.currentName, "SCENE-01")
        var values = [5, { "a": 1 }, ["SCENE-02"], true]
        for (var i = 0; i < values.length; ++i) {
            main.saveQueue(JSON.stringify({ "DSK_Cue": { "type": "DSK_Cue", "params": { "graphics_id": values[i] } } }))
            // the name follows the queue when the scene is picked again
            main.currentIndex = 1
            main.currentIndex = 0
            compare(main.currentName, "", JSON.stringify(values[i]))
            compare(main.getCurrentGfxc(), "")
            compare(main.getGraphicsId(main.queues[0]), "")
        }
        main.saveQueue(JSON.stringify({ "DSK_Cue": { "type": "DSK_Cue", "params": { "graphics_id": "SCENE-01" } } }))
        main.currentIndex = 1
        main.currentIndex = 0
        compare(main.currentName, "SCENE-01")
    }
}

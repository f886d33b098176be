import QtQuick 2.12
import QtTest 1.2

// The output window's scene queues and selection: what a build makes, when a build is skipped so
// that in-place changes stay, and the operator's layer and scene coming back at the next start.
MainWindowTestCase {
    name: "MainQueues"

    function test_build_records_and_lookups() {
        var main = createWindow()
        compare(main.queues.length, 9)
        compare(main.sdirs, "SCENE-01\nSCENE-02\nSCENE-03\nSCENE-04\nSCENE-05\nSCENE-06\nSCENE-07\nSCENE-08\nSCENE-09")
        var scene3 = main.queues[2]
        compare(Object.keys(scene3), ["DSK_Cue", "DSK_Play", "DSK_Stop", "DSK_Eject", "DSK_GetStatus",
                                      "DSK_Continue", "triggers"])
        compare(JSON.stringify(scene3.DSK_Cue), JSON.stringify({ "_id": 3, "type": "DSK_Cue", "params": {
            "layer_id": 3, "head_id": 1, "enable_audio": "True", "dsk_data": "", "graphics_id": "SCENE-03" } }))
        compare(JSON.stringify(scene3.DSK_Play), JSON.stringify({ "_id": 3, "type": "DSK_Play", "params": {
            "layer_id": 3, "head_id": 1, "time": 0, "transition_type": "Fade", "transition_duration": 0 } }))
        compare(JSON.stringify(scene3.DSK_Stop), JSON.stringify({ "_id": 3, "type": "DSK_Stop", "params": {
            "layer_id": 3, "head_id": 1, "time": 0, "transition_type": "Fade", "transition_duration": 0 } }))
        compare(JSON.stringify(scene3.DSK_Eject), JSON.stringify({ "_id": 3, "type": "DSK_Eject", "params": {
            "layer_id": 3, "head_id": 1 } }))
        compare(JSON.stringify(scene3.DSK_GetStatus), JSON.stringify({ "_id": 3, "type": "DSK_GetStatus",
            "params": { "layer_id": 3, "head_id": 1 } }))
        compare(JSON.stringify(scene3.DSK_Continue), JSON.stringify({ "_id": 3, "type": "DSK_Continue",
            "params": { "layer_id": 3, "head_id": 1, "trigger_id": "", "time": 0 } }))
        verify(scene3.triggers === null)
        verify(main.queues[0].DSK_Cue !== main.queues[1].DSK_Cue, "no two scenes share a record")
        compare(main.queues[8].DSK_Cue.params.graphics_id, "SCENE-09")

        compare(main.getGraphicsIndex("SCENE-04"), 3)
        compare(main.getGraphicsIndex("SCENE-10"), -1)
        compare(main.getGraphicsIndex(0), -1)
        compare(main.getGraphicsIndex(undefined), -1)
        compare(main.getLayerLabel(0, true), "1. SCENE-01")
        compare(main.getLayerLabel(0), "    SCENE-01")
        compare(main.getLayerLabel(8, true), "9. SCENE-09")
        compare(main.getLayerLabel(9, true), "")
        compare(main.getLayerLabel(-1), "")

        main.setCurrentGraphics("SCENE-07")
        compare(main.currentIndex, 6)
        compare(main.currentName, "SCENE-07")
        main.setCurrentGraphics("no such scene")
        compare(main.currentIndex, 0, "an unknown scene ends at the first once the panels refresh")
        compare(main.currentName, "SCENE-01")

        // a fresh home: layer 1 and the first scene
        compare(main.currentLayer, 0)
        verify(main.currentRender === main.renders.itemAt(0))
        compare(main.enabled, true)
        compare(main.editable, false)
        main.currentLayer = 11
        verify(main.currentRender === main.renders.itemAt(11), "follows at once")
        main.currentLayer = -1
        verify(main.currentRender === null)
        compare(main.enabled, false)
    }

    function test_early_return_and_rebuild() {
        var main = createWindow()
        var built = main.queues
        main.queues[2].DSK_Play.params.time = 7
        main.queues[2].triggers = [{ "id": "t", "title": "T" }]

        // with a current layer the queues and their in-place changes stay
        main.currentLayer = 3
        main.currentIndex = 5
        main.updateQueues()
        verify(main.queues === built)
        compare(main.queues[2].DSK_Play.params.time, 7)
        compare(main.currentLayer, 3, "selection untouched")
        compare(main.currentIndex, 5)

        // no data directory: nothing changes
        main.currentLayer = -1
        main.dataUrl = ""
        main.updateQueues()
        verify(main.queues === built)
        compare(main.queues[2].DSK_Play.params.time, 7)

        // no current layer: a full rebuild drops every change and restores the stored selection
        main.dataUrl = "Layers"
        main.currentLayer = -1
        main.updateQueues()
        verify(main.queues !== built)
        compare(main.queues[2].DSK_Play.params.time, 0)
        verify(main.queues[2].triggers === null)
        compare(main.currentLayer, 0, "stored layer")
        compare(main.currentIndex, 0)

        // a stored layer beyond the last one: no current layer, so every call rebuilds
        var settings = findObject(main, "settings")
        settings.currentLayer = 40
        main.currentLayer = -1
        main.updateQueues()
        compare(main.currentLayer, 40)
        verify(main.currentRender === null)
        built = main.queues
        built[0].DSK_Cue.params.dsk_data = "x"
        main.updateQueues()
        verify(main.queues !== built)
        compare(main.queues[0].DSK_Cue.params.dsk_data, "")
        settings.currentLayer = 0
    }

    // The layer's loaded scene wins over the stored one when the queues are rebuilt.
    function test_loaded_scene_restored() {
        var main = createWindow()
        main.currentLayer = 0
        main.currentIndex = 4
        main.send("DSK_Cue")
        compare(main.renders.itemAt(0).name, "SCENE-05")
        main.currentIndex = 1
        main.currentLayer = -1
        main.updateQueues()
        compare(main.currentLayer, 0)
        compare(main.currentName, "SCENE-05")
    }

    // The operator's layer and scene come back at the next start, although the first build runs
    // before the settings have their stored values.
    function test_selection_across_runs() {
        var first = createWindow()
        first.currentLayer = 4
        first.currentIndex = 6
        ignoreWarning(/^------closing /)
        first.close()
        first.destroy()
        windows = []
        wait(0)

        var second = createWindow()
        compare(second.currentLayer, 4)
        compare(second.currentIndex, 6)
        compare(second.currentName, "SCENE-07")
        verify(second.currentRender === second.renders.itemAt(4))
        compare(findObject(second, "settings").currentLayer, 4)

        // the restored build counts: in-place changes now stay
        second.queues[6].DSK_Cue.params.dsk_data = "kept"
        second.updateQueues()
        compare(second.queues[6].DSK_Cue.params.dsk_data, "kept")

        var settings = findObject(second, "settings")
        settings.currentLayer = 0
        settings.currentName = "SCENE-01"
    }
}

import QtQuick 2.12
import QtTest 1.2

// The operator's function keys: each reaches the current layer with the current scene as its
// button does, and none fires while a text area (an edit panel, the configuration editor) has the
// keyboard focus.
MainWindowTestCase {
    name: "MainKeys"

    function initTest() {
        createMain()
        main.requestActivate()
        tryCompare(main, "active", true)
    }

    function test_keys_reach_layer() {
        main.currentLayer = 4
        main.currentIndex = 2
        var layer = render(5)
        var g = main.guid
        keyClick(Qt.Key_F3)
        compare(sent(layer, g), [[g + 1, "DSK_Cue"]])
        compare(layer.name, "SCENE-03")
        keyClick(Qt.Key_F2)
        compare(sent(layer, g + 1), [[g + 2, "DSK_Eject"], [g + 3, "DSK_Cue"], [g + 4, "DSK_Play"]])
        compare(layer.visible, true)
        keyClick(Qt.Key_F1)
        compare(sent(layer, g + 4), [[g + 5, "DSK_Stop"]])

        // F5 continues at the scene's first trigger, or with an empty trigger_id without one
        keyClick(Qt.Key_F5)
        compare(layer.lastJS.type, "DSK_Continue")
        compare(layer.lastJS.params.trigger_id, "")
        main.queues[2].triggers = [{ "id": "intro", "title": "Intro" }, { "id": "outro", "title": "Outro" }]
        main.currentIndex = 0
        main.currentIndex = 2
        keyClick(Qt.Key_F5)
        compare(layer.lastJS.type, "DSK_Continue")
        compare(layer.lastJS.params.trigger_id, "intro")
        compare(main.guid, g + 7)

        keyClick(Qt.Key_F8)
        compare(layer.lastJS.type, "DSK_Eject")
        compare(layer.isLoaded, false)

        // Shift+F8 ejects every running layer, each with its own scene; the selection stays
        main.currentLayer = 1
        keyClick(Qt.Key_F3)
        main.currentLayer = 6
        main.currentIndex = 5
        keyClick(Qt.Key_F3)
        main.currentLayer = 0
        main.currentIndex = 1
        g = main.guid
        keyClick(Qt.Key_F8, Qt.ShiftModifier)
        compare(sent(render(2), g), [[g + 1, "DSK_Eject"]])
        compare(render(2).lastJS._id, 3)
        compare(sent(render(5), g), [[g + 2, "DSK_Eject"]])
        compare(sent(render(7), g), [[g + 3, "DSK_Eject"]])
        compare(render(7).lastJS._id, 6)
        compare(main.guid, g + 3)
        compare(main.currentLayer, 0)
        compare(main.currentIndex, 1)
    }

    function pressEveryKey() {
        keyClick(Qt.Key_F3)
        keyClick(Qt.Key_F2)
        keyClick(Qt.Key_F1)
        keyClick(Qt.Key_F5)
        keyClick(Qt.Key_F8)
        keyClick(Qt.Key_F8, Qt.ShiftModifier)
    }

    function test_no_key_fires_while_typing() {
        main.currentLayer = 2
        keyClick(Qt.Key_F3)
        var g = main.guid
        for (var i = 0; i < main.editModes.length; ++i) {
            var mode = main.editModes[i]
            main.togglePanel(mode)
            var info = main.editPanels[mode].info
            info.forceActiveFocus()
            verify(main.isTextEditor(main.activeFocusItem), mode)
            pressEveryKey()
            compare(main.guid, g, mode)
            compare(render(3).isLoaded, true, mode)
        }

        // the configuration editor is a window of its own
        var dialog = findObject(main, "aboutDialog")
        dialog.open()
        tryCompare(dialog, "visible", true)
        dialog.requestActivate()
        tryCompare(dialog, "active", true)
        findObject(dialog, "configText").forceActiveFocus()
        pressEveryKey()
        compare(main.guid, g)
        dialog.close()

        // back on the window with the panels closed, the keys work again
        main.closePanels()
        main.requestActivate()
        tryCompare(main, "active", true)
        main.contentItem.forceActiveFocus()
        verify(!main.isTextEditor(main.activeFocusItem))
        keyClick(Qt.Key_F8)
        compare(main.guid, g + 1)
        compare(render(3).isLoaded, false)
    }
}

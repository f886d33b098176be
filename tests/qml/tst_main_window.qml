import QtQuick 2.12
import QtQuick.Window 2.12
import QtTest 1.2
import Serialization 1.0

// The output window as a window on the operator's desktop: the editor's size, the selectors'
// labels and lists, the keyboard after a click, and where each output opens. Also run under a
// window manager (openbox, test qml/tst_main_window_openbox), which sizes and places windows.
MainWindowTestCase {
    id: test
    name: "MainWindow"

    readonly property bool managed: Serialization.getEnv("ORVANE_WINDOW_MANAGER") !== ""

    function initTest() { createMain() }

    // The label's text fits in the space its box leaves beside the drop-down arrow.
    function labelFits(combo) {
        var field = combo.contentItem
        return field.contentWidth <= field.width - field.leftPadding - field.rightPadding + 0.5
    }

    // The entry is drawn whole inside the open list.
    function entryShown(list, index) {
        var entry = list.itemAtIndex(index)
        return entry !== null && entry.y >= list.contentY - 0.5
               && entry.y + entry.height <= list.contentY + list.height + 0.5
    }

    function openList(combo) {
        mouseClick(combo)
        tryCompare(combo.popup, "opened", true)
        return combo.popup.contentItem
    }

    function closeList(combo) {
        combo.popup.close()
        tryCompare(combo.popup, "visible", false)
    }

    // The editor opens at its size (a window manager once left it at 160 x 160), and never
    // becomes smaller than what it shows.
    // Open at 450 x 275 and still so a moment later: a window manager's own answer to the map
    // comes before it hands the window the keyboard.
    function openedAtItsSize(dialog) {
        dialog.open()
        tryCompare(dialog, "active", true)
        tryCompare(dialog, "width", 450)
        tryCompare(dialog, "height", 275)
        wait(200)
        compare(dialog.width, 450)
        compare(dialog.height, 275)
    }

    function test_editor_size() {
        var dialog = findObject(main, "aboutDialog")
        openedAtItsSize(dialog)
        compare(dialog.minimumWidth, 450)
        compare(dialog.minimumHeight, 275)
        var button = dialog.buttonRepeater.itemAt(0)
        var bottom = button.mapToItem(null, 0, button.height).y
        verify(bottom <= dialog.height, "button in view: " + bottom)
        var box = findObject(dialog.contentItem, "configBox")
        compare(box.mapToItem(null, 0, 0).y >= 0, true)
        if (managed) {
            // asked to shrink, the window manager keeps the least size
            dialog.width = 200
            dialog.height = 100
            tryCompare(dialog, "width", 450)
            tryCompare(dialog, "height", 275)
            // made larger, the text and the buttons stay in view
            dialog.width = 700
            dialog.height = 500
            tryCompare(dialog, "width", 700)
            tryCompare(dialog, "height", 500)
            verify(button.mapToItem(null, 0, button.height).y <= 500)
            verify(box.mapToItem(null, 0, box.height).y <= button.mapToItem(null, 0, 0).y)
        }
        dialog.hide()

        // opened again, it has its size again
        openedAtItsSize(dialog)
        dialog.hide()
    }

    function test_selector_labels() {
        var comboLayer = findObject(main, "comboLayer")
        for (var i = 0; i < 12; ++i) {
            main.currentLayer = i
            compare(comboLayer.displayText, "Layer " + (i + 1))
            verify(labelFits(comboLayer), comboLayer.displayText + " fits")
        }
        verify(comboLayer.width >= 115)
        // with a desktop's larger font the box grows with its labels
        comboLayer.font.pixelSize = 24
        tryVerify(function () { return labelFits(comboLayer) }, 2000, "Layer 12 at 24 pixels")
        verify(comboLayer.width > 115)
        var comboBox = findObject(main, "comboBox")
        verify(comboBox.x >= comboLayer.x + comboLayer.width, "the scene selector moves aside")
    }

    // An open list shows the selected entry highlighted, with the two before it in view.
    function test_selector_lists() {
        var comboLayer = findObject(main, "comboLayer")
        main.height = 400   // the layer list is then shorter than its twelve entries
        var cases = [11, 9, 0, 1, 5]
        for (var c = 0; c < cases.length; ++c) {
            var layer = cases[c]
            main.currentLayer = layer
            var list = openList(comboLayer)
            verify(list.height < list.contentHeight, "the list scrolls")
            compare(comboLayer.highlightedIndex, layer)
            compare(list.currentIndex, layer)
            tryVerify(function () { return entryShown(list, layer) }, 2000, "layer " + (layer + 1) + " in view")
            compare(list.itemAtIndex(layer).highlighted, true)
            for (var k = 0; k < 12; ++k)
                if (k !== layer && list.itemAtIndex(k))
                    compare(list.itemAtIndex(k).highlighted, false, "entry " + k + " with layer " + (layer + 1))
            for (var before = Math.max(0, layer - 2); before < layer; ++before)
                verify(entryShown(list, before), "entry " + before + " before layer " + (layer + 1))
            closeList(comboLayer)
            compare(main.currentLayer, layer)
        }

        var comboBox = findObject(main, "comboBox")
        main.currentIndex = 7
        var scenes = openList(comboBox)
        compare(comboBox.highlightedIndex, 7)
        compare(scenes.currentIndex, 7)
        tryVerify(function () { return entryShown(scenes, 7) })
        verify(entryShown(scenes, 5) && entryShown(scenes, 6))
        compare(scenes.itemAtIndex(7).highlighted, true)
        closeList(comboBox)
    }

    // After a click on a button or a selector, Space and Return do nothing: a focused Play once
    // took Space as Eject, Cue, Play again, a re-take on air.
    function test_keys_after_clicks() {
        main.requestActivate()
        tryCompare(main, "active", true)
        var layer = render(1)
        click("Play")
        compare(layer.lastJS.type, "DSK_Play")
        var g = main.guid
        var keys = [Qt.Key_Space, Qt.Key_Return, Qt.Key_Enter, Qt.Key_Down, Qt.Key_Up]
        var pressAll = function () { keys.forEach(function (key) { keyClick(key) }) }
        pressAll()
        compare(main.guid, g, "no command from the keys after Play")
        ;["Cue", "Stop", "Eject", "Eject All", "Queues"].forEach(function (text) {
            click(text)
            g = main.guid
            pressAll()
            compare(main.guid, g, "no command from the keys after " + text)
            verify(!main.activeFocusItem || main.activeFocusItem.text !== text, text + " has no focus")
        })
        main.closePanels()

        // the selectors: picked with the mouse, then the keys change nothing
        var comboLayer = findObject(main, "comboLayer")
        var list = openList(comboLayer)
        mouseClick(list.itemAtIndex(3))
        tryCompare(comboLayer.popup, "visible", false)
        compare(main.currentLayer, 3)
        var comboBox = findObject(main, "comboBox")
        var scenes = openList(comboBox)
        mouseClick(scenes.itemAtIndex(2))
        tryCompare(comboBox.popup, "visible", false)
        compare(main.currentIndex, 2)
        g = main.guid
        pressAll()
        compare(main.currentLayer, 3)
        compare(main.currentIndex, 2)
        verify(!comboLayer.popup.visible && !comboBox.popup.visible)
        compare(main.guid, g)
        verify(main.activeFocusItem !== comboLayer && main.activeFocusItem !== comboBox)

        // a text area the operator clicked into takes the keys
        click("Queues")
        var info = main.editPanels.Queues.info
        mouseClick(info, 20, 20)
        tryCompare(info, "activeFocus", true)
        var text = info.text
        keyClick(Qt.Key_Return)
        compare(info.text.length, text.length + 1)
        keyClick(Qt.Key_Backspace)
        compare(info.text, text)
        // and once its panel is closed, the keys no longer reach it
        mouseClick(main.contentItem, 400, 700)
        compare(main.editPanels.Queues.panel.visible, false)
        g = main.guid
        pressAll()
        compare(info.text, text)
        compare(main.guid, g)
    }

    // A list opened with the mouse takes the keys of a desktop list; once it closes, the keys
    // reach the selector no more.
    function test_selector_keys() {
        main.requestActivate()
        tryCompare(main, "active", true)
        var comboLayer = findObject(main, "comboLayer")
        var keys = function (list) { list.forEach(function (key) { keyClick(key) }) }
        main.currentLayer = 4
        openList(comboLayer)
        var moved = function (list) { keys(list); return comboLayer.highlightedIndex }
        compare([moved([Qt.Key_Down, Qt.Key_Down, Qt.Key_Up]), moved([Qt.Key_End]), moved([Qt.Key_Home])], [5, 11, 0])
        keys([Qt.Key_Escape])
        tryCompare(comboLayer.popup, "visible", false)
        compare(main.currentLayer, 4, "Escape picks nothing")
        openList(comboLayer)
        keys([Qt.Key_End, Qt.Key_Up, Qt.Key_Return])
        tryCompare(comboLayer.popup, "visible", false)
        compare([main.currentLayer, settingsOf(main).currentLayer], [10, 10])
        var comboBox = findObject(main, "comboBox")
        main.currentIndex = 2
        openList(comboBox)
        keys([Qt.Key_Down, Qt.Key_Return])
        tryCompare(comboBox.popup, "visible", false)
        compare([main.currentIndex, settingsOf(main).currentName], [3, main.currentName])
        var g = main.guid
        keys([Qt.Key_Space, Qt.Key_Return, Qt.Key_Down])
        verify(!comboLayer.popup.visible && !comboBox.popup.visible)
        compare([main.currentLayer, main.currentIndex, main.guid], [10, 3, g])
        verify(!comboLayer.activeFocus && !comboBox.activeFocus)
    }

    // Outputs 0 to 3 open one below the other: each control bar stays in view under the next
    // window's title bar; output 4 takes output 0's place again.
    function test_output_places() {
        var places = [0, 1, 2, 3, 4, -1].map(function (box) { return main.windowPlace(1920, 1080, 1600, 920, box) })
        compare(places.map(function (p) { return [p.x, p.y] }),
                [[160, 24], [160, 94], [160, 164], [160, 234], [160, 24], [160, 234]])
        // a screen with room for them all spreads them around its middle
        var tall = [0, 3].map(function (box) { return main.windowPlace(1920, 1440, 1600, 920, box).y })
        compare(tall, [155, 365])
        // this window is output 0
        compare(main.iBox, 0)
        var expected = main.windowPlace(Screen.width, Screen.height, main.width, main.height, 0)
        tryCompare(main, "x", expected.x)
        tryCompare(main, "y", expected.y)
    }
}

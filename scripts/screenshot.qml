import QtQuick 2.12
import QtTest 1.2
import Serialization 1.0

// Drives the real output window as an operator would for the README's pictures: Layer 3,
// "SCENE-02", Play, and Play once more, so the trace shows the Eject, Cue and Play records with
// their replies (play.png); then the open Queues panel (queues.png), the layers' lamps with Layer 3
// on air and Layer 5 cued (lamps.png), and the configuration editor opened by a double click on
// the background (editor.png), all in the folder named by ORVANE_SCREENSHOT_DIR. Run by
// screenshot.sh.
TestCase {
    id: driver
    name: "Screenshot"
    when: windowShown

    property var main: null
    property int saved: 0

    function save(item, dir, name) {
        var before = saved
        item.grabToImage(function (result) {
            if (result.saveToFile(dir + "/" + name))
                saved += 1
        })
        tryCompare(driver, "saved", before + 1, 5000)
    }

    // The screen's pixels in `area` (x, y, width, height) to `file`, every window included.
    function grab(file, area) {
        var tool = Serialization.getEnv("ORVANE_SCREENGRAB")
        verify(Process.run(tool, [file].concat(area)) !== 0, "screengrab starts: " + tool)
        tryVerify(function () { return Serialization.isFileExists(file) }, 10000)
    }

    function objectNamed(list, name) {
        for (var i = 0; i < list.length; ++i)
            if (list[i] && list[i].objectName === name)
                return list[i]
        return null
    }

    function pick(combo, index) {
        mouseClick(combo)
        tryCompare(combo.popup, "opened", true)
        combo.popup.contentItem.positionViewAtIndex(index, 0)
        var entry = combo.popup.contentItem.itemAtIndex(index)
        verify(entry)
        mouseClick(entry)
        tryCompare(combo.popup, "visible", false)
        wait(300)
    }

    function button(text, item) {
        var list = item.children || []
        for (var i = 0; i < list.length; ++i) {
            var c = list[i]
            if (c.text === text && c.clicked !== undefined && c.visible)
                return c
            var found = button(text, c)
            if (found)
                return found
        }
        return null
    }

    function find(item, name) {
        var list = item.children || []
        for (var i = 0; i < list.length; ++i) {
            if (list[i].objectName === name)
                return list[i]
            var found = find(list[i], name)
            if (found)
                return found
        }
        return null
    }

    function test_play() {
        var dir = Serialization.getEnv("ORVANE_SCREENSHOT_DIR")
        verify(dir !== "", "ORVANE_SCREENSHOT_DIR names the folder for the pictures")
        var component = Qt.createComponent("../qml/main.qml")
        verify(component.status === Component.Ready, component.errorString())
        main = component.createObject(null)
        tryCompare(main.contentItem, "width", 1600)

        pick(find(main.contentItem, "comboLayer"), 2)
        pick(find(main.contentItem, "comboBox"), 1)
        var play = button("Play", main.contentItem)
        mouseClick(play)
        wait(600)
        mouseClick(play)
        var layer = main.renders.itemAt(2)
        compare(layer.name, "SCENE-02")
        tryCompare(layer, "visible", true)
        tryCompare(layer, "opacity", 1)
        // let the placeholder turn a little and the clock show
        wait(1500)

        save(main.contentItem, dir, "play.png")

        // the Queues panel shows the current scene's stored records
        mouseClick(button("Queues", main.contentItem))
        var panel = find(main.contentItem, "panelQueues")
        verify(panel)
        tryCompare(panel, "visible", true)
        wait(300)
        save(main.contentItem, dir, "queues.png")

        mouseClick(button("Queues", main.contentItem))
        tryCompare(panel, "visible", false)

        // the layers' lamps: Layer 3 on air, Layer 5 cued (and selected by a click on its lamp)
        var lamps = find(main.contentItem, "layerLamps")
        verify(lamps)
        mouseClick(find(lamps, "lamp5"))
        compare(main.currentLayer, 4)
        pick(find(main.contentItem, "comboBox"), 3)
        mouseClick(button("Cue", main.contentItem))
        tryCompare(main.renders.itemAt(4), "isLoaded", true)
        wait(300)
        var corner = lamps.mapToGlobal(0, 0)
        var margin = 16
        grab(dir + "/lamps.png", [corner.x - margin, corner.y - margin, lamps.width + 2 * margin,
                                  lamps.height + 2 * margin])

        // a double click on the background opens the configuration editor
        mouseDoubleClickSequence(main.contentItem, 800, 700)
        var editor = objectNamed(main.data, "aboutDialog")
        verify(editor)
        tryCompare(editor, "visible", true)
        wait(500)
        // the editor is a window of its own: take the screen where the output window is, as the
        // operator sees it
        grab(dir + "/editor.png", [main.x, main.y, main.width, main.height])
    }
}

import QtQuick 2.12
import QtTest 1.2
import Serialization 1.0

// Drives the real output window as an operator would for the README's picture: Layer 3,
// "SCENE-02", Play, and Play once more, so the trace shows the Eject, Cue and Play records with
// their replies. Saves the window to the file named by ORVANE_SCREENSHOT. Run by screenshot.sh.
TestCase {
    id: driver
    name: "Screenshot"
    when: windowShown

    property var main: null
    property bool saved: false

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
        var path = Serialization.getEnv("ORVANE_SCREENSHOT")
        verify(path !== "", "ORVANE_SCREENSHOT names the picture")
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

        main.contentItem.grabToImage(function (result) {
            saved = result.saveToFile(path)
        })
        tryCompare(driver, "saved", true, 5000)
    }
}

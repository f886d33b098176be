import QtQuick 2.12
import QtQuick.Window 2.12
import QtTest 1.2
import Serialization 1.0

// The operator's side of the output window, driven with the mouse and keys: the control bar's
// buttons reaching the layers, the selectors, the clock, Ctrl on Eject, F11 and the background.
MainWindowTestCase {
    name: "MainChrome"

    function initTest() { createMain() }

    function test_buttons_reach_layer() {
        main.currentLayer = 2
        main.currentIndex = 1
        var layer = render(3)
        click("Cue")
        compare(layer.lastJS.type, "DSK_Cue")
        compare(layer.name, "SCENE-02")
        compare(layer.isLoaded, true)
        click("Play")
        compare(layer.lastJS.type, "DSK_Play")
        compare(layer.visible, true)
        click("Stop")
        compare(layer.lastJS.type, "DSK_Stop")
        click("Eject")
        compare(layer.lastJS.type, "DSK_Eject")
        compare(layer.isLoaded, false)
        verify(!button("Status"), "Status is hidden")

        // Eject All over two running layers, the selection kept
        click("Cue")
        main.currentLayer = 5
        main.currentIndex = 3
        click("Cue")
        main.currentLayer = 0
        var g = main.guid
        click("Eject All")
        compare(layer.lastJS.type, "DSK_Eject")
        compare(layer.lastJS._id, 2)
        compare(render(6).lastJS.type, "DSK_Eject")
        compare(render(6).lastJS._id, 4)
        compare(main.guid, g + 2)
        compare(main.currentLayer, 0)
        compare(main.currentIndex, 3)

        // Edit needs a scene loaded on the layer
        compare(button("Edit").enabled, false)
        main.currentLayer = 2
        click("Cue")
        compare(button("Edit").enabled, true)
    }

    function test_trigger_list() {
        verify(!button("Trigger"), "no triggers, no Trigger button")
        main.queues[1].triggers = []
        main.currentIndex = 1
        verify(button("Trigger"), "an empty list shows the button")
        main.queues[1].triggers = [{ "id": "intro", "title": "Intro" }, { "id": "outro", "title": "Outro" }]
        verify(!button("Outro"), "an in-place change shows after the next scene change")
        main.currentIndex = 0
        main.currentIndex = 1
        var outro = button("Outro")
        verify(outro)
        compare(outro.width, button("Trigger").width * 1.5)

        main.currentLayer = 3
        click("Cue")
        var g = main.guid
        click("Outro")
        compare(main.queues[1].DSK_Continue.params.trigger_id, "outro")
        compare(render(4).lastJS.type, "DSK_Continue")
        compare(render(4).lastJS.params.trigger_id, "outro")
        compare(main.guid, g + 1)
    }

    function test_selectors() {
        var comboBox = findObject(main.contentItem, "comboBox")
        var comboLayer = findObject(main.contentItem, "comboLayer")
        compare(comboLayer.count, 12)
        compare(comboLayer.textAt(11), "Layer 12")
        compare(comboBox.count, 9)
        compare(comboBox.textAt(1), "2. SCENE-02")
        main.currentIndex = 1
        compare(comboBox.displayText, "    SCENE-02")
        main.currentIndex = -1
        compare(comboBox.displayText, "")
        main.currentIndex = 4

        // the operator opens the scene list: the queues stay, the selected entry is the list's
        // current one (drawn highlighted)
        var queues = main.queues
        mouseClick(comboBox)
        tryCompare(comboBox.popup, "opened", true)
        verify(main.queues === queues)
        compare(comboBox.popup.contentItem.currentIndex, 4)
        compare(comboBox.highlightedIndex, 4)
        // and picks "7. SCENE-07"
        var settings = settingsOf(main)
        comboBox.popup.contentItem.positionViewAtIndex(6, 0)
        var entry = comboBox.popup.contentItem.itemAtIndex(6)
        verify(entry)
        mouseClick(entry)
        tryCompare(comboBox.popup, "visible", false)
        compare(main.currentIndex, 6)
        compare(comboBox.displayText, "    SCENE-07")
        compare(settings.currentName, "SCENE-07")

        // the layer list is never taller than two thirds of the window
        main.height = 300
        main.currentLayer = 1
        mouseClick(comboLayer)
        tryCompare(comboLayer.popup, "opened", true)
        verify(comboLayer.popup.height <= 200)
        compare(comboLayer.popup.contentItem.currentIndex, 1)
        comboLayer.popup.contentItem.positionViewAtIndex(2, 0)
        mouseClick(comboLayer.popup.contentItem.itemAtIndex(2))
        tryCompare(comboLayer.popup, "visible", false)
        compare(main.currentLayer, 2)
        compare(settings.currentLayer, 2)
        settings.currentLayer = 0
        settings.currentName = "SCENE-01"
    }

    // The layers' lamps: red on air, yellow cued and not shown, dark otherwise; a click picks and
    // stores the layer; the row covers neither the clock, the open panel nor the error list.
    function test_layer_lamps() {
        var lamps = findObject(main.contentItem, "layerLamps")
        var colours = function () {
            return [1, 2, 3, 4].map(function (n) {
                var c = findObject(lamps, "lamp" + n).color
                return Qt.colorEqual(c, lamps.onAirColor) ? "red" : Qt.colorEqual(c, lamps.cuedColor) ? "yellow" : "dark"
            }).join()
        }
        verify(findObject(lamps, "lamp12") && !findObject(lamps, "lamp13"))
        main.currentLayer = 2
        click("Cue")
        compare(colours(), "dark,dark,yellow,dark")
        ;[["Play", "red"], ["Stop", "yellow"], ["Play", "red"], ["Eject", "dark"]].forEach(function (step) {
            click(step[0])
            tryVerify(function () { return colours() === "dark,dark," + step[1] + ",dark" }, 5000, step[0])
        })
        main.listWindowProblem("Error", "a problem long enough to reach far across the bottom of the window")
        click("Queues")
        var box = lamps.mapToItem(null, 0, 0, lamps.width, lamps.height)
        ;["clock", "panelQueues", "errorPanel"].forEach(function (name) {
            var r = findObject(main.contentItem, name)
            r = r.mapToItem(null, 0, 0, r.width, r.height)
            verify(r.x + r.width <= box.x || r.y + r.height <= box.y, name + " clear of the lamps")
        })
        mouseClick(findObject(lamps, "lamp7"))
        compare([main.currentLayer, settingsOf(main).currentLayer], [6, 6])
        settingsOf(main).currentLayer = 0
    }

    // Box-player mode: no layers, nothing to press, a picked scene is not stored.
    function test_box_player() {
        main.destroy()
        var defaultText = Serialization.readTextFile(configPath())
        verify(Serialization.writeToTextFile(configPath(), JSON.stringify(
            { "boardEnabled": true, "board": "KeshBoxPlayer 3", "directory": "Layers" })))
        main = createWindow()
        verify(Serialization.writeToTextFile(configPath(), defaultText))
        compare(main.renderNumber, 0)
        compare(main.boardEnabled, true)
        var comboLayer = findObject(main.contentItem, "comboLayer")
        compare(comboLayer.count, 0)
        compare(main.enabled, false)
        ;["Cue", "Play", "Stop", "Eject", "Eject All", "Edit"].forEach(function (text) {
            verify(button(text), text)
            compare(button(text).enabled, false, text)
        })
        ignoreWarning(/^------Wrong currentLayer -?\d+ guid=0 $/)
        main.send("DSK_Play")
        main.sendAll("DSK_Eject")
        compare(main.guid, 0)

        var settings = settingsOf(main)
        var stored = settings.currentName
        var comboBox = findObject(main.contentItem, "comboBox")
        comboBox.currentIndex = 5
        comboBox.activated(5)
        compare(main.currentIndex, 5)
        compare(settings.currentName, stored, "not stored")
        // the status dot shows board mode
        var dot = findBelow(main.contentItem, function (c) { return c.radius === 5 && c.width === 10 })
        verify(dot, "status dot")
        compare(String(dot.color), "#55ff55")
    }

    function test_clock() {
        compare(main.elapsedText(3723000), "01:02:03")
        compare(main.elapsedText(3723999), "01:02:03")
        compare(main.elapsedText(360000000), "100:00:00")
        compare(main.elapsedText(59000), "00:00:59")
        var later = new Date(main.startTime.getTime() + 3723000)
        compare(main.clockText(later), Qt.formatDateTime(later, "yyyy-MM-dd hh:mm:ss") + "  (01:02:03)")

        var clock = findObject(main.contentItem, "clock")
        compare(clock.opacity, 0.1)
        tryVerify(function () { return main.currentTime !== "" }, 3000)
        verify(/^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  \(00:00:0\d\)$/.test(main.currentTime), main.currentTime)
        compare(clock.text, main.currentTime)
        compare(clock.x, 20)
        compare(clock.y, 55)
        // a click on the clock shows it fully
        mouseClick(clock)
        compare(main.showBoxPlayer, true)
        compare(clock.opacity, 1)
    }

    // Ctrl held on Eject ends the layer's mixer, so the press's modifiers are known before the
    // Eject reaches the layer.
    function test_ctrl_eject() {
        compare(main.exitOnEject, false)
        var layer = render(1)
        click("Cue")
        compare(main.modifiers, Qt.NoModifier)
        click("Eject")
        compare(layer.active, true, "a plain Eject keeps the mixer")
        click("Cue")
        click("Eject", Qt.ControlModifier)
        compare(main.modifiers & Qt.ControlModifier, Qt.ControlModifier)
        compare(layer.active, false)
        tryCompare(layer, "mixer", null)
        compare(main.modifiers & Qt.ControlModifier, Qt.ControlModifier, "kept after the release")
        click("Cue")
        compare(main.modifiers, Qt.NoModifier)
        compare(layer.active, true, "started again")
    }

    function test_fullscreen_key() {
        main.requestActivate()
        tryCompare(main, "active", true)
        compare(main.visibility, Window.Windowed)
        keyClick(Qt.Key_F11)
        tryCompare(main, "visibility", Window.FullScreen)
        keyClick(Qt.Key_F11)
        tryCompare(main, "visibility", Window.Windowed)
    }

    function test_background_closes_panels() {
        var mode = main.editModes[1]
        verify(main.editPanels[mode], "the panels register themselves")
        var panel = main.editPanels[mode].panel
        click(mode)
        compare(panel.visible, true)
        // a press inside the panel keeps it open
        mouseClick(panel, panel.width / 2, panel.height / 2)
        compare(panel.visible, true)
        mouseClick(main.contentItem, 400, 700)
        compare(panel.visible, false)
        click(mode)
        compare(panel.visible, true)
        // the mode button closes its own panel
        click(mode)
        compare(panel.visible, false)
    }
}

import QtQuick 2.12
import QtTest 1.2
import Serialization 1.0

// The edit panels of the output window on real files: the scene containers in the data
// directory ("Layers" in the test's application-data directory), the queue file beside the
// configuration, and the three panels at their place over the preview.
MainWindowTestCase {
    name: "MainPanels"

    readonly property string appData: Serialization.applicationDataDirPath
    readonly property string queuePath: appData + "/queue.json"

    function sceneDir(name) { return appData + "/Layers/" + name }
    function gfxcPath(name) { return sceneDir(name) + "/" + name + ".gfxc" }

    function panel(mode) { return findObject(main.contentItem, "panel" + mode) }
    function info(mode) { return main.editPanels[mode].info }

    // The set-up makes scene folders with a plain mkdir, beside the program.
    function makeDir(path) {
        verify(Process.run("mkdir", ["-p", path]) !== 0, "mkdir " + path)
        tryVerify(function () { return Serialization.isFileExists(path) }, 5000, path)
    }

    function removeFile(path) {
        verify(Process.run("rm", ["-f", path]) !== 0, "rm " + path)
        tryVerify(function () { return !Serialization.isFileExists(path) }, 5000, path)
    }

    // Typed as if by the operator: not through updateText, so the panel saves it.
    function type(mode, text) {
        info(mode).text = text
        return !panel(mode).iswrong
    }

    // The detour makes currentName follow in-place changes of the queue; the panels then follow.
    function select(index) {
        main.currentIndex = index === 0 ? 1 : 0
        main.currentIndex = index
        main.updateCurrent()
    }

    function queueEntries() { return Serialization.readFromJsonFile(queuePath) }

    function initCase() {
        makeDir(sceneDir("SCENE-01"))
        makeDir(sceneDir("SCENE-02"))
        main = createWindow()
        select(0)
        compare(main.currentName, "SCENE-01")
        // the refresh reached every panel, so typed text is saved from now on
        main.editModes.forEach(function (mode) {
            verify(main.editPanels[mode], mode)
            compare(main.editPanels[mode].info.updating, false, mode)
        })
        verify(info("Container").text.indexOf('"graphics_id": "SCENE-01"') > 0)
    }

    // Back to freshly built queues on scene 1, with every panel closed and unmarked.
    function cleanupTest() {
        main.sdirs = ""
        main.updateQueues()
        select(0)
        main.closePanels()
        main.editModes.forEach(function (mode) { panel(mode).iswrong = false })
    }

    function test_registry_and_scene_files() {
        compare(main.editModes, ["Container", "Queues", "Responce"])
        compare(Object.keys(main.editPanels).sort(), ["Container", "Queues", "Responce"])
        main.editModes.forEach(function (mode) {
            compare(main.editPanels[mode].panel, panel(mode))
            compare(main.editPanels[mode].info.parent, panel(mode), mode)
        })
        compare(main.getGraphicsDir("SCENE-04"), "Layers/SCENE-04")
        compare(main.getGraphicsGfxc("SCENE-04"), "Layers/SCENE-04/SCENE-04.gfxc")
        compare(main.getGraphicsGfx("SCENE-04"), "Layers/SCENE-04/SCENE-04.gfx")
        compare(main.getCurrentGfxc(), "Layers/SCENE-01/SCENE-01.gfxc")
        compare(main.getGraphicsDir(""), "")
        compare(main.getGraphicsGfxc(""), "")
        compare(main.getGraphicsGfx(""), "")
        compare(main.toJson(""), false)
        compare(main.toJson("0"), 0)
        compare(main.toJson('{"a": [1]}'), { "a": [1] })
        ignoreWarning(/^------Wrong json text:\{a $/)
        compare(main.toJson("{a"), false)
    }

    function test_container_template_and_saving() {
        // a scene without a container file, and without a folder
        select(2)
        var expected = '{\n    "graphics_id": "SCENE-03",\n    "title": "SCENE-03",\n'
            + '    "template_name": "SCENE-03.gfx",\n    "duration": 0,\n    "duration_unlimited": true,\n'
            + '\n    "audio": true,\n    "tc_in": 0,\n    "template_params": [\n    ]\n}'
        compare(info("Container").text, expected)
        compare(main.loadCurrentGfxc(), expected)
        compare(main.templateGfxc.split("%1").join("SCENE-03"), expected)
        // its folder is missing: the first save makes it, inside the data directory
        verify(!Serialization.isFileExists(sceneDir("SCENE-03")))
        ignoreWarning(/File Layers\/SCENE-03\/SCENE-03\.gfxc not found/)
        verify(type("Container", '{"template_params": [1]}'))
        verify(Serialization.isDirectory(sceneDir("SCENE-03")))
        compare(Serialization.readTextFile(gfxcPath("SCENE-03")), '{"template_params": [1]}')
        compare(main.queues[2].DSK_Cue.params.dsk_data, [1])
        compare(main.errorn, 0, "nothing to report")

        // a scene with a folder: the typed text is the file, its parameters go to the Cue record
        removeFile(queuePath)
        select(0)
        var text = '{ "graphics_id": "SCENE-01",\n  "template_params": [{ "name": "f0", "value": "Hello" }] }'
        ignoreWarning(/File Layers\/SCENE-01\/SCENE-01\.gfxc not found\. Let's create template\./)
        verify(type("Container", text))
        compare(Serialization.readTextFile(gfxcPath("SCENE-01")), text)
        compare(main.queues[0].DSK_Cue.params.dsk_data, [{ "name": "f0", "value": "Hello" }])
        compare(JSON.parse(info("Queues").text).DSK_Cue.params.dsk_data, [{ "name": "f0", "value": "Hello" }],
                "the Queues panel shows the new dsk_data")
        compare(info("Container").text, text)
        verify(!Serialization.isFileExists(queuePath), "container saves create no queue file")

        // once there is a queue file, each container save brings it up to date
        verify(main.saveQueues())
        verify(type("Container", '{"title": "x"}'))
        verify(!main.queues[0].DSK_Cue.params.hasOwnProperty("dsk_data"), "no template_params, no dsk_data")
        verify(main.fromJs(main.queues[0].DSK_Cue).indexOf("dsk_data") < 0)
        verify(!queueEntries()[0].params.hasOwnProperty("dsk_data"))
        compare(Serialization.readTextFile(gfxcPath("SCENE-01")), '{"title": "x"}')

        // valid JSON that is falsy, or no JSON at all: red border, nothing written
        var wrong = ["0", "false", "null", '""', ""]
        for (var i = 0; i < wrong.length; ++i) {
            verify(!type("Container", wrong[i]), wrong[i])
            compare(Serialization.readTextFile(gfxcPath("SCENE-01")), '{"title": "x"}', wrong[i])
        }
        ignoreWarning(/^------Wrong json text:\{"template_params": \[1\] $/)
        verify(!type("Container", '{"template_params": [1]'))
        compare(Serialization.readTextFile(gfxcPath("SCENE-01")), '{"title": "x"}')
        verify(!main.queues[0].DSK_Cue.params.hasOwnProperty("dsk_data"))
        compare(main.saveCurrentGfxc("null"), false)

        // the next valid text clears the red border
        verify(type("Container", '{"template_params": []}'))
        compare(main.queues[0].DSK_Cue.params.dsk_data, [])

        // a saved container is read back, also after a change of scene
        select(1)
        compare(info("Container").text, expected.split("SCENE-03").join("SCENE-02"))
        select(0)
        compare(info("Container").text, '{"template_params": []}')
    }

    // Real keystrokes: each one saves, and the text stays where the operator types.
    function test_typing_into_the_container() {
        main.requestActivate()
        tryVerify(function () { return main.active })
        main.togglePanel("Container")
        var area = info("Container")
        verify(type("Container", '{"template_params": [1]}'))
        area.forceActiveFocus()
        area.cursorPosition = area.text.indexOf("1") + 1
        keyClick("2")
        keyClick("3")
        compare(area.text, '{"template_params": [123]}')
        compare(Serialization.readTextFile(gfxcPath("SCENE-01")), '{"template_params": [123]}')
        compare(main.queues[0].DSK_Cue.params.dsk_data, [123])
        ignoreWarning(/^------Wrong json text:\{"template_params": \[123,\]\} $/)
        keyClick(",")
        verify(panel("Container").iswrong)
        compare(Serialization.readTextFile(gfxcPath("SCENE-01")), '{"template_params": [123]}')
        keyClick(Qt.Key_Backspace)
        verify(!panel("Container").iswrong)
    }

    function test_queue_file_and_triggers() {
        removeFile(queuePath)
        var triggers = [{ "id": "t1", "title": "First" }, { "id": "t2", "title": "Second" }]
        verify(type("Queues", JSON.stringify({ "triggers": triggers })))
        var entries = queueEntries()
        compare(entries.length, 63)
        var types = ["DSK_Cue", "DSK_Play", "DSK_Stop", "DSK_Eject", "DSK_GetStatus", "DSK_Continue"]
        for (var scene = 0; scene < 9; ++scene) {
            for (var k = 0; k < 6; ++k) {
                compare(entries[scene * 7 + k].type, types[k])
                compare(entries[scene * 7 + k].params.layer_id, scene + 1)
            }
            compare(entries[scene * 7].params.graphics_id, main.sceneNames[scene])
            compare(entries[scene * 7 + 6], scene === 0 ? triggers : null)
        }
        compare(main.queues[0].triggers, triggers)

        // the Trigger button follows after the next change of the scene selection
        compare(main.currentTriggers, null)
        select(0)
        compare(main.currentTriggers, triggers)
        var first = findText(main.contentItem, "First")
        verify(first, "a button for the first trigger")
        tryVerify(function () { return first.visible }, 1000, "the Trigger list is shown")

        // a list: its elements become members named by position, first in the scene's entries
        verify(type("Queues", '["zero", {"one": 1}]'))
        entries = queueEntries()
        compare(entries.length, 65)
        compare(entries[0], "zero")
        compare(entries[1], { "one": 1 })
        compare(entries[2].type, "DSK_Cue")
        compare(entries[8], triggers)
        compare(entries[9].type, "DSK_Cue")
        compare(entries[9].params.graphics_id, "SCENE-02")

        // members the text leaves out stay; 0, false and null change nothing but still save
        verify(type("Queues", '{"extra": "e", "1": "ONE"}'))
        entries = queueEntries()
        compare(entries.length, 66)
        compare(entries[1], "ONE")
        compare(entries[8], triggers)
        compare(entries[9], "e", "other names follow triggers")
        var scalars = ["0", "false", "null"]
        for (var i = 0; i < scalars.length; ++i) {
            removeFile(queuePath)
            verify(type("Queues", scalars[i]), scalars[i])
            compare(queueEntries().length, 66, scalars[i])
        }

        // not JSON: red border, nothing written
        var before = Serialization.readTextFile(queuePath)
        ignoreWarning(/^------Wrong json text:\{"triggers": $/)
        verify(!type("Queues", '{"triggers":'))
        ignoreWarning(/^------Wrong json text: $/)
        verify(!type("Queues", ""))
        compare(Serialization.readTextFile(queuePath), before)

        // the panel's own refresh is not saved back, and the red border stays until the next edit
        main.updateCurrent()
        verify(panel("Queues").iswrong)
        compare(JSON.parse(info("Queues").text)["0"], "zero")
        compare(Serialization.readTextFile(queuePath), before)

        // no current scene queue: red border
        main.queues = []
        verify(!type("Queues", "{}"))
        compare(main.saveQueue("{}"), undefined)
    }

    function findText(item, text) { return findBelow(item, function (c) { return c.text === text }) }

    function test_path_safety() {
        verify(main.saveQueues())
        var before = Serialization.readTextFile(queuePath)
        var names = ["../../escape", "a/b", "..", ".", "x\\y", "%2e%2e", "a?b", "a#b"]
        for (var i = 0; i < names.length; ++i) {
            var text = JSON.stringify({ "DSK_Cue": { "type": "DSK_Cue", "params": { "graphics_id": names[i] } } })
            ignoreWarning("------Wrong scene name " + names[i] + " ")
            verify(!type("Queues", text), names[i])
            compare(main.queues[0].DSK_Cue.params.graphics_id, "SCENE-01", names[i])
            compare(main.getGraphicsDir(names[i]), "", names[i])
            compare(main.getGraphicsGfxc(names[i]), "", names[i])
        }
        compare(Serialization.readTextFile(queuePath), before, "the queue file is untouched")

        // a plain new name is taken as before
        verify(type("Queues", JSON.stringify({ "DSK_Cue": { "type": "DSK_Cue",
                                                             "params": { "graphics_id": "SCENE-10" } } })))
        compare(main.queues[0].DSK_Cue.params.graphics_id, "SCENE-10")

        // a name that got into the queue some other way still reaches no file
        main.queues[0].DSK_Cue.params.graphics_id = "../outside"
        select(0)
        compare(main.currentName, "../outside")
        compare(main.getCurrentGfxc(), "")
        verify(!type("Container", '{"title": "t"}'))
        verify(!Serialization.isFileExists(appData + "/outside.gfxc"))
        verify(!Serialization.isFileExists(appData + "/outside"))
        verify(!main.queues[0].DSK_Cue.params.hasOwnProperty("dsk_data") || main.queues[0].DSK_Cue.params.dsk_data === "")
    }

    function test_panel_places_and_switching() {
        var place = null
        var topRow = panel("Container").parent.parent
        main.editModes.forEach(function (mode) {
            var item = panel(mode)
            var button = item.parent
            verify(!item.visible, mode + " starts closed")
            mouseClick(button)
            verify(item.visible, mode)
            verify(button.checked, mode)
            main.editModes.forEach(function (other) {
                if (other !== mode)
                    verify(!panel(other).visible, other + " closes when " + mode + " opens")
            })
            compare(item.width, 350)
            compare(item.height, 690)
            var at = item.mapToItem(main.contentItem, 0, 0)
            compare(at.x, topRow.mapToItem(main.contentItem, 0, 0).x - 12)
            compare(at.y, button.mapToItem(main.contentItem, 0, button.height).y)
            if (place === null)
                place = at
            compare(at.x, place.x)
            compare(at.y, place.y)
            wait(500)   // the next click on the same button is no double click
        })
        mouseClick(panel("Responce").parent)
        verify(!panel("Responce").visible, "a second click closes the panel")
        verify(!panel("Responce").parent.checked)

        // a click into the panel keeps it open, a click on the background closes it
        main.togglePanel("Queues")
        mouseClick(panel("Queues"), 5, 5)
        verify(panel("Queues").visible)
        mouseClick(main.contentItem, 800, 600)
        verify(!panel("Queues").visible)

        // the height follows the window
        main.height = 800
        tryCompare(panel("Queues"), "height", 600)
        main.height = 920
        tryCompare(panel("Queues"), "height", 690)
    }

    function test_responce_panel() {
        verify(main.saveQueues())
        var queueText = Serialization.readTextFile(queuePath)
        var containerText = Serialization.readTextFile(gfxcPath("SCENE-01"))
        main.togglePanel("Responce")
        var lines = []
        for (var i = 0; i < 200; ++i)
            lines.push('{ "status": "Ok", "line": ' + i + ' }')
        info("Responce").text = lines.join("\n")
        compare(info("Responce").cursorPosition, info("Responce").text.length, "the newest reply is in view")
        tryVerify(function () { return info("Responce").flickableItem.contentY > 0 })
        verify(!panel("Responce").iswrong)
        compare(Serialization.readTextFile(queuePath), queueText, "the Responce panel never saves")
        compare(Serialization.readTextFile(gfxcPath("SCENE-01")), containerText)
        main.updateCurrent()
        compare(info("Responce").text, main.currentRender.getResponce())

        // replies from a command replace it too
        main.send("DSK_Cue")
        tryVerify(function () { return info("Responce").text.indexOf("Cued") >= 0 })
        compare(info("Responce").text, main.currentRender.getResponce())
        main.send("DSK_Eject")
    }

    // A closed Responce panel opened after many replies, also of another layer, shows the latest.
    function test_responce_panel_opened_after_replies() {
        main.currentLayer = 1
        main.send("DSK_Play")
        main.currentLayer = 0
        main.togglePanel("Responce")
        var shown = info("Responce").text
        main.closePanels()
        for (var i = 0; i < 8; ++i)
            main.send(i % 2 === 0 ? "DSK_Play" : "DSK_Eject")
        main.sendAll("DSK_Eject")
        verify(!panel("Responce").visible)
        var latest = main.currentRender.getResponce()
        verify(latest !== shown)
        verify(latest.indexOf('"Idle"') > 0)
        main.togglePanel("Responce")
        compare(info("Responce").text, latest)
        compare(info("Responce").cursorPosition, latest.length, "the newest reply is in view")

        // text typed into the open panel stays until the next reply or refresh, closed or not
        info("Responce").text = "typed"
        main.closePanels()
        main.togglePanel("Responce")
        compare(info("Responce").text, "typed")
        main.closePanels()
        main.send("DSK_Cue")
        main.togglePanel("Responce")
        compare(info("Responce").text, main.currentRender.getResponce())
        main.send("DSK_Eject")
    }

    function test_update_duration() {
        // the stub mixer sets no play length
        main.togglePanel("Container")
        var button = findObject(panel("Container"), "updateDuration")
        verify(button)
        verify(button.visible)
        verify(!findObject(panel("Queues"), "updateDuration").visible)
        compare(button.width, 120)
        compare(button.height, 20)
        var area = info("Container")
        compare(button.x + button.width, area.x + area.width - 5)
        compare(button.y, area.y - 15)
        verify(!button.enabled)
        var text = info("Container").text
        compare(main.updateDuration(), false)
        compare(info("Container").text, text)
    }
}

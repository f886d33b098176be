import QtQuick 2.12
import QtTest 1.2
import Serialization 1.0

// What a new operator meets on a fresh machine and when files cannot be written: the data
// directory and scene folders made on first use, and every problem the window once only traced
// now numbered in the error list and in Errors.txt, once per cause.
MainWindowTestCase {
    name: "MainProblems"

    readonly property string appData: Serialization.applicationDataDirPath
    readonly property string queuePath: appData + "/queue.json"
    readonly property string tmp: Serialization.getEnv("ORVANE_TEST_TMP")

    function panel(mode) { return findObject(main.contentItem, "panel" + mode) }
    function info(mode) { return main.editPanels[mode].info }

    // Typed as if by the operator: not through updateText, so the panel saves it.
    function type(mode, text) {
        info(mode).text = text
        return !panel(mode).iswrong
    }

    function shell(command) {
        verify(Process.run("sh", ["-c", command]) !== 0, command)
    }

    // A directory at `path`, in place of whatever was there (a window closing at the same time
    // may still write its configuration file).
    function makeDir(path) {
        shell("rm -f '" + path + "'; mkdir -p '" + path + "'")
        tryVerify(function () { return Serialization.isDirectory(path) }, 10000, path)
    }

    function remove(path) {
        shell("rm -rf '" + path + "'")
        tryVerify(function () { return !Serialization.isFileExists(path) }, 10000, path)
    }

    // The numbered lines of the error list as the operator reads them.
    function listed(w) {
        return w.errors.map(function (line) { return line.replace(/<[^>]*>|&nbsp; /g, "") })
    }

    function errorLog(w) {
        return Serialization.readTextFile(w.errorLogPath(Serialization.getEnv("logDir")))
    }

    function defaults(directory) {
        return { "boardEnabled": true, "exitOnEject": false, "installFonts": false, "traceMemInfo": false,
                 "directory": directory, "renderNumber": 3, "cacheTime": 10, "bufferSize": 5, "board": "" }
    }

    function cleanupTest() {
        remove(configPath())
        remove(queuePath)
    }

    // A fresh machine: the default data directory is made, and the first container of a scene
    // makes its folder; nothing to report.
    function test_first_start_saves_a_scene() {
        remove(appData + "/Layers")
        main = createWindowOn(defaults("Layers"))
        verify(Serialization.isDirectory(appData + "/Layers"))
        main.currentLayer = 0
        main.currentIndex = 1
        compare(main.currentName, "SCENE-02")
        verify(!Serialization.isFileExists(appData + "/Layers/SCENE-02"))
        var text = '{"graphics_id": "SCENE-02", "template_params": [{"name": "f0", "value": "Hi"}]}'
        verify(type("Container", text))
        compare(Serialization.readTextFile(appData + "/Layers/SCENE-02/SCENE-02.gfxc"), text)
        compare(main.queues[1].DSK_Cue.params.dsk_data, [{ "name": "f0", "value": "Hi" }])
        compare(main.errorn, 0)
    }

    // A directory the configuration names is never made by the program: the operator is told
    // once per start, and a container save says why it fails, once until a save succeeds.
    function test_configured_directory_missing() {
        var dir = tmp + "/show/Layers"
        remove(tmp + "/show")
        main = createWindowOn(defaults(dir))
        var warning = "1. Warning Data directory " + dir
            + " does not exist: scenes cannot be saved until it is created or another is chosen"
        compare(listed(main), [warning])
        verify(errorLog(main).indexOf(warning + "\n") >= 0, errorLog(main))
        verify(!Serialization.isFileExists(tmp + "/show"), "not made")
        main.updateQueues()
        main.dataUrlChange()
        compare(main.errorn, 1, "once per start")

        main.currentLayer = 0
        main.currentIndex = 0
        verify(!type("Container", '{"title": "one"}'))
        verify(!type("Container", '{"title": "two"}'))
        var error = "2. Error Can't save the container of SCENE-01: data directory " + dir + " does not exist"
        compare(listed(main), [warning, error])
        verify(errorLog(main).indexOf(error + "\n") >= 0, errorLog(main))
        verify(!Serialization.isFileExists(tmp + "/show"))

        // made by hand: the scene's folder is made inside it with the first container
        makeDir(dir)
        verify(type("Container", '{"title": "three"}'))
        compare(Serialization.readTextFile(dir + "/SCENE-01/SCENE-01.gfxc"), '{"title": "three"}')
        compare(main.errorn, 2)
        // a later failure is listed again
        remove(dir + "/SCENE-01")
        shell("echo in the way > '" + dir + "/SCENE-01'")
        tryVerify(function () { return Serialization.isFileExists(dir + "/SCENE-01") })
        verify(!type("Container", '{"title": "four"}'))
        compare(main.errorn, 3)
        compare(listed(main)[2], "3. Error Can't save the container of SCENE-01: can't create folder "
                + dir + "/SCENE-01")
        compare(Serialization.readTextFile(dir + "/SCENE-01"), "in the way\n")
    }

    // A configuration file that is not JSON is kept beside it and the defaults are used: the
    // operator sees which file.
    function test_unusable_configuration() {
        var path = configPath()
        ignoreWarning("Config file '%1' is not a JSON object, kept as '%1.bad'".arg(path))
        main = createWindowOn("{ not json")
        compare(listed(main)[0], "1. Warning Config file '" + path + "' is not a JSON object, kept as '"
                + path + ".bad'; the default is in use")
        compare(Serialization.readTextFile(path + ".bad"), "{ not json")
        compare(main.renderNumber, 12)
        verify(errorLog(main).indexOf("is not a JSON object") >= 0)
        remove(path + ".bad")
    }

    // The editor cannot write the configuration: it does not quit, keeps the operator's text
    // open, and the error list says why.
    function test_editor_cannot_save() {
        makeDir(configPath())   // a directory where the file should be: read and write both fail
        ignoreWarning("Can't read config file '%1', using the default without writing it".arg(configPath()))
        main = createWindow()
        compare(main.errorn, 1)
        var dialog = findObject(main, "aboutDialog")
        var edit = findObject(dialog.contentItem, "configText")
        dialog.open()
        tryCompare(dialog, "visible", true)
        var typed = edit.text.replace('"renderNumber": 12', '"renderNumber": 4')
        edit.text = typed
        compare(dialog.buttonRepeater.itemAt(0).text, "Save and Exit")
        mouseClick(dialog.buttonRepeater.itemAt(0))
        compare(main.errorn, 2)
        compare(listed(main)[1], "2. Error Can't write config '" + configPath()
                + "': the configuration is not saved and Orvane keeps running")
        verify(dialog.visible, "the editor stays open")
        compare(edit.text, typed)
        verify(main.visible)
        verify(Serialization.isDirectory(configPath()))
        dialog.hide()
    }

    // The queue file cannot be written: listed once, again only after a write succeeded.
    function test_queue_file_cannot_be_written() {
        main = createWindowOn(defaults("Layers"))
        main.currentLayer = 0
        main.currentIndex = 0
        makeDir(queuePath)
        verify(!type("Queues", '{"triggers": []}'))
        verify(!type("Queues", '{"triggers": [{"id": "a", "title": "A"}]}'))
        compare(listed(main), ["1. Error Can't write queue file " + queuePath])
        remove(queuePath)
        verify(type("Queues", '{"triggers": []}'))
        compare(Serialization.readFromJsonFile(queuePath).length, 63)
        remove(queuePath)
        makeDir(queuePath)
        verify(!type("Queues", '{"triggers": null}'))
        compare(main.errorn, 2)
        compare(listed(main)[1], "2. Error Can't write queue file " + queuePath)
        verify(errorLog(main).indexOf("2. Error Can't write queue file") >= 0)
    }
}

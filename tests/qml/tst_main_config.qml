import QtQuick 2.12
import QtTest 1.2
import Serialization 1.0

// The output window's configuration: the file it writes or migrates, the properties it derives,
// and what it does with a file edited badly by hand. Each case writes output_config.json in the
// test's application-data directory and then creates a window on it.
MainWindowTestCase {
    name: "MainConfig"

    property string firstText: ""

    readonly property string defaultText: '{\n  "boardEnabled": true,\n  "exitOnEject": false,\n'
        + '  "installFonts": false,\n  "traceMemInfo": false,\n  "directory": "Layers",\n'
        + '  "renderNumber": 12,\n  "cacheTime": 10,\n  "bufferSize": 5,\n  "board": ""\n}'

    function stored() { return Serialization.readFromJsonFile(configPath()) }

    function initCase() {
        // a fresh home: no configuration file yet
        verify(!Serialization.isFileExists(configPath()))
        createWindow()
        firstText = Serialization.readTextFile(configPath())
    }

    function test_default_file_and_properties() {
        compare(firstText, defaultText)
        var w = createWindowOn(defaultText)
        compare(Serialization.readTextFile(configPath()), defaultText, "nothing to migrate")
        compare(w.exitOnEject, false)
        compare(w.installFonts, 0)
        compare(w.traceMemInfo, 0)
        compare(w.cacheTime, 10)
        compare(w.bufferSize, 5)
        compare(w.boardEnabled, false, "no board named")
        compare(w.isBoxPlayer, 0)
        compare(w.renderNumber, 12)
        compare(w.previewEnabled, true)
        compare(w.showBoxPlayer, false)
        compare(w.project, "")
        compare(w.dataUrl, "Layers")
        compare(w.renders.count, 12)

        w = createWindowOn({ "exitOnEject": true, "installFonts": true, "traceMemInfo": true,
                           "cacheTime": 2.5, "bufferSize": 0, "directory": "D" })
        compare(w.exitOnEject, true)
        compare(w.installFonts, 1)
        compare(w.traceMemInfo, 1)
        compare(w.cacheTime, 2.5)
        compare(w.bufferSize, 0)
    }

    // What the start-up program hands over reaches the window before it completes: the parsed
    // options, the videos folder; the case's windowProperties lie under each window's own.
    property QtObject options: QtObject {}

    function test_initial_properties() {
        compare(createWindowOn(defaultText).programOptions, null, "no option given")
        windowProperties = { "programOptions": options }
        verify(createWindow().programOptions === options)
        var videos = "file://" + Serialization.getEnv("ORVANE_TEST_TMP")
        var w = createWindow({ "mediaFolder": videos, "programOptions": null })
        windowProperties = {}
        compare(String(w.mediaFolder), videos)
        compare(w.programOptions, null)
    }

    function test_command_line_and_title() {
        var w = createWindowOn(defaultText)
        compare(w.getAppParam("--box"), "")
        compare(w.iBox, 0)
        compare(w.sBox, "")
        compare(w.appName, "orvane-qmltest")
        compare(w.title, "orvane-qmltest --box 0")
        compare(settingsOf(w).category, "Output")

        compare(w.argumentAfter(["prog", "--box", "2"], "--box"), "2")
        compare(w.argumentAfter(["prog", "--box", "3", "--box", "4"], "--box"), "3")
        compare(w.argumentAfter(["prog", "--box"], "--box"), "")
        compare(w.argumentAfter(["prog"], "--box"), "")
        compare(w.boxNumber("2"), 2)
        compare(w.boxNumber("0"), 0)
        compare(w.boxNumber(""), 0)
        compare(w.boxNumber("two"), 0)
        compare(w.boxNumber("2x"), 0)
        compare(w.programName("C:\\Apps\\Orvane_Box_Output.exe"), "Orvane_Box_Output.exe")
        compare(w.programName("/opt/apps/Orvane_Box_Output.exe"), "Orvane_Box_Output.exe")
        compare(w.programName("Orvane"), "Orvane")
        compare(w.getPath("/data/show/x.prj", "/Layers"), "/data/show/Layers")
        compare(w.getPath("x.prj", "/Layers"), "/Layers")
        compare(w.getPath("", "/Layers"), "")
    }

    function test_migration() {
        createWindowOn({ "noboard": true, "nopreview": true, "previewEnabled": false, "resetExcluded": [1],
                       "handlesLimit": 3, "autoEject": true, "dynamic": 1, "project": "/data/show/x.prj",
                       "directory": "D", "custom": "kept" })
        var js = stored()
        compare(Object.keys(js), ["directory", "custom", "boardEnabled", "exitOnEject", "renderNumber",
                                  "cacheTime", "bufferSize", "installFonts", "traceMemInfo"])
        compare(js.boardEnabled, false)
        compare(js.directory, "D")
        compare(js.custom, "kept")
        compare(js.exitOnEject, false)
        compare(js.renderNumber, 12)
        compare(js.cacheTime, 10)
        compare(js.bufferSize, 5)
        compare(js.installFonts, false)
        compare(js.traceMemInfo, false)

        createWindowOn({ "noboard": false, "directory": "D", "board": "B" })
        compare(stored().boardEnabled, true)
        compare(windows[1].boardEnabled, true, "the window reads the migrated file")

        // null counts as missing: obsolete keys stay, default keys get their default
        createWindowOn({ "noboard": null, "nopreview": null, "project": null, "boardEnabled": null,
                       "renderNumber": null, "exitOnEject": true, "directory": "D", "board": "B" })
        js = stored()
        verify(js.noboard === null && js.nopreview === null && js.project === null)
        compare(js.boardEnabled, true)
        compare(js.renderNumber, 12)
        compare(js.exitOnEject, true)
        verify(js.board === "B" && js.directory === "D")
        compare(windows[2].renderNumber, 12)
    }

    function test_board_modes() {
        var w = createWindowOn({ "boardEnabled": true, "board": "KeshBoxPlayer 7", "directory": "D" })
        compare(w.boardEnabled, true)
        compare(w.isBoxPlayer, 1)
        compare(w.renderNumber, 0)
        compare(w.renders.count, 0)
        compare(w.showBoxPlayer, true)
        compare(w.previewEnabled, true)
        settingsOf(w).previewEnabled = false
        compare(w.previewEnabled, false, "box player follows the settings")

        // board named but switched off
        w = createWindowOn({ "boardEnabled": false, "board": "KeshBoxPlayer", "directory": "D" })
        compare(w.boardEnabled, false)
        compare(w.isBoxPlayer, 0)
        compare(w.renderNumber, 12)
        compare(w.renders.count, 12)
        compare(w.previewEnabled, true, "settings value ignored outside box-player mode")

        // switched on without a board
        w = createWindowOn({ "boardEnabled": true, "board": "", "directory": "D" })
        compare(w.boardEnabled, false)
        compare(w.isBoxPlayer, 0)
        compare(w.renderNumber, 12)

        w = createWindowOn({ "boardEnabled": true, "board": "Studio KeshBoxPlayer", "directory": "D" })
        compare(w.boardEnabled, true)
        compare(w.isBoxPlayer, 0)
        compare(w.renderNumber, 12)
        compare(w.previewEnabled, true)
        compare(w.showBoxPlayer, false)
        settingsOf(w).previewEnabled = true
    }

    function test_data_directory() {
        var w = createWindowOn({ "directory": "/srv/layers" })
        compare(w.dataUrl, "/srv/layers")

        // the project folder is stored as the directory before the migration drops the project
        w = createWindowOn({ "project": "/data/show/x.prj" })
        compare(w.dataUrl, "/data/show/Layers")
        compare(stored().directory, "/data/show/Layers")
        verify(stored().project === undefined)

        w = createWindowOn({ "directory": "", "project": "x.prj" })
        compare(w.dataUrl, "/Layers")
        compare(stored().directory, "/Layers")

        // nothing configured: the operator is asked
        w = createWindowOn({ "directory": "" })
        compare(w.dataUrl, "")
        var dialog = findObject(w, "dialogDirectory")
        verify(dialog)
        compare(dialog.visible, true)
        dialog.close()
        compare(stored().directory, "")
        compare(stored().renderNumber, 12)
    }

    // The folder dialog is built when it first opens; before that its name answers with the
    // dialog's title, folder mode and visibility. Opened again, it is the same dialog.
    function test_folder_dialog_built_when_opened() {
        var w = createWindowOn(defaultText)
        var dialog = findObject(w, "dialogDirectory")
        compare(dialog.title, "Please choose Orvane root directory. For example C:/Tezlan/Layers.")
        verify(dialog.selectFolder)
        compare(dialog.visible, false)
        compare(dialog.dialog, null, "not built on a start with a data directory")

        w = createWindowOn({ "directory": "" })
        dialog = findObject(w, "dialogDirectory")
        var built = dialog.dialog
        compare(built.title, dialog.title)
        verify(built.selectFolder)
        compare(dialog.visible, true)
        dialog.close()
        compare(dialog.visible, false)
        dialog.open()
        verify(dialog.dialog === built)
        compare(dialog.visible, true)

        // the folder the operator accepts (OK in the dialog) becomes the data directory
        var folder = "file://" + Serialization.applicationDataDirPath
        built.folder = folder
        built.acceptSelection()
        compare(String(w.dataUrl), folder)
        compare(dialog.visible, false)
    }

    function test_closing_stores_selection() {
        var w = createWindowOn(defaultText)
        w.currentLayer = 4
        ignoreWarning(/^------closing /)
        w.close()
        compare(settingsOf(w).currentLayer, 4)
        compare(settingsOf(w).currentName, "SCENE-01")
    }

    // A file of the wrong shape is kept as output_config.json.bad and the default is used.
    function test_unusable_file() {
        var texts = ["{ \"renderNumber\": 4", "[1, 2]", "17", "\"Layers\""]
        for (var i = 0; i < texts.length; ++i) {
            ignoreWarning("Config file '%1' is not a JSON object, kept as '%1.bad'".arg(configPath()))
            var w = createWindowOn(texts[i])
            compare(w.renderNumber, 12, texts[i])
            compare(w.dataUrl, "Layers")
            compare(Serialization.readTextFile(configPath() + ".bad"), texts[i])
            compare(Serialization.readTextFile(configPath()), defaultText)
        }
    }

    // Keys of the wrong type: a sound value is used and traced, the file keeps what the operator wrote.
    function test_wrong_key_types() {
        var cases = [
            [{ "renderNumber": "abc" }, 12, /Config renderNumber "abc" replaced by 12/],
            [{ "renderNumber": -3 }, 12, /Config renderNumber -3 replaced by 12/],
            [{ "renderNumber": 12.7 }, 12, /Config renderNumber 12.7 replaced by 12/],
            [{ "renderNumber": "20" }, 20, null],
            [{ "renderNumber": 1000000 }, 99, /Config renderNumber 1000000 replaced by 99/]
        ]
        for (var i = 0; i < cases.length; ++i) {
            var js = cases[i][0]
            js.directory = "D"
            if (cases[i][2])
                ignoreWarning(cases[i][2])
            var w = createWindowOn(js)
            compare(w.renderNumber, cases[i][1], JSON.stringify(js))
            compare(w.renders.count, cases[i][1])
            compare(stored().renderNumber, js.renderNumber, "kept in the file")
            cleanup()
        }

        ignoreWarning(/Config board 5 replaced by ""/)
        ignoreWarning(/Config cacheTime "abc" replaced by 10/)
        w = createWindowOn({ "directory": "D", "board": 5, "boardEnabled": true, "cacheTime": "abc" })
        compare(w.boardEnabled, false)
        compare(w.isBoxPlayer, 0)
        compare(w.cacheTime, 10)
        compare(stored().board, 5)

        // a text is no switch: "false" must not read as on
        ignoreWarning(/Config boardEnabled "false" replaced by false/)
        w = createWindowOn({ "directory": "D", "board": "B", "boardEnabled": "false" })
        compare(w.boardEnabled, false)
        compare(stored().boardEnabled, "false")

        w = createWindowOn({ "directory": "D", "board": null, "boardEnabled": true })
        compare(w.boardEnabled, false)
        verify(stored().board === null)

        // a directory that is no text is not a data directory, and stays in the file
        ignoreWarning(/Config directory 5 replaced by ""/)
        w = createWindowOn({ "directory": 5 })
        compare(w.dataUrl, "")
        findObject(w, "dialogDirectory").close()
        compare(stored().directory, 5)
        compare(stored().renderNumber, 12)

        // ... until the operator picks a folder
        w.dataUrl = "file:///srv/show/Layers"
        compare(stored().directory, "file:///srv/show/Layers")
    }
}

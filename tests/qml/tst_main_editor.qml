import QtQuick 2.12
import QtTest 1.2
import Serialization 1.0

// The configuration editor of the output window: its sizes with and without the board box, the
// check of the typed text, the button it offers, and what a save writes. Quitting after a save
// is covered by tests/app/tst_editor.cpp, which watches the engine's quit.
MainWindowTestCase {
    name: "MainEditor"

    readonly property string defaultText: '{\n  "boardEnabled": true,\n  "exitOnEject": false,\n'
        + '  "installFonts": false,\n  "traceMemInfo": false,\n  "directory": "Layers",\n'
        + '  "renderNumber": 12,\n  "cacheTime": 10,\n  "bufferSize": 5,\n  "board": ""\n}'

    function editorOf(w) {
        var dialog = findObject(w, "aboutDialog")
        verify(dialog, "aboutDialog")
        return dialog
    }

    function buttonText(dialog) {
        compare(dialog.buttonRepeater.count, 1)
        return dialog.buttonRepeater.itemAt(0).text
    }

    function cleanupTest() {
        windows.forEach(function (w) { editorOf(w).hide() })
    }

    function test_editor_states() {
        var w = createWindowOn(defaultText)
        var dialog = editorOf(w)
        compare(dialog.title, "Orvane 3.14")
        compare(dialog.autoHide, true)
        verify(!dialog.visible)
        dialog.open()
        compare(dialog.width, 450)
        compare(dialog.height, 275)
        verify(!findObject(dialog.contentItem, "boardBox").visible)
        var edit = findObject(dialog.contentItem, "configText")
        var box = findObject(dialog.contentItem, "configBox")
        compare(dialog.congigText, defaultText)
        compare(edit.text, defaultText)
        compare(dialog.iswrong, false)
        compare(dialog.changed, false)
        compare(buttonText(dialog), "OK")
        compare(String(box.border.color), "#ffffff")

        // a valid edit offers to save, an invalid one does not
        edit.text = defaultText.replace('"renderNumber": 12', '"renderNumber": 4')
        compare(dialog.changed, true)
        compare(buttonText(dialog), "Save and Exit")
        ignoreWarning(/^------Wrong json text:\{ "renderNumber": $/)
        edit.text = '{ "renderNumber":'
        compare(dialog.iswrong, true)
        compare(dialog.changed, false)
        compare(buttonText(dialog), "OK")
        compare(String(box.border.color), "#ff0000")

        // JSON that is falsy, or is not an object, would leave the next start on the default
        var wrong = ["", "0", "null", "false", "[1, 2]", "17", '"Layers"']
        for (var i = 0; i < wrong.length; ++i) {
            edit.text = wrong[i]
            compare(dialog.iswrong, true, wrong[i])
            compare(buttonText(dialog), "OK", wrong[i])
            compare(w.saveConfig(wrong[i]), false, wrong[i])
        }
        compare(Serialization.readTextFile(configPath()), defaultText)

        // the same text in another layout is no change, a different value is
        edit.text = JSON.stringify(JSON.parse(defaultText))
        compare(dialog.iswrong, false)
        compare(dialog.changed, true)
        edit.text = defaultText
        compare(dialog.changed, false)

        // OK with nothing changed hides the dialog and writes nothing
        mouseClick(dialog.buttonRepeater.itemAt(0))
        tryCompare(dialog, "visible", false)
        compare(Serialization.readTextFile(configPath()), defaultText)
        verify(w.visible)

        // an invalid text clicked away changes nothing either
        dialog.open()
        compare(edit.text, defaultText, "opening fills the text again")
        ignoreWarning(/^------Wrong json text:\{ $/)
        edit.text = "{"
        mouseClick(dialog.buttonRepeater.itemAt(0))
        tryCompare(dialog, "visible", false)
        compare(Serialization.readTextFile(configPath()), defaultText)
        verify(w.visible)
    }

    function test_board_box() {
        var w = createWindowOn({ "boardEnabled": true, "board": "B", "directory": "Layers", "renderNumber": 3 })
        compare(w.boardEnabled, true)
        var dialog = editorOf(w)
        dialog.open()
        compare(dialog.width, 450)
        compare(dialog.height, 360)
        var board = findObject(dialog.contentItem, "boardBox")
        verify(board.visible)
        compare(board.width, 450)
        compare(board.height, 80)
        var text = findObject(dialog.contentItem, "boardText")
        compare(text.readOnly, true)
        compare(JSON.parse(text.text), { "directory": "Layers", "renderNumber": 3 })
        compare(text.text, JSON.stringify(w.configBoard, null, 2))
    }

    function test_save_writes_parsed_value() {
        var w = createWindowOn(defaultText)
        var typed = '{"renderNumber":   5, "directory": "Elsewhere",\n "custom": [1, {"a": null}]}'
        verify(w.saveConfig(typed))
        compare(Serialization.readTextFile(configPath()),
                '{\n  "renderNumber": 5,\n  "directory": "Elsewhere",\n  "custom": [\n    1,\n    {\n'
                + '      "a": null\n    }\n  ]\n}')
        // the running window keeps its configuration until the next start
        compare(w.renderNumber, 12)
        compare(w.dataUrl, "Layers")
        compare(editorOf(w).congigText, defaultText)

        ignoreWarning(/^------Wrong json text:\{ $/)
        compare(w.saveConfig("{"), false)
        compare(w.saveConfig(""), false)
        compare(Serialization.readFromJsonFile(configPath()).renderNumber, 5)

        // the next window reads what was saved
        var next = createWindowOn(Serialization.readTextFile(configPath()))
        compare(next.renderNumber, 5)
        compare(next.dataUrl, "Elsewhere")
    }
}

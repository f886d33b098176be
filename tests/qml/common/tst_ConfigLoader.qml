import QtQuick 2.12
import QtTest 1.2
import Serialization 1.0
import "../../../qml/common"

// The configuration file loader against real files in the test's application-data directory.
TestCase {
    id: test
    name: "ConfigLoader"

    property int serial: 0

    Component {
        id: loaderComponent
        ConfigLoader {}
    }

    // A fresh file name per case, so no case sees another's file.
    function fileName() {
        serial += 1
        return "config_" + serial + ".json"
    }

    function fullPath(name) { return Serialization.applicationDataDirPath + "/" + name }

    function makeLoader(properties) {
        var loader = createTemporaryObject(loaderComponent, test, properties)
        verify(loader)
        return loader
    }

    function defaults() { return { "a": 1, "b": "two", "c": [3] } }

    function test_empty_file_name() {
        var loader = makeLoader({ "defaultConfig": defaults() })
        compare(loader.path, "")
        compare(loader.config, {})
        compare(loader.save(), false)
        loader.update()
        compare(loader.config, {})
    }

    function test_missing_file() {
        var name = fileName()
        var initial = defaults()
        var loader = makeLoader({ "fileName": name, "defaultConfig": initial })
        compare(loader.path, fullPath(name))
        verify(loader.config === initial, "the default object itself")
        verify(Serialization.isFileExists(fullPath(name)))
        compare(Serialization.readTextFile(fullPath(name)),
                '{\n  "a": 1,\n  "b": "two",\n  "c": [\n    3\n  ]\n}')

        var bare = makeLoader({ "fileName": fileName() })
        compare(bare.config, {})
        verify(!Serialization.isFileExists(bare.path))
    }

    function test_save_and_update() {
        var name = fileName()
        var loader = makeLoader({ "fileName": name, "defaultConfig": defaults() })
        var first = loader.config

        first.a = 10
        delete first.b
        verify(loader.save())
        compare(Serialization.readFromJsonFile(loader.path), { "a": 10, "c": [3] })

        verify(loader.save({ "x": true }))
        compare(Serialization.readFromJsonFile(loader.path), { "x": true })
        verify(loader.config === first, "save alone does not change config")
        var spy = createTemporaryObject(spyComponent, test, { "target": loader, "signalName": "configChanged" })
        loader.update()
        compare(spy.count, 1)
        compare(loader.config, { "x": true })

        // someone else edits the file
        verify(Serialization.writeToTextFile(loader.path, '{"y": [1, 2]}'))
        loader.update()
        compare(loader.config, { "y": [1, 2] })
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    function test_unwritable_path() {
        var loader = makeLoader({ "path": "/nonexistent-orvane-dir/sub/x.json", "defaultConfig": defaults() })
        compare(loader.config, defaults())
        verify(!Serialization.isFileExists(loader.path))
        compare(loader.save(), false)
    }

    // Text that is not a JSON object replaces nothing silently: the original stays in "<file>.bad".
    function test_unusable_content_is_kept() {
        var contents = ['{"renderNumber": 12,', '[1, 2, 3]', '5', '"text"', 'null', '0', 'not json at all', '   ']
        for (var i = 0; i < contents.length; ++i) {
            var name = fileName()
            verify(Serialization.writeToTextFile(fullPath(name), contents[i]))
            ignoreWarning("Config file '%1' is not a JSON object, kept as '%1.bad'".arg(fullPath(name)))
            var loader = makeLoader({ "fileName": name, "defaultConfig": defaults() })
            compare(loader.config, defaults(), contents[i])
            compare(Serialization.readFromJsonFile(fullPath(name)), defaults(), contents[i])
            compare(Serialization.readTextFile(fullPath(name) + ".bad"), contents[i])
        }
    }

    // A file that is there but yields nothing may be unreadable: it is never overwritten.
    function test_unreadable_file_is_left_alone() {
        var name = fileName()
        verify(Serialization.writeToTextFile(fullPath(name), ""))
        var initial = defaults()
        ignoreWarning("Can't read config file '%1', using the default without writing it".arg(fullPath(name)))
        var loader = makeLoader({ "fileName": name, "defaultConfig": initial })
        verify(loader.config === initial)
        verify(Serialization.isFileExists(fullPath(name)))
        compare(Serialization.readTextFile(fullPath(name)), "")
        verify(!Serialization.isFileExists(fullPath(name) + ".bad"))

        // a directory where the file should be
        var dir = makeLoader({ "path": Serialization.applicationDataDirPath })
        compare(dir.config, {})
    }

    function test_good_file_is_read_untouched() {
        var name = fileName()
        var text = '{"z": 1, "a": {"k": null}}'
        verify(Serialization.writeToTextFile(fullPath(name), text))
        var loader = makeLoader({ "fileName": name, "defaultConfig": defaults() })
        compare(loader.config, { "z": 1, "a": { "k": null } })
        compare(Object.keys(loader.config), ["z", "a"])
        compare(Serialization.readTextFile(fullPath(name)), text)
        verify(!Serialization.isFileExists(fullPath(name) + ".bad"))
    }
}

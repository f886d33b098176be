import QtQuick 2.12
import QtTest 1.2
import Serialization 1.0
import TimeScheduler 1.0

// The shared fixture of the output window's tests: it makes windows from qml/main.qml, waits for
// their first frame, closes them again, finds what they hold, and can hold the clock still.
//
//   MainWindowTestCase {
//       name: "MainSomething"
//       clock: 1000000000                        // optional: the clock stands still here
//       function initTest() { createMain({ "programOptions": options }) }
//       function test_something() { click("Cue"); compare(render(1).name, "SCENE-01") }
//   }
//
// A window made in initCase() lives until the case ends; one made in a test function or in
// initTest() is closed after that test. The fixture owns initTestCase, init, cleanup and
// cleanupTestCase: a test puts its own steps in the hooks initCase, initTest, cleanupTest and
// cleanupCase instead (a test may still call cleanup() itself to close its windows early).
TestCase {
    id: fixture
    when: windowShown

    // set by the test
    property double clock: 0              // ticks of 100 ns; above 0, the clock stands here all case
    property var windowProperties: ({})   // initial properties of every window (e.g. programOptions)

    // read and set by the test
    property var main: null               // the window under test, when the test keeps one
    property var windows: []              // the windows made by the current test, in order

    // the window's default size: its content area has it from the first frame on
    readonly property size contentSize: Qt.size(1600, 920)

    // hooks for the test's own steps
    function initCase() {}      // before the first test, after the clock is pinned
    function initTest() {}      // before each test function
    function cleanupTest() {}   // after each test function, before its windows close
    function cleanupCase() {}   // after the last test, before the case's windows close

    QtObject {
        id: d
        property var component: null
        property bool inCase: false     // windows made now live for the whole case
        property var caseWindows: []
    }

    function configPath() { return Serialization.applicationDataDirPath + "/output_config.json" }

    // Writes the configuration file the next window reads: a text as it is, anything else as JSON.
    function writeConfig(config) {
        var text = typeof config === "string" ? config : JSON.stringify(config)
        verify(Serialization.writeToTextFile(configPath(), text), configPath())
    }

    // A new output window on the current files, shown and laid out. `properties` are given to it
    // as initial properties, over windowProperties.
    function createWindow(properties) {
        var initial = {}
        var key
        for (key in windowProperties)
            initial[key] = windowProperties[key]
        for (key in properties || {})
            initial[key] = properties[key]
        // a videos folder of the test's own (missing unless the test makes it), never this
        // machine's: the window would otherwise read the one it names
        if (initial.mediaFolder === undefined)
            initial.mediaFolder = "file://" + Serialization.getEnv("ORVANE_TEST_TMP") + "/videos"
        var w = d.component.createObject(null, initial)
        verify(w, d.component.errorString())
        if (d.inCase)
            d.caseWindows.push(w)
        else
            windows.push(w)
        // a window given its own size has a content area of that size
        tryCompare(w.contentItem, "width", initial.width || contentSize.width)
        tryCompare(w.contentItem, "height", initial.height || contentSize.height)
        // the second frame of a new window draws a layer's kind of content once, which keeps the
        // renderer busy for a moment: the test's first click comes after it
        var materials = findObject(w.contentItem, "layerMaterials")
        if (materials)
            tryVerify(function () { return materials.frames >= 2 }, 5000, "the window's second frame")
        return w
    }

    // The window under test, `main`, made anew with layer 1 and the first scene selected.
    function createMain(properties) {
        main = createWindow(properties)
        main.currentLayer = 0
        main.currentIndex = 0
        return main
    }

    // A new window on this configuration, written to the configuration file first.
    function createWindowOn(config, properties) {
        writeConfig(config)
        return createWindow(properties)
    }

    function destroyAll(list) {
        list.forEach(function (w) {
            if (typeof w.destroy === "function")   // not destroyed by the test already
                w.destroy()
        })
        wait(0)   // the windows go at the next turn of the event loop
    }

    // Closes the windows of the current test; `main` is forgotten when it was one of them.
    function closeWindows() {
        if (windows.indexOf(main) >= 0)
            main = null
        destroyAll(windows)
        windows = []
    }

    // The object under `root` (a window, an item or any object holding others) named by `path`:
    // objectNames separated by "/", each found somewhere below the one before it.
    function findObject(root, path) {
        var names = path.split("/")
        var found = root
        for (var i = 0; i < names.length && found; ++i)
            found = findBelow(found, function (o) { return o.objectName === names[i] })
        return found
    }

    // The first object below `root`, depth first, for which `test` holds.
    function findBelow(root, test) {
        var list = root.data || root.children || []
        for (var i = 0; i < list.length; ++i) {
            if (test(list[i]))
                return list[i]
            var found = findBelow(list[i], test)
            if (found)
                return found
        }
        return null
    }

    // The window's stored settings (layer, scene, preview).
    function settingsOf(w) {
        var settings = findObject(w, "settings")
        verify(settings, "settings object")
        return settings
    }

    // Layer n (from 1) of the window under test.
    function render(n) { return main.renders.itemAt(n - 1) }

    // The shown button with this label, below `item` (the whole window by default).
    function button(text, item) {
        return findBelow(item || main.contentItem, function (c) {
            return c.text === text && c.clicked !== undefined && c.visible
        })
    }

    // Clicks the shown, enabled button with this label as the operator does.
    function click(text, modifiers) {
        var b = button(text)
        verify(b, text)
        verify(b.enabled, text + " enabled")
        mouseClick(b, b.width / 2, b.height / 2, Qt.LeftButton, modifiers === undefined ? Qt.NoModifier : modifiers)
    }

    // A window trace line as it reaches the message log.
    function trace(text) { return "------" + text + " " }

    // [guid, type] of every command that reached the layer's mixer after guid `since`.
    function sent(layer, since) {
        return layer.queues.filter(function (e) { return e.guid > since }).map(function (e) {
            return [e.guid, e.js.type]
        })
    }

    function initTestCase() {
        if (clock > 0) {
            TimeScheduler.timer.running = false
            TimeScheduler.time = clock
        }
        d.component = Qt.createComponent("../../qml/main.qml")
        verify(d.component.status === Component.Ready, d.component.errorString())
        d.inCase = true
        initCase()
        d.inCase = false
    }

    function init() { initTest() }

    function cleanup() {
        cleanupTest()
        closeWindows()
    }

    function cleanupTestCase() {
        cleanupCase()
        if (d.caseWindows.indexOf(main) >= 0)
            main = null
        destroyAll(d.caseWindows)
        d.caseWindows = []
        if (clock > 0)
            TimeScheduler.timer.running = true
    }
}

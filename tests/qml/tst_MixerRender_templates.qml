import QtQuick 2.12
import QtTest 1.2
import Serialization 1.0

// A layer's scene graphic: templates with their data and calls, stills, named videos, broken
// templates, and the placeholder of scenes as built. Pixels are read from the layer as drawn.
LayerHost {
    id: host
    property url mediaFolder: ""     // the window's videos folder, read by the layer

    SignalSpy { id: spy; signalName: "mixerReply" }

    TestCase {
        name: "MixerRenderTemplates"
        when: windowShown

        readonly property string data: Serialization.getEnv("ORVANE_TEST_TMP") + "/scenes"

        // A test template: a square whose colour is a field, a second square coloured by what
        // was called last (play, next with its trigger, stop), and a stop() that ends later.
        readonly property string probe: "import QtQuick 2.12\n"
            + "Item {\n"
            + "    property color tint: \"black\"\n"
            + "    property int count: 0\n"
            + "    property url picture\n"
            + "    property string called: \"\"\n"
            + "    property int stopMs: 300\n"
            + "    readonly property var triggers: [{ \"id\": \"t1\", \"title\": \"One\" }]\n"
            + "    signal stopped()\n"
            + "    function play() { called = \"play\" }\n"
            + "    function next(trigger) { called = \"next \" + trigger }\n"
            + "    function stop() { called = \"stop\"; ending.start() }\n"
            + "    Timer { id: ending; interval: stopMs; onTriggered: parent.stopped() }\n"
            + "    Rectangle { x: 100; y: 100; width: 200; height: 200; color: tint }\n"
            + "    Rectangle { x: 400; y: 100; width: 200; height: 200; color: called === \"play\" ? \"#00ff00\""
            + " : called === \"next t2\" ? \"#0000ff\" : \"#ff0000\" }\n"
            + "}\n"

        function scene(name, container, files) {
            var dir = data + "/" + name
            Serialization.makeDirectory(data)
            Serialization.makeDirectory(dir)
            var full = { graphics_id: name, title: name, template_name: name + ".gfx", duration: 0,
                         duration_unlimited: true, audio: true, tc_in: 0, template_params: [] }
            for (var key in container)
                full[key] = container[key]
            verify(Serialization.writeToTextFile(dir + "/" + name + ".gfxc", JSON.stringify(full, null, 4)))
            for (var file in files)
                verify(Serialization.writeToTextFile(dir + "/" + file, files[file]))
        }

        function makeRender() {
            host.guid = 0
            host.dataUrl = "file://" + data
            var r = createTemporaryObject(host.renderComponent, host, { index: 1, iLayer: 1 })
            spy.target = r
            spy.clear()
            return r
        }
        function cue(r, name, dsk) { host.send(r, host.record(1, "DSK_Cue", { graphics_id: name, dsk_data: dsk || "" })) }
        function timed(r, type, more) {
            var params = { time: 1 }
            for (var key in more)
                params[key] = more[key]
            host.send(r, host.record(1, type, params))
        }
        function replies(status) {
            var list = []
            for (var i = 0; i < spy.count; ++i) {
                var js = JSON.parse(spy.signalArguments[i][0])
                if (!status || js.status === status)
                    list.push(js)
            }
            return list
        }
        function pixel(r, x, y) { return grabImage(r).pixel(x, y) }
        function hasColour(r, x, y, c) { return Qt.colorEqual(pixel(r, x, y), c) }

        function test_template_data_calls_and_update() {
            scene("LIVE", { template_params: [{ name: "tint", value: "#ffff00" }, { name: "count", value: "many" },
                                              { name: "picture", value: "missing.png" }, { name: "nobody", value: 1 }] },
                  { "LIVE.gfx": probe })
            var r = makeRender()
            cue(r, "LIVE")
            // the Cue's final answer waits for the template, then the fields are in place
            compare(replies().length, 1)
            tryCompare(r.graphic, "hasTemplate", true)
            compare(replies().filter(function (js) { return js.data && js.data.status === "Cued" }).length, 1)
            var warnings = replies("Warning").map(function (js) { return js.message })
            compare(warnings.length, 2, JSON.stringify(warnings))
            verify(warnings[0].indexOf("LIVE field count") === 0, warnings[0])
            verify(warnings[1].indexOf("LIVE field picture") === 0 && warnings[1].indexOf("/LIVE/missing.png") > 0, warnings[1])
            compare(r.templateTriggers[0].id, "t1")

            timed(r, "DSK_Play")
            tryVerify(function () { return r.visible && hasColour(r, 500, 200, "#00ff00") }, 5000, "play() when due")
            verify(hasColour(r, 200, 200, "#ffff00"), "the field's colour")
            timed(r, "DSK_Continue", { trigger_id: "t2" })
            tryVerify(function () { return hasColour(r, 500, 200, "#0000ff") }, 5000, "next(trigger)")

            // new data on air: the field changes without a new Cue, and stays the layer's data
            verify(r.templateUpdate({ tint: "#00ffff" }))
            tryVerify(function () { return hasColour(r, 200, 200, "#00ffff") })
            verify(r.visible)
            cue(r, "LIVE")
            tryCompare(r.graphic, "hasTemplate", true)
            compare(r.graphic.fields.tint, "#00ffff")
            compare(r.graphic.fields.count, "many", "the fields the update left out stay")

            // data carried by the Cue itself wins over the container's, as text or as an object
            cue(r, "LIVE", JSON.stringify([{ name: "tint", value: "#ff00ff" }]))
            tryCompare(r.graphic, "hasTemplate", true)
            timed(r, "DSK_Play")
            tryVerify(function () { return r.visible && hasColour(r, 200, 200, "#ff00ff") }, 5000)

            host.send(r, host.record(1, "DSK_Eject", {}))
            verify(!r.templateUpdate({ tint: "#ffffff" }), "no template after an Eject")
        }

        function test_stop_waits_for_stopped() {
            scene("OUT", {}, { "OUT.gfx": probe })
            var r = makeRender()
            cue(r, "OUT")
            tryCompare(r.graphic, "hasTemplate", true)
            timed(r, "DSK_Play")
            tryVerify(function () { return r.visible && hasColour(r, 500, 200, "#00ff00") }, 5000)
            timed(r, "DSK_Stop")
            tryVerify(function () { return hasColour(r, 500, 200, "#ff0000") }, 5000, "stop() called")
            verify(r.visible, "still on air until the template says it has stopped")
            tryCompare(r, "visible", false, 3000)

            // a template that never says so is hidden after the limit
            r.graphic.stopLimit = 400
            cue(r, "OUT")
            tryCompare(r.graphic, "hasTemplate", true)
            r.graphic.content.stopMs = 100000
            timed(r, "DSK_Play")
            tryCompare(r, "visible", true, 5000)
            timed(r, "DSK_Stop")
            tryVerify(function () { return hasColour(r, 500, 200, "#ff0000") }, 5000)
            verify(r.visible)
            tryCompare(r, "visible", false, 3000)
        }

        function test_timed_out() {
            scene("SHORT", { duration: 6000000, duration_unlimited: false }, { "SHORT.gfx": probe })
            var r = makeRender()
            cue(r, "SHORT")
            tryCompare(r.graphic, "hasTemplate", true)
            r.graphic.content.stopMs = 0
            timed(r, "DSK_Play")
            tryCompare(r, "visible", true, 5000)
            var shown = Date.now()
            tryCompare(r, "visible", false, 5000)
            verify(Date.now() - shown >= 500, "off air by itself after its duration")
        }

        function test_broken_template() {
            scene("BROKEN", {}, { "BROKEN.gfx": "import QtQuick 2.12\nItem {\n    width: \n}\n" })
            var r = makeRender()
            cue(r, "BROKEN")
            tryVerify(function () { return replies("Error").length === 1 }, 5000)
            var error = replies("Error")[0]
            compare(error.type, "DSK_Cue")
            verify(error.message.indexOf(data + "/BROKEN/BROKEN.gfx:4:") === 0, error.message)
            verify(!r.isLoaded)
            verify(r.graphic.shows, "no placeholder pretending to be the graphic")
            timed(r, "DSK_Play")
            wait(800)
            verify(!r.visible)
        }

        function test_still_video_builtin_and_scene_as_built() {
            scene("STILL", { template_name: "STILL.svg" }, { "STILL.svg":
                '<svg xmlns="http://www.w3.org/2000/svg" width="160" height="90"><rect width="160" height="90" fill="#00ff00"/></svg>' })
            var r = makeRender()
            cue(r, "STILL")
            compare(r.graphic.kind, "image")
            timed(r, "DSK_Play")
            tryVerify(function () { return r.visible && hasColour(r, 960, 540, "#00ff00") }, 5000)

            var videos = Serialization.getEnv("ORVANE_TEST_TMP") + "/videos"
            Serialization.makeDirectory(videos)
            verify(Serialization.writeToTextFile(videos + "/clip.mp4", "not really a video"))
            host.mediaFolder = "file://" + videos
            scene("CLIP", { template_name: "clip.mp4" }, {})
            cue(r, "CLIP")
            compare(r.graphic.kind, "video")
            compare(String(r.graphic.source), "file://" + videos + "/clip.mp4")

            scene("LOWER", { template_name: "lower-third", template_params: [{ name: "name", value: "Ada Lovelace" }] }, {})
            cue(r, "LOWER")
            tryCompare(r.graphic, "hasTemplate", true)
            compare(r.graphic.content.name, "Ada Lovelace")

            // a scene as built names "<scene>.gfx", which is not there: the placeholder, answered at once
            scene("PLAIN", {}, {})
            spy.clear()
            cue(r, "PLAIN")
            compare(r.graphic.kind, "")
            compare(replies().map(function (js) { return js.data ? js.data.status : "Ok" }), ["Ok", "Cued"])
            verify(!r.graphic.shows)
            verify(findChild(r, "placeholderBox"))
        }
    }
}

import QtQuick 2.12
import QtTest 1.2
import TimeScheduler 1.0

// Command records of the output window: the template, the accessors and the trace flattening.
MainWindowTestCase {
    name: "MainRecords"

    function initCase() { main = createWindow() }

    function test_template() {
        var records = JSON.parse(main.template)
        compare(records.length, 6)
        compare(records.map(function (r) { return r.type }),
                ["DSK_Cue", "DSK_Play", "DSK_Stop", "DSK_Eject", "DSK_GetStatus", "DSK_Continue"])
        records.forEach(function (r) {
            compare(Object.keys(r), ["_id", "type", "params"])
            compare(r._id, "")
        })
        compare(Object.keys(records[0].params), ["layer_id", "head_id", "enable_audio", "dsk_data", "graphics_id"])
        compare(records[0].params.enable_audio, "True")
        compare(records[0].params.graphics_id, "file")
        compare(records[0].params.dsk_data, "")
        compare(Object.keys(records[1].params), ["layer_id", "head_id", "time", "transition_type", "transition_duration"])
        compare(records[2].params.transition_type, "Fade")
        compare(records[2].params.transition_duration, 0)
        compare(Object.keys(records[3].params), ["layer_id", "head_id"])
        compare(Object.keys(records[4].params), ["layer_id", "head_id"])
        compare(Object.keys(records[5].params), ["layer_id", "head_id", "trigger_id", "time"])
        // parsed afresh, so two scenes never share a record
        verify(JSON.parse(main.template)[0] !== records[0])
        compare(main.guid, 0)
    }

    function test_from_js_and_single_line() {
        var eject = { "_id": 1, "type": "DSK_Eject", "params": { "layer_id": 3, "head_id": 1 } }
        compare(main.fromJs(eject),
                '{\n  "_id": 1,\n  "type": "DSK_Eject",\n  "params": {\n    "layer_id": 3,\n    "head_id": 1\n  }\n}')
        compare(main.singleLine(main.fromJs(eject)),
                '{ "_id": 1, "type": "DSK_Eject", "params": { "layer_id": 3, "head_id": 1 }}')
        compare(main.singleLine("a       b"), "a  b")     // seven spaces
        compare(main.singleLine("a     b"), "a  b")       // five
        compare(main.singleLine("a      b"), "a b")       // six
        compare(main.singleLine("a  b   c"), "a b c")
        compare(main.singleLine("x\ny\n"), "xy")
        compare(main.singleLine(42), "42")
        compare(main.singleLine({}), "[object Object]")
        compare(main.singleLine(null), "null")
    }

    function test_get_layer_id() {
        compare(main.getLayerId(undefined), 0)
        compare(main.getLayerId(null), 0)
        compare(main.getLayerId({ "type": "DSK_Play" }), 0)
        compare(main.getLayerId({ "params": {} }), 0)
        compare(main.getLayerId({ "params": { "layer_id": 0 } }), 0)
        compare(main.getLayerId({ "params": { "layer_id": "" } }), 0)
        compare(main.getLayerId({ "params": { "layer_id": 7 } }), 7)
    }

    function test_get_graphics_id() {
        var cue = { "_id": 2, "type": "DSK_Cue", "params": { "layer_id": 2, "graphics_id": "SCENE-02" } }
        var queue = { "DSK_Cue": cue, "DSK_Play": { "params": { "layer_id": 2 } }, "triggers": null }
        compare(main.getGraphicsId(queue), "SCENE-02")
        compare(main.getGraphicsId(cue), "SCENE-02")
        compare(main.getGraphicsId(queue.DSK_Play), "")
        compare(main.getGraphicsId({ "DSK_Cue": null }), "")
        compare(main.getGraphicsId(undefined), "")
        compare(main.getGraphicsId("SCENE-02"), "")
    }

    function test_set_layer_id() {
        var stored = { "_id": 4, "type": "DSK_Stop", "params": { "layer_id": 4, "head_id": 1 } }
        var queue = { "DSK_Stop": stored }
        var result = main.setLayerId(stored, 9)
        verify(result === stored)
        compare(queue.DSK_Stop.params.layer_id, 9)
        compare(queue.DSK_Stop.params.head_id, 1)

        var bare = { "type": "DSK_Eject" }
        verify(main.setLayerId(bare, 2) === bare)
        compare(bare.params, { "layer_id": 2 })

        compare(main.setLayerId(undefined, 5), { "params": { "layer_id": 5 } })
        compare(main.getLayerId(main.setLayerId(null, 3)), 3)
    }

    function test_clone() {
        compare(main.clone(0), 0)
        compare(main.clone(""), "")
        verify(main.clone(null) === null)
        verify(main.clone(undefined) === undefined)
        var js = { "a": [1, { "b": 2 }], "c": "x" }
        var copy = main.clone(js)
        verify(copy !== js)
        compare(copy, js)
        copy.a[1].b = 3
        compare(js.a[1].b, 2)
        compare(Object.keys(copy), ["a", "c"])
    }

    function test_update_time() {
        tryVerify(function () { return TimeScheduler.time > 0 }, 2000, "the clock ticks")

        var play = { "_id": 1, "type": "DSK_Play", "params": { "layer_id": 1, "time": 0, "transition_duration": 0 } }
        var now = main.updateTime(play)
        var clock = TimeScheduler.time
        verify(now !== play)
        compare(now.params.time, clock)
        compare(play.params.time, 0)

        // half a second later, in ticks of 100 ns
        play.params.time = 5000000
        compare(main.updateTime(play).params.time, TimeScheduler.time + 5000000)
        compare(play.params.time, 5000000)

        play.params.time = "20000"
        var later = main.updateTime(play)
        compare(typeof later.params.time, "number")
        compare(later.params.time, TimeScheduler.time + 20000)

        var eject = { "_id": 1, "type": "DSK_Eject", "params": { "layer_id": 1, "head_id": 1 } }
        verify(main.updateTime(eject) === eject)
        var cleared = { "type": "DSK_Stop", "params": { "time": null } }
        verify(main.updateTime(cleared) === cleared)
        verify(main.updateTime(null) === null)
    }
}

import QtQuick 2.12
import QtTest 1.2
import TimeScheduler 1.0

// The layer's command state machine, on its own in a host that stands in for the window.
LayerHost {
    id: host

    // A mixer that answers only when the test says so, to hold a layer in "Cue pending".
    Component {
        id: silentMixer
        QtObject {
            property string dataUrl: ''
            property var requests: []
            signal mixerQueueReply(string result, var guid)
            function mixerQueue(request, guid) { requests.push({ js: JSON.parse(request), guid: guid }) }
            function exit() { destroy() }
        }
    }

    SignalSpy { id: spy; signalName: "mixerReply" }

    TestCase {
        name: "MixerRender"
        when: windowShown

        function init() {
            host.guid = 0
            host.exitOnEject = false
            host.modifiers = 0
            spy.clear()
        }
        function cleanup() {
            TimeScheduler.timer.running = true
        }

        function makeRender(index, iLayer) {
            var r = createTemporaryObject(host.renderComponent, host,
                                          { index: index || 1, iLayer: iLayer || index || 1 })
            spy.target = r
            spy.clear()
            return r
        }
        function silentRender() {
            var r = makeRender(1)
            r.mixer = silentMixer.createObject(r)
            verify(r.active)
            return r
        }
        function cue(id, graphics) { return host.record(id, "DSK_Cue", { graphics_id: graphics || "SCENE-01" }) }
        function play(id, time) { return host.record(id, "DSK_Play", { time: time || 0, transition_type: "Fade", transition_duration: 0 }) }
        function simple(id, type) { return host.record(id, type, {}) }

        // Replies heard by the window since the last clear, parsed, with their guid.
        function heard() {
            var list = []
            for (var i = 0; i < spy.count; ++i) {
                var js = JSON.parse(spy.signalArguments[i][0])
                js.guid = spy.signalArguments[i][1]
                list.push(js)
            }
            return list
        }
        function heardFor(guid) { return heard().filter(function (js) { return js.guid === guid }) }
        function dataStatus(js) { return js.data ? js.data.status : undefined }
        function busyWait(ms) { var t = Date.now(); while (Date.now() - t < ms) {} }
        function guidsOf(list) { return list.map(function (e) { return e.guid }) }

        function test_outcomes() {
            var r = makeRender(1)

            // Answered by the layer itself while nothing is loaded: no mixer, nothing recorded.
            compare(host.send(r, simple(1, "DSK_Stop")), undefined)
            compare(dataStatus(heardFor(1)[0]), "Stop")
            host.send(r, simple(1, "DSK_GetStatus"))
            compare(dataStatus(heardFor(2)[0]), "Idle")
            host.send(r, simple(1, "DSK_Eject"), false)
            compare(dataStatus(heardFor(3)[0]), "Idle")
            host.send(r, simple(1, "ExitLayer"))
            compare(dataStatus(heardFor(4)[0]), "Idle")
            compare(spy.count, 4)
            heard().forEach(function (js) { verify(js.elapsed === undefined) })
            compare(r.mixer, null)
            compare(r.queues.length, 0)

            // Deferred: the first command starts the mixer and is replayed and passed within the call.
            compare(host.send(r, cue(3, "SCENE-02")), undefined)
            verify(r.mixer)
            verify(r.active)
            verify(r.isLoaded)
            compare(r.name, "SCENE-02")
            compare(r.mixerDelayed.length, 0)
            compare(guidsOf(r.queues), [5])
            compare(heardFor(5).map(dataStatus), [undefined, "Cued"])

            // Recorded and passed.
            compare(host.send(r, play(3)), true)
            compare(heardFor(6).map(dataStatus), [undefined, "Play"])
            verify(r.visible)

            // A test Eject for a stopped layer starts the mixer and is then passed to it.
            var s = makeRender(2)
            host.send(s, simple(1, "DSK_Eject"))
            verify(s.active)
            compare(heardFor(7).map(dataStatus), ["Idle"])
            compare(guidsOf(s.queues), [7])
        }

        function test_trace_lines() {
            var r = makeRender(4, 204)
            ignoreWarning("------layer4 send  DSK_Cue mixer=false active=false loaded=false requireReset=false "
                          + "waitExit=0 waitGuid=0 mixerDelayed=0 test=true guid=1 ")
            ignoreWarning("------layer4 send  DSK_Cue mixer=true active=true loaded=false requireReset=false "
                          + "waitExit=0 waitGuid=0 mixerDelayed=0 test=true guid=1 ")
            host.send(r, cue(1))
            r.requireReset = true
            ignoreWarning("------layer4 send  DSK_Eject mixer=true active=true loaded=true requireReset=true "
                          + "waitExit=0 waitGuid=0 mixerDelayed=0 test=false guid=2 ")
            ignoreWarning("------Exit Layer204 pid=0 ")
            host.send(r, simple(1, "DSK_Eject"), false)
            host.guid = 9
            ignoreWarning("------layer4 closed  DSK_Eject mixer=false active=false loaded=false requireReset=true "
                          + "waitExit=2 waitGuid=0 mixerDelayed=0 guid=9 ")
            tryCompare(r, "mixer", null)
        }

        function test_held_behind_cue() {
            var r = silentRender()
            compare(host.send(r, cue(1)), true)
            compare(r.waitGuid, 1)
            compare(host.send(r, play(1)), undefined)
            host.send(r, simple(1, "DSK_Stop"))
            compare(guidsOf(r.queueWaited), [2, 3])
            compare(r.mixer.requests.length, 1)
            compare(r.queues.length, 1)
            // A command the window did not mark as a test is not held.
            compare(host.send(r, simple(1, "DSK_GetStatus"), false), true)

            // The first, data-less answer releases nothing; the second does, in order.
            r.queueReply(host.fromJs({ _id: 1, status: "Ok", type: "DSK_Cue" }), 1)
            compare(r.queueWaited.length, 2)
            r.queueReply(host.fromJs({ _id: 1, status: "Ok", type: "DSK_Cue", data: { status: "Cued" } }), 1)
            compare(r.waitGuid, 0)
            compare(r.queueWaited.length, 0)
            compare(r.mixer.requests.map(function (q) { return q.js.type }),
                    ["DSK_Cue", "DSK_GetStatus", "DSK_Play", "DSK_Stop"])

            // An error for the awaited Cue releases too; one for another command does not.
            host.send(r, cue(1))
            host.send(r, play(1))
            r.queueReply(host.fromJs({ _id: 1, type: "DSK_Play", status: "Error", message: "x" }), 99)
            compare(r.queueWaited.length, 1)
            r.queueReply(host.fromJs({ _id: 1, type: "DSK_Cue", status: "Error", message: "no scene" }), 5)
            compare(r.queueWaited.length, 0)
            compare(r.mixer.requests[r.mixer.requests.length - 1].guid, 6)

            // An Eject clears the wait but keeps what was held; the next awaited Cue releases it.
            host.send(r, cue(1))                        // 7
            host.send(r, play(1))                       // 8, held
            compare(host.send(r, simple(1, "DSK_Eject")), true)
            compare(r.waitGuid, 0)
            compare(r.queueWaited.length, 1)
            host.send(r, cue(1))                        // 10
            compare(r.waitGuid, 10)
            r.queueReply(host.fromJs({ _id: 1, status: "Ok", type: "DSK_Cue", data: { status: "Cued" } }), 10)
            compare(r.queueWaited.length, 0)
            compare(r.mixer.requests[r.mixer.requests.length - 1].guid, 8)
        }

        function test_exit_ends_data() {
            return [ { tag: "exitOnEject" }, { tag: "ctrl" }, { tag: "requireReset" } ]
        }
        function test_exit_ends(data) {
            var r = makeRender(1, 101)
            host.send(r, cue(3))
            if (data.tag === "exitOnEject")
                host.exitOnEject = true
            else if (data.tag === "ctrl")
                host.modifiers = Qt.ControlModifier | Qt.ShiftModifier
            else
                r.requireReset = true
            verify(r.pressedCtrl || host.exitOnEject || r.requireReset)
            spy.clear()

            ignoreWarning("------Exit Layer101 pid=0 ")
            compare(host.send(r, simple(3, "DSK_Eject")), undefined)
            // Recorded, not passed (the stub would have answered at once), and the layer is exiting.
            compare(spy.count, 0)
            compare(r.queues[r.queues.length - 1].guid, 2)
            compare(r.waitExit, 2)
            verify(r.mixer)
            verify(!r.active)
            verify(!r.loaded)
            verify(!r.visible)
            busyWait(3)

            tryCompare(r, "mixer", null)
            compare(spy.count, 1)
            var idle = heard()[0]
            compare(idle.guid, 2)
            compare(idle._id, 3)
            compare(idle.type, "DSK_Eject")
            compare(dataStatus(idle), "Idle")
            verify(idle.elapsed >= 3)
            compare(r.waitExit, 0)
            verify(!r.requireReset)
        }

        function test_exit_layer() {
            var r = makeRender(2, 102)
            host.send(r, cue(1))
            spy.clear()
            ignoreWarning("------Kill Layer102 pid=0 ")
            compare(host.send(r, simple(1, "ExitLayer")), undefined)
            compare(r.waitExit, 2)
            busyWait(2)
            tryCompare(r, "mixer", null)
            compare(heardFor(2).map(dataStatus), ["Idle"])
            verify(heardFor(2)[0].elapsed > 0)

            // kill() without a mixer only clears the reset request; exit() does nothing at all.
            r.requireReset = true
            r.exit()
            verify(r.requireReset)
            r.kill()
            verify(!r.requireReset)
        }

        function test_pending_exit() {
            var r = makeRender(1)
            host.send(r, cue(1))
            var first = r.mixer
            r.requireReset = true
            host.send(r, simple(1, "DSK_Eject"))      // 2: exit pending
            compare(r.waitExit, 2)
            compare(host.send(r, play(1)), undefined) // 3: deferred, and the exit loses its answer
            compare(guidsOf(r.mixerDelayed), [3])
            compare(r.waitExit, 0)
            verify(r.mixer === first)

            tryVerify(function () { return r.active })
            verify(r.mixer !== first)
            compare(heardFor(2).length, 0)
            compare(heardFor(3).map(dataStatus), [undefined, "Play"])
            compare(r.mixerDelayed.length, 0)
        }

        function test_crash() {
            var r = makeRender(1, 101)
            host.send(r, cue(7))
            spy.clear()
            ignoreWarning("------layer101 crash lastGuid=1 ")
            r.mixer.destroy()
            tryCompare(r, "mixer", null)
            verify(!r.active)
            verify(r.loaded)                          // a crash leaves it as it was
            verify(!r.visible)
            var error = heard()[0]
            compare(spy.count, 1)
            compare([error.guid, error._id, error.type, error.status, error.message],
                    [1, 7, "DSK_Cue", "Error", "Crashed"])
            compare(Object.keys(error).slice(0, 4), ["_id", "type", "status", "message"])

            // A crash while the last command was only held: nothing recorded for it, so _id 0.
            var s = silentRender()
            host.send(s, cue(1))                      // 2
            host.send(s, play(1))                     // 3, held
            spy.clear()
            s.mixer.destroy()
            tryCompare(s, "mixer", null)
            error = heard()[0]
            compare([error.guid, error._id, error.type, error.message], [3, 0, "", "Crashed"])
            compare(s.waitGuid, 2)
            compare(s.queueWaited.length, 1)
        }

        function test_history() {
            var r = makeRender(1)
            compare(r.getResponce(), "")
            for (var i = 0; i < 15; ++i)
                host.send(r, simple(i, "DSK_GetStatus"))
            compare(r.responces.length, 11)
            compare(JSON.parse(r.responces[0])._id, 4)
            compare(r.getResponce(), r.responces.join("\n"))
            compare(r.getResponce().split("\n}\n{").length, 11)

            for (i = 0; i < 15; ++i)
                host.send(r, cue(i))
            compare(r.queues.length, 10)
            compare(r.responces.length, 11)

            // getQueueByGuid: the newest of two entries; none gives no js and no time.
            r.queues.push({ guid: 30, js: { type: "older" }, time: 1 })
            r.queues.push({ guid: 30, js: { type: "newer" }, time: 2 })
            compare(r.getQueueByGuid(30).js.type, "newer")
            compare(r.getQueueByGuid(1234).js, undefined)
            compare(r.getQueueByGuid(1234).time, undefined)
        }

        function test_live_and_fade_out() {
            var r = makeRender(1)
            host.send(r, cue(1))
            spy.clear()
            var before = r.responces.length
            r.queueReply(host.fromJs({ status: "Ok", type: "Live" }), 0)
            r.queueReply(host.fromJs({ status: "Ok", type: "FadeOut" }), 1)
            compare(spy.count, 0)
            compare(r.responces.length, before)
            r.queueReply(host.fromJs({ status: "Ok", type: "Live" }), 1)
            compare(spy.count, 1)
            compare(r.statusFiltered, 0)
        }

        function test_reset() {
            var r = makeRender(3)
            r.requireReset = true
            r.reset()
            verify(!r.requireReset)

            host.send(r, cue(1))
            ignoreWarning("------layer3 reset mixer=true active=true waitExit=0 waitGuid=0 ejected=false ")
            r.reset()
            verify(r.requireReset)
            host.send(r, simple(1, "DSK_Eject"), false)
            compare(r.waitExit, 2)                    // the reset turned this Eject into an exit
            tryCompare(r, "mixer", null)
            verify(!r.requireReset)
            verify(!r.active)

            var s = makeRender(4)
            host.send(s, cue(1))
            host.send(s, simple(1, "DSK_Eject"))
            ignoreWarning("------layer4 reset mixer=true active=true waitExit=0 waitGuid=0 ejected=true ")
            s.reset()
        }

        function test_restamp_on_replay() {
            TimeScheduler.timer.running = false
            TimeScheduler.time = 17000000000000
            var r = makeRender(1)
            // Not a test command, yet deferred and replayed as one: stamped now + 0.5 s.
            host.send(r, play(1, 777), false)
            compare(r.lastJS.params.time, 17000000000000 + 5000000)
            compare(r.queues[0].js.params.time, 17000000000000 + 5000000)
            compare(r.waiting.length, 1)
            verify(r.waiting[0].js === r.lastJS)
            // Time 0 stays 0 and is not timed; a non-test time is kept as given.
            host.send(r, play(1, 0))
            compare(r.lastJS.params.time, 0)
            compare(r.waiting.length, 1)
            host.send(r, play(1, 42), false)
            compare(r.lastJS.params.time, 42)
            TimeScheduler.time = 17000000100000
            host.send(r, play(1, 42))
            compare(r.lastJS.params.time, 17000000100000 + 5000000)
        }

        function test_bad_commands_data() {
            return [
                { tag: "not JSON", text: "{ \"type\": ", problem: "not JSON", id: 0, type: "" },
                { tag: "not text", text: 42, problem: "not text", id: 0, type: "" },
                { tag: "array", text: "[1, 2]", problem: "not an object", id: 0, type: "" },
                { tag: "no type", text: "{\"_id\": 4, \"params\": {}}", problem: "no type", id: 4, type: "" },
                { tag: "no params", text: "{\"_id\": 4, \"type\": \"DSK_Play\"}", problem: "no params", id: 4, type: "DSK_Play" },
                { tag: "params not object", text: "{\"type\": \"DSK_Cue\", \"params\": \"x\"}", problem: "no params", id: 0, type: "DSK_Cue" },
                { tag: "time text", text: "{\"type\": \"DSK_Play\", \"params\": {\"time\": \"soon\"}}", problem: "time is not a number", id: 0, type: "DSK_Play" },
                { tag: "graphics_id number", text: "{\"type\": \"DSK_Cue\", \"params\": {\"graphics_id\": 5}}", problem: "graphics_id is not text", id: 0, type: "DSK_Cue" }
            ]
        }
        function test_bad_commands(data) {
            // Once on a stopped layer, once on a layer with a Cue pending and a command held.
            var layers = [makeRender(1), silentRender()]
            host.send(layers[1], cue(1, "SCENE-05"))
            host.send(layers[1], play(1))
            layers.forEach(function (r) {
                spy.target = r
                spy.clear()
                var before = [r.lastJS, r.lastGuid, r.name, r.mixer, r.active, r.loaded, r.waitGuid,
                              r.waitExit, r.queues.length, r.mixerDelayed.length, r.queueWaited.length,
                              r.waiting.length, r.visible]
                host.guid = 50
                ignoreWarning("------layer1 rejected  " + data.problem + " type=" + data.type + " guid=51 ")
                compare(host.send(r, data.text), undefined)
                compare([r.lastJS, r.lastGuid, r.name, r.mixer, r.active, r.loaded, r.waitGuid,
                         r.waitExit, r.queues.length, r.mixerDelayed.length, r.queueWaited.length,
                         r.waiting.length, r.visible], before)
                compare(spy.count, 1)
                var error = heard()[0]
                compare([error.guid, error._id, error.type, error.status, error.message],
                        [51, data.id, data.type, "Error", "Bad command: " + data.problem])
                compare(r.responces[r.responces.length - 1], spy.signalArguments[0][0])
            })
        }

        function test_bad_replies() {
            var r = silentRender()
            host.send(r, cue(6))                      // 1, awaited
            host.send(r, play(6))                     // 2, held
            spy.clear()

            // Unreadable replies with no command behind them are traced and dropped.
            ignoreWarning("------layer1 bad reply  guid=0 text=garbage ")
            r.queueReply("garbage", 0)
            compare(spy.count, 0)

            // An unreadable reply to the awaited Cue is an error for it: the window hears it and
            // the held command is released.
            var shapes = ["[]", "{\"type\": 3, \"status\": \"Ok\"}", "{\"type\": \"DSK_Cue\"}",
                          "{\"type\": \"DSK_Cue\", \"status\": \"Ok\", \"data\": 1}", 17]
            for (var i = 0; i < shapes.length - 1; ++i) {
                r.queueReply(shapes[i], 77)
                compare(r.queueWaited.length, 1)
            }
            compare(spy.count, 4)
            heard().forEach(function (js) {
                compare([js._id, js.type, js.status, js.message], [0, "", "Error", "Bad reply from mixer"])
            })
            r.queueReply(shapes[shapes.length - 1], 1)
            var error = heard()[4]
            compare([error.guid, error._id, error.type, error.status], [1, 6, "DSK_Cue", "Error"])
            compare(r.waitGuid, 0)
            compare(r.queueWaited.length, 0)
            compare(r.mixer.requests[1].guid, 2)
        }

        function test_edit_and_bindings() {
            var r = makeRender(1, 101)
            r.edit()                                  // no editor client on this machine
            verify(!r.edited)
            compare(r.clients, 0)
            verify(!r.duration)
            host.modifiers = Qt.ControlModifier
            verify(r.pressedCtrl)
            host.modifiers = Qt.ShiftModifier
            compare(r.pressedCtrl, 0)
            compare(r.aspect, 1920 / 1080)
            verify(!r.visible)
            compare(r.opacity, 1)
        }
    }
}

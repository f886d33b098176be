import QtQuick 2.12
import QtTest 1.2
import TimeScheduler 1.0

// Fades and timed commands. The beat is stopped and driven by hand, so "now" is exact; fades are
// compared with a reference animation started at the same moment, not with the wall clock.
LayerHost {
    id: host

    Item { id: ref }
    NumberAnimation { id: refAnim; target: ref; property: "opacity" }

    // A content that needs time to render: timed commands fall due that much later.
    Component {
        id: slowContent
        Item { property QtObject source: QtObject { property double renderDelay: 1500000; property double renderStep: 500000 } }
    }

    TestCase {
        name: "MixerRenderTiming"
        when: windowShown

        readonly property double t0: 18000000000000

        function init() {
            host.guid = 0
            TimeScheduler.timer.running = false
            TimeScheduler.time = t0
        }
        function cleanup() {
            refAnim.stop()
            TimeScheduler.timer.running = true
        }

        function makeRender() { return createTemporaryObject(host.renderComponent, host, { index: 1, iLayer: 1 }) }
        function loadedRender() {
            var r = makeRender()
            host.send(r, host.record(1, "DSK_Cue", { graphics_id: "SCENE-01" }))
            verify(r.isLoaded)
            verify(!r.visible)
            return r
        }
        function timed(type, time, extra) {
            var params = { time: time, transition_type: "Fade", transition_duration: 0 }
            for (var key in extra)
                params[key] = extra[key]
            return host.record(1, type, params)
        }
        function startReference(from, to, ms) {
            ref.opacity = from
            refAnim.from = from
            refAnim.to = to
            refAnim.duration = ms
            refAnim.start()
        }
        function beat(ticks) { TimeScheduler.time = ticks }

        function test_fade_in_length_data() {
            return [
                { tag: "Fade 5000000 ticks", params: { transition_type: "Fade", transition_duration: 5000000 }, ms: 500 },
                { tag: "duration as text", params: { transition_type: "Fade", transition_duration: "3000000" }, ms: 300 },
                { tag: "duration not a number", params: { transition_type: "Fade", transition_duration: "slow" }, ms: 0 },
                { tag: "other transition", params: { transition_type: "Cut", transition_duration: 5000000 }, ms: 0 },
                { tag: "zero duration", params: { transition_type: "Fade", transition_duration: 0 }, ms: 0 },
                { tag: "no record", params: null, ms: 0 }
            ]
        }
        function test_fade_in_length(data) {
            var r = makeRender()
            if (data.ms)
                startReference(0, 1, data.ms)
            r.fadeIn(data.params ? { type: "DSK_Play", params: data.params } : undefined)
            verify(r.visible)
            if (!data.ms) {
                compare(r.opacity, 1)
                return
            }
            compare(r.opacity, 0)
            tryVerify(function () { return ref.opacity > 0.3 })
            fuzzyCompare(r.opacity, ref.opacity, 0.1)
            verify(r.opacity < 1)
            tryCompare(ref, "opacity", 1)
            tryCompare(r, "opacity", 1, 100)
        }

        function test_fade_out_length_data() {
            return [
                { tag: "own duration wins", js: { duration: 3000000, params: { transition_type: "Cut" } }, ms: 300 },
                { tag: "Fade transition", js: { params: { transition_type: "Fade", transition_duration: 2000000 } }, ms: 200 },
                { tag: "bad own duration", js: { duration: "x", params: { transition_type: "Fade", transition_duration: 2000000 } }, ms: 200 },
                { tag: "no length", js: { params: { transition_type: "Fade", transition_duration: 0 } }, ms: 0 },
                { tag: "no record", js: undefined, ms: 0 }
            ]
        }
        function test_fade_out_length(data) {
            var r = makeRender()
            r.fadeIn()
            if (data.ms)
                startReference(1, 0, data.ms)
            r.fadeOut(data.js)
            if (!data.ms) {
                verify(!r.visible)
                compare(r.opacity, 0)
                return
            }
            // Stays visible while it fades; the fade's last step hides it.
            tryVerify(function () { return ref.opacity < 0.7 })
            verify(r.visible)
            fuzzyCompare(r.opacity, ref.opacity, 0.1)
            tryCompare(ref, "opacity", 0)
            tryCompare(r, "visible", false, 100)
            compare(r.opacity, 0)
        }

        function test_running_fades() {
            var r = makeRender()
            // A fade-in asked for again while it runs goes on with its first length.
            startReference(0, 1, 500)
            r.fadeIn({ params: { transition_type: "Fade", transition_duration: 5000000 } })
            tryVerify(function () { return ref.opacity > 0.3 })
            var reached = r.opacity
            verify(reached > 0)
            r.fadeIn({ params: { transition_type: "Fade", transition_duration: 50000000 } })
            compare(r.opacity, reached, "not dropped to transparent for a frame")
            tryCompare(ref, "opacity", 1)
            tryCompare(r, "opacity", 1, 100)

            // A fade-in does not stop a running fade-out, whose end still hides the layer.
            startReference(1, 0, 300)
            r.fadeOut({ duration: 3000000 })
            r.fadeIn({ params: { transition_type: "Fade", transition_duration: 1000000 } })
            verify(r.visible)
            tryCompare(ref, "opacity", 0)
            tryCompare(r, "visible", false, 100)
        }

        function test_timed_play_and_stop() {
            var r = loadedRender()
            var due = t0 + 1000000
            // A timed Play shows the layer when passed and again at the first beat within 3 ms of its time.
            compare(host.send(r, timed("DSK_Play", due), false), true)
            verify(r.visible)
            compare(r.waiting.length, 1)
            r.fadeOut()
            beat(due - 30000 - 10000)
            verify(!r.visible)
            compare(r.waiting.length, 1)
            beat(due - 30000)
            verify(r.visible)
            compare(r.waiting.length, 0)

            // A timed Stop hides only when due; a Stop at time 0 is not timed and hides nothing.
            host.send(r, timed("DSK_Stop", due + 2000000), false)
            host.send(r, timed("DSK_Stop", 0), false)
            compare(r.waiting.length, 1)
            beat(due + 1000000)
            verify(r.visible)
            beat(due + 2000000)
            verify(!r.visible)
            compare(r.waiting.length, 0)

            // Other types leave the list at their beat without effect.
            host.send(r, host.record(1, "DSK_Continue", { trigger_id: "", time: due + 3000000 }), false)
            compare(r.waiting.length, 1)
            beat(due + 3000000)
            compare(r.waiting.length, 0)
            verify(!r.visible)
        }

        function test_same_beat_keeps_passing_order() {
            var r = loadedRender()
            var due = t0 + 1000000
            host.send(r, timed("DSK_Stop", due), false)
            host.send(r, timed("DSK_Play", due + 10000), false)
            host.send(r, timed("DSK_Play", due + 5000000), false)
            r.fadeOut()
            beat(due + 10000)
            verify(r.visible)                          // Stop, then Play: shown
            compare(r.waiting.length, 1)               // the later Play waits on
            host.send(r, timed("DSK_Stop", due + 5000000), false)
            beat(due + 5000000)
            verify(!r.visible)                         // Play, then Stop: hidden
            compare(r.waiting.length, 0)
        }

        function test_test_play_after_eject() {
            var r = loadedRender()
            // A test Play is due 0.5 s after it was passed; an Eject (or a Cue) before then hides
            // the layer for good: neither the Play falling due nor its fade shows it again.
            host.send(r, timed("DSK_Play", 1, { transition_duration: 20000000 }))   // 2 s fade
            var due = r.lastJS.params.time
            compare(due, t0 + 5000000)
            tryVerify(function () { return r.opacity > 0 })
            host.send(r, host.record(1, "DSK_Eject", {}))
            host.send(r, host.record(1, "DSK_Cue", {}))
            host.send(r, timed("DSK_Play", 1))
            host.send(r, host.record(1, "DSK_Cue", {}))
            compare(r.waiting.length, 0)
            beat(due)
            wait(100)
            compare([r.visible, r.opacity], [false, 0])
        }

        function test_stop_due_ends_what_waits() {
            var r = loadedRender()
            var replies = []
            r.mixerReply.connect(function (result, guid) { replies.push([JSON.parse(result).type, guid]) })
            // passed before the Stop and due after it: ended with it; passed after it: stays
            host.send(r, timed("DSK_Play", t0 + 3000000), false)
            host.send(r, timed("DSK_Stop", t0 + 1000000), false)
            host.send(r, timed("DSK_Play", t0 + 2000000), false)
            beat(t0 + 1000000)
            verify(!r.visible)
            compare(r.waiting.length, 1)
            compare(replies[replies.length - 1], ["DSK_Stop", host.guid - 1], "answered when due")
        }

        function test_test_play_fades_again_when_due() {
            var r = loadedRender()
            host.send(r, timed("DSK_Play", 1, { transition_duration: 1000000 }))
            tryCompare(r, "opacity", 1)
            beat(r.lastJS.params.time)
            verify(r.opacity < 1)                      // a second fade-in from transparent
            tryCompare(r, "opacity", 1)
        }

        function test_render_delay() {
            var r = loadedRender()
            findChild(r, "textureReceiver").sourceComponent = slowContent
            var due = t0 + 1000000
            host.send(r, timed("DSK_Play", due), false)
            r.fadeOut()
            beat(due)
            verify(!r.visible)
            beat(due + 2000000 - 30000)
            verify(r.visible)
        }
    }
}

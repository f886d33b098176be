import QtQuick 2.12
import QtTest 1.2
import Serialization 1.0

// The in-process stub mixer, the layer's content (placeholder and video) and its unloading.
LayerHost {
    id: host

    SignalSpy { id: spy; signalName: "mixerReply" }

    TestCase {
        name: "MixerRenderContent"
        when: windowShown

        function init() {
            host.guid = 0
            host.renderNumber = 12
            host.dataUrl = "Layers"
        }

        function makeRender(index, props) {
            var all = { index: index, iLayer: index }
            for (var key in props)
                all[key] = props[key]
            var r = createTemporaryObject(host.renderComponent, host, all)
            spy.target = r
            spy.clear()
            return r
        }
        function cue(id, graphics) { return host.record(id, "DSK_Cue", { graphics_id: graphics }) }
        // Replies for a guid, each as its fields in order (the layer's own `elapsed` left out).
        function repliesFor(guid) {
            var list = []
            for (var i = 0; i < spy.count; ++i) {
                if (spy.signalArguments[i][1] !== guid)
                    continue
                var js = JSON.parse(spy.signalArguments[i][0])
                delete js.elapsed
                list.push(Object.keys(js).map(function (k) { return k + "=" + JSON.stringify(js[k]) }).join(" "))
            }
            return list
        }

        function test_stub_replies() {
            var r = makeRender(1)
            var text = cue(3, "SCENE-01")
            ignoreWarning("------mixerQueue render 1 SCENE-01 request=" + text + " ")
            host.send(r, text)
            compare(repliesFor(1), ['_id=3 status="Ok" type="DSK_Cue"',
                                    '_id=3 status="Ok" type="DSK_Cue" data={"status":"Cued"}'])
            compare(r.mixer.dataUrl, "Layers")

            host.dataUrl = "/srv/scenes"
            host.send(r, host.record(3, "DSK_Play", { time: 0, transition_type: "Fade", transition_duration: 0 }))
            compare(repliesFor(2), ['_id=3 status="Ok" type="DSK_Play"',
                                    '_id=3 status="Ok" type="DSK_Play" data={"status":"Play"}'])
            compare(r.mixer.dataUrl, "/srv/scenes")

            // Stop, GetStatus and Continue reach the stub but it has nothing to say to them.
            compare(host.send(r, host.record(3, "DSK_Stop", { time: 0 })), true)
            compare(host.send(r, host.record(3, "DSK_GetStatus", {})), true)
            compare(host.send(r, host.record(3, "DSK_Continue", { trigger_id: "", time: 0 })), true)
            compare(spy.count, 4)

            host.send(r, host.record(3, "DSK_Eject", {}))
            compare(repliesFor(6), ['_id=3 status="Ok" type="DSK_Eject" data={"status":"Idle"}'])
            compare(spy.count, 5)
            verify(r.mixer)                             // an ordinary Eject leaves the mixer running
        }

        function test_placeholder_geometry() {
            var expected = { 1: ["red", 160], 2: ["orange", 320], 7: ["purple", 1120], 8: ["red", 1280],
                             12: ["cyan", 1920] }
            for (var i = 1; i <= 12; ++i) {
                var r = makeRender(i)
                host.send(r, cue(i, "L" + i))
                var box = findChild(r, "placeholderBox")
                verify(box, "layer " + i)
                compare(box.x, i * 160)
                compare([box.width, box.height, box.y], [480, 270, 405])
                compare(box.children[0].text, "L" + i)
                if (expected[i])
                    verify(Qt.colorEqual(box.color, expected[i][0]), "layer " + i + " " + box.color)
                compare(box.x, expected[i] ? expected[i][1] : box.x)
            }

            // The name follows the last Cue; the box turns; the layer count spaces the boxes.
            var before = box.rotation
            host.send(r, cue(12, "OTHER"))
            compare(box.children[0].text, "OTHER")
            tryVerify(function () { return box.rotation !== before })
            host.renderNumber = 6
            compare(box.x, 12 * 320)
        }

        function test_content_choice() {
            var r = makeRender(1)
            host.send(r, cue(1, "A"))
            verify(findChild(r, "placeholderBox"))
            r.media = "file:///nowhere/late.avi"      // chosen only when the mixer starts
            verify(findChild(r, "placeholderBox"))
            verify(!findChild(r, "mediaPlayer"))

            var v = makeRender(2, { media: "file:///nowhere/clip.avi" })
            host.send(v, cue(1, "B"))
            verify(v.active)
            verify(!findChild(v, "placeholderBox"))
            compare(String(findChild(v, "mediaPlayer").source), "file:///nowhere/clip.avi")
            v.media = "file:///nowhere/other.avi"    // a loaded video follows the layer's media
            compare(String(findChild(v, "mediaPlayer").source), "file:///nowhere/other.avi")
        }

        function test_unload() {
            var r = makeRender(1)
            host.send(r, cue(1, "A"))
            var loader = findChild(r, "textureReceiver")
            var calls = 0
            // With content: the content goes at once, and so does the call-back.
            loader.unload(function () { ++calls })
            compare(calls, 1)
            compare(loader.item, null)
            compare(loader.onUnload, null)

            // Without content: the call-back waits for the timer (1 s).
            loader.unload(function () { ++calls })
            verify(loader.onUnload)
            wait(100)
            compare(calls, 1)
            tryVerify(function () { return calls === 2 }, 3000)
            verify(r.mixer)

            // Ending a mixer whose content is already gone takes that timer too, but still ends it.
            r.exit()
            verify(r.mixer)
            verify(!r.active)
            tryCompare(r, "mixer", null, 3000)
        }

        function test_bad_media_data() {
            return [ { tag: "missing file" }, { tag: "not a video" } ]
        }
        function test_bad_media(data) {
            var url = "file:///nowhere/missing.avi"
            if (data.tag === "not a video") {
                var path = Serialization.getEnv("ORVANE_TEST_TMP") + "/not-a-video.avi"
                verify(Serialization.writeToTextFile(path, "RIFF this is no video at all"))
                url = "file://" + path
            }
            var r = makeRender(1, { media: url })
            host.send(r, cue(1, "A"))
            verify(r.active)
            compare(repliesFor(1).length, 2)
            var player = findChild(r, "mediaPlayer")
            tryVerify(function () { return player.error !== 0 }, 10000, "the player reports the bad file")

            // The layer goes on answering its commands.
            host.send(r, host.record(1, "DSK_Play", { time: 0 }))
            compare(repliesFor(2).length, 2)
            verify(r.visible)
            r.requireReset = true
            host.send(r, host.record(1, "DSK_Eject", {}))
            tryCompare(r, "mixer", null)
            compare(repliesFor(3).length, 1)
            host.send(r, cue(1, "A"))
            verify(r.isLoaded)
            compare(repliesFor(4).length, 2)
        }
    }
}

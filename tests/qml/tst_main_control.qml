import QtQuick 2.12
import QtTest 1.2

// The window's side of the control port, with a stand-in for the server: tally follows what is
// drawn (a fade-in is on air from its first visible frame, a fade-out until its last), and a
// request leaves the operator's selection and the panels' texts as they were.
MainWindowTestCase {
    name: "MainControl"

    // What the server would write: answers and events, as the window hands them over.
    QtObject {
        id: port
        property int layerCount: 0
        property var scenes: []
        property var queues
        property var renders
        property string dataDirectory
        property var answers: []
        property var events: []
        signal request(int connection, string peer, var request)
        signal trace(string line)
        function respond(connection, text) { answers.push(JSON.parse(text)) }
        function broadcastEvent(text) {
            var e = JSON.parse(text)
            // what the layer's picture was when its tally changed
            if (e.event === "tally")
                e.drawn = { "visible": render(e.layer).visible, "opacity": render(e.layer).opacity }
            events.push(e)
        }
        function ask(request) {
            // as the port hands a checked command on: with the type of the record it sends
            var commands = { "play": "DSK_Play", "stop": "DSK_Stop", "continue": "DSK_Continue" }
            if (commands[request["do"]])
                request.command = commands[request["do"]]
            var before = answers.length
            port.request(1, "127.0.0.1:5000", request)
            return answers.length === before + 1 ? answers[before] : null
        }
        function tallies() { return events.filter(function (e) { return e.event === "tally" }) }
    }

    function initTest() {
        port.answers = []
        port.events = []
        createMain({ "controlPort": port })
    }

    function test_tally_follows_the_fades() {
        var layer = render(4)
        var fade = { "type": "DSK_Play", "params": { "time": 0, "transition_type": "Fade",
                                                     "transition_duration": 4000000 } }   // 400 ms
        var a = port.ask({ "do": "play", "layer": 4, "record": fade })
        compare(a.ok, true)
        compare(a.guids.length, 2)
        // the Play also falls due at a beat half a second on and fades in again if its first fade
        // has ended by then: wait for that too, so that the Stop below is the only change left
        tryVerify(function () { return layer.waiting.length === 0 }, 5000, "the Play falls due")
        tryCompare(layer, "opacity", 1, 5000)
        // every change of tally is one of the picture: on air exactly while drawn with an opacity
        // above 0
        var tallies = port.tallies()
        verify(tallies.length > 0)
        for (var i = 0; i < tallies.length; ++i) {
            compare(tallies[i].layer, 4)
            compare(tallies[i].onAir, i % 2 === 0, "alternating")
            compare(tallies[i].onAir, tallies[i].drawn.visible && tallies[i].drawn.opacity > 0, JSON.stringify(tallies[i]))
            if (tallies[i].onAir)
                verify(tallies[i].drawn.opacity < 1, "on air from the first visible frame of a fade, not its end")
        }
        compare(tallies[tallies.length - 1].onAir, true)
        var count = tallies.length

        // a Stop fading out is on air until it is gone
        var stop = { "type": "DSK_Stop", "params": { "time": 0, "transition_type": "Fade",
                                                     "transition_duration": 4000000 } }
        compare(port.ask({ "do": "stop", "layer": 4, "record": stop }).guids.length, 1)
        tryVerify(function () { return layer.opacity < 1 }, 5000)
        compare(port.tallies().length, count)
        tryVerify(function () { return port.tallies().length === count + 1 }, 5000)
        var off = port.tallies()[count]
        compare(off.onAir, false)
        compare(off.drawn.opacity, 0)

        // state reads the same
        compare(port.ask({ "do": "state" }).layers[3].onAir, false)
    }

    function test_request_leaves_selection_and_panels() {
        main.currentIndex = 5
        main.currentLayer = 1     // moving the layer brings the panels in line
        main.togglePanel("Queues")
        var queuesText = main.editPanels.Queues.info.text
        verify(queuesText.indexOf("SCENE-06") >= 0, queuesText)
        var refreshed = 0
        var info = main.editPanels.Queues.info
        info.textChanged.connect(function () { ++refreshed })

        compare(port.ask({ "do": "play", "layer": 9, "scene": "SCENE-02" }).guids.length, 2)
        compare(port.ask({ "do": "continue", "layer": 9, "scene": "SCENE-02", "trigger": "t2" }).guids.length, 1)
        compare(render(9).lastJS.params.trigger_id, "t2")
        compare(main.queues[1].DSK_Continue.params.trigger_id, "t2")
        compare(main.currentLayer, 1)
        compare(main.currentIndex, 5)
        compare(refreshed, 0)
        compare(info.text, queuesText)

        // the operator's own commands still go to the operator's layer and scene
        click("Cue")
        compare(render(2).name, "SCENE-06")

        // select moves the selection as the selectors do, and stores it
        compare(port.ask({ "do": "select", "layer": 9, "scene": "SCENE-02" }), { "ok": true })
        compare(main.currentLayer, 8)
        compare(main.currentName, "SCENE-02")
        compare(Number(settingsOf(main).currentLayer), 8)
        compare(settingsOf(main).currentName, "SCENE-02")
        verify(info.text.indexOf("SCENE-02") >= 0, "the panel follows a selection")
    }
}

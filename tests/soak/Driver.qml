import QtQml 2.12
import TimeScheduler 1.0

// Plays an operator and a crowd of misbehaving layers against one output window, one random
// step at a time, and checks after each step what must always hold. The same seed gives the
// same sequence of steps.
QtObject {
    id: driver

    property var main: null
    property int seed: 1
    property var rng: 0
    property string lastAction: ""
    // the guid this step handed to the window's mixerQueue itself, not one the window took
    property var handedGuid: undefined
    // counts per action, for the closing summary
    property var counts: ({})
    // when not empty, only these actions run (names as in lastAction, comma-separated): one
    // kind of action at a time shows which of them makes memory grow
    property string only: ""

    readonly property var types: ["DSK_Cue", "DSK_Play", "DSK_Stop", "DSK_Eject", "DSK_GetStatus",
                                  "DSK_Continue", "ExitLayer", "DSK_Bogus", ""]
    readonly property var statuses: ["Cued", "Play", "Idle", "Stop"]

    // mulberry32: small, fast and the same on every machine
    function random() {
        rng = (rng + 0x6D2B79F5) | 0
        var t = rng
        t = Math.imul(t ^ (t >>> 15), t | 1)
        t ^= t + Math.imul(t ^ (t >>> 7), t | 61)
        return ((t ^ (t >>> 14)) >>> 0) / 4294967296
    }
    function below(n) { return Math.floor(random() * n) }
    function pick(list) { return list[below(list.length)] }
    function chance(p) { return random() < p }

    function start() {
        rng = seed | 0
        TimeScheduler.timer.running = false
        TimeScheduler.time = 16000000000000000
    }

    function count() { return main.renders.count }
    function render(i) { return main.renders.itemAt(i) }
    function anyRender() { return count() > 0 ? render(below(count())) : null }

    // ---------------------------------------------------------------- generated texts

    function junkText(length) {
        // letters, digits and JSON punctuation; never the words the log check looks for
        var alphabet = "abcdefghijklmnopqrstuvwxyz0123456789{}[]\":,. \n\\<>&%/"
        var s = ""
        for (var i = 0; i < length; ++i)
            s += alphabet.charAt(below(alphabet.length))
        return s
    }

    function hugeText() {
        var piece = junkText(64)
        var s = piece
        while (s.length < 65536)
            s += s
        return s
    }

    function oddValue() {
        return pick([undefined, null, 0, -1, 7, 1e300, 2.5, "", "x", "SCENE-02", true, false, [], [1, 2],
                     {}, { "a": 1 }, "Layer 3", "../../etc", NaN])
    }

    function layerValue() {
        if (chance(0.5))
            return 1 + below(Math.max(count(), 1))
        return pick([undefined, 0, -1, count() + 1, 99, "2", "SCENE-0" + (1 + below(9)), "abc", {}, [], true,
                     null, 2.5, ""])
    }

    function record(type) {
        var js = { "_id": below(20), "type": type,
                   "params": { "layer_id": layerValue(), "head_id": 1 } }
        if (type === "DSK_Cue")
            js.params.graphics_id = chance(0.8) ? "SCENE-0" + (1 + below(9)) : oddValue()
        if (type === "DSK_Play" || type === "DSK_Stop" || type === "DSK_Continue") {
            js.params.time = chance(0.5) ? 0 : (chance(0.8) ? below(20000000) : oddValue())
            js.params.transition_type = "Fade"
            js.params.transition_duration = chance(0.7) ? below(5000000) : oddValue()
        }
        if (chance(0.1))
            js.params = oddValue()
        if (chance(0.05))
            delete js.type
        return js
    }

    function recordText() {
        var r = below(10)
        if (r === 0)
            return pick(["", "{", "null", "[]", "42", "\"text\"", "{\"type\": 5}", junkText(40)])
        if (r === 1 && chance(0.1))
            return hugeText()
        return main.fromJs(record(pick(types)))
    }

    function replyObject() {
        var js = {}
        if (chance(0.9))
            js._id = below(20)
        if (chance(0.9))
            js.type = chance(0.9) ? pick(types) : oddValue()
        var kind = below(12)
        if (kind < 3) {
            js.status = "Ok"
            if (chance(0.7))
                js.data = chance(0.9) ? { "status": pick(statuses) } : oddValue()
        } else if (kind < 5) {
            js.status = "Error"
            js.message = chance(0.9) ? "stuck " + junkText(8) : oddValue()
        } else if (kind < 7) {
            js.status = "Warning"
            js.message = chance(0.5) ? "Handles too much: " + below(1000) : (chance(0.8) ? "slow" : oddValue())
            if (chance(0.3))
                js.command = pick(["DSK_Eject", "Reset", "DSK_Play"])
        } else if (kind < 11) {
            // a reply asking for a command on some layer
            js.status = pick(["Ok", "Ok", "Error", oddValue()])
            js.command = chance(0.85) ? pick(["DSK_Play", "DSK_Stop", "DSK_Continue", "DSK_Cue", "DSK_Eject",
                                              "DSK_GetStatus", "Reset", "DSK_Bogus"])
                                      : oddValue()
            if (chance(0.6))
                js.layer = layerValue()
            if (chance(0.5))
                js.delay = chance(0.8) ? below(3000) : oddValue()
            if (chance(0.3))
                js.trigger = chance(0.8) ? "t" + below(5) : oddValue()
        } else {
            js.status = oddValue()
            js.message = oddValue()
            js.command = chance(0.5) ? oddValue() : undefined
        }
        if (chance(0.1))
            js.elapsed = oddValue()
        return js
    }

    function replyText() {
        var r = below(20)
        if (r === 0)
            return pick(["", "{", "null", "[]", "42", "\"text\"", "{\"status\": [\"Error\"]}", junkText(30)])
        // rare: while a huge reply is among a layer's last replies every reply costs much more
        if (r === 1 && chance(0.05)) {
            var js = replyObject()
            js.message = hugeText()
            return main.fromJs(js)
        }
        return main.fromJs(replyObject())
    }

    function guidValue(r) {
        var g = main.guid
        var options = [g, g - below(5), 0, r ? r.waitGuid : 0, r ? r.lastGuid : 0, undefined, "1", -3]
        return pick(options)
    }

    // ---------------------------------------------------------------- panel texts

    function queueEdit() {
        var r = below(8)
        if (r === 0)
            return junkText(20)
        if (r === 1)
            return pick(["", "null", "5", "[]", "\"x\"", "{}"])
        var js = {}
        var type = pick(["DSK_Cue", "DSK_Play", "DSK_Stop", "DSK_Eject", "DSK_Continue", "triggers", "7", "extra"])
        if (type === "triggers")
            js.triggers = chance(0.6) ? [{ "id": "t1", "title": "One" }, { "id": "t2", "title": "Two" }]
                                      : oddValue()
        else if (chance(0.7))
            js[type] = record(type)
        else
            js[type] = oddValue()
        return main.fromJs(js)
    }

    function containerEdit() {
        var r = below(6)
        if (r === 0)
            return junkText(20)
        if (r === 1)
            return pick(["", "null", "0", "[]", "\"x\"", "{}", "true"])
        var name = main.currentName
        var js = { "graphics_id": name, "title": name, "template_name": name + ".gfx", "duration": below(100),
                   "duration_unlimited": chance(0.5) }
        if (chance(0.8))
            js.template_params = chance(0.7) ? [{ "name": "a", "value": junkText(5) }] : oddValue()
        return main.fromJs(js)
    }

    function editPanel(mode, text) {
        var entry = main.editPanels[mode]
        if (!entry)
            return "no " + mode + " panel"
        entry.info.text = text
        return ""
    }

    // ---------------------------------------------------------------- one step

    function selection() { return [main.currentLayer, main.currentIndex] }

    function sameSelection(before, what) {
        var after = selection()
        if (after[0] !== before[0] || after[1] !== before[1])
            return what + " moved the selection from " + before + " to " + after
        return ""
    }

    // Runs one random action and returns what went wrong ("" when nothing did).
    function step() {
        handedGuid = undefined
        var problem = act()
        counts[lastAction] = (counts[lastAction] || 0) + 1
        return problem ? problem : check()
    }

    // The action drawn for r in [0, 100), by the shares act() gives each.
    function actionOf(r) {
        var names = [[8, "pick layer"], [16, "pick scene"], [36, "button"], [40, "Eject All"], [44, "trigger"],
                     [48, "Queues edit"], [51, "Container edit"], [78, "reply"], [88, "layer queueReply"],
                     [97, "window mixerQueue"], [100, "layer reset"]]
        for (var i = 0; i < names.length; ++i)
            if (r < names[i][0])
                return names[i][1]
        return ""
    }

    function act() {
        var r = below(100)
        if (only !== "") {
            var allowed = only.split(",")
            var known = false
            for (var k = 0; k < 100 && !known; ++k)
                known = allowed.indexOf(actionOf(k)) >= 0
            if (!known)
                return "no action is named in \"" + only + "\""
            while (allowed.indexOf(actionOf(r)) < 0)
                r = below(100)
        }
        var before = selection()
        if (chance(0.3))
            TimeScheduler.time += below(10000000)
        if (r < 8) {
            lastAction = "pick layer"
            main.currentLayer = below(Math.max(count(), 1))
        } else if (r < 16) {
            lastAction = "pick scene"
            main.currentIndex = below(9)
        } else if (r < 36) {
            lastAction = "button"
            main.modifiers = chance(0.1) ? Qt.ControlModifier : 0
            main.send(pick(["DSK_Cue", "DSK_Play", "DSK_Play", "DSK_Stop", "DSK_Eject"]))
        } else if (r < 40) {
            lastAction = "Eject All"
            main.modifiers = chance(0.1) ? Qt.ControlModifier : 0
            main.sendAll("DSK_Eject")
            return sameSelection(before, "Eject All")
        } else if (r < 44) {
            lastAction = "trigger"
            main.trigger({ "id": "t" + below(3), "title": "T" })
        } else if (r < 48) {
            lastAction = "Queues edit"
            return editPanel("Queues", queueEdit())
        } else if (r < 51) {
            lastAction = "Container edit"
            return editPanel("Container", containerEdit())
        } else if (r < 78) {
            lastAction = "reply"
            var target = chance(0.95) ? anyRender() : null
            main.reply(replyText(), guidValue(target), target)
            return sameSelection(before, "reply")
        } else if (r < 88) {
            lastAction = "layer queueReply"
            var layer = anyRender()
            if (layer)
                layer.queueReply(replyText(), guidValue(layer))
            return sameSelection(before, "queueReply")
        } else if (r < 97) {
            lastAction = "window mixerQueue"
            handedGuid = guidValue(null)
            main.mixerQueue(recordText(), handedGuid, chance(0.8))
            return sameSelection(before, "mixerQueue")
        } else {
            lastAction = "layer reset"
            var reset = anyRender()
            if (reset)
                reset.reset()
        }
        return ""
    }

    // ---------------------------------------------------------------- what must always hold

    function check() {
        if (main.errors.length > 11)
            return "errors holds " + main.errors.length + " entries"
        for (var i = 0; i < count(); ++i) {
            var r = render(i)
            if (!r)
                return "layer " + (i + 1) + " has no render"
            if (r.responces.length > 11)
                return "layer " + r.index + " responces holds " + r.responces.length
            if (r.queues.length > 11)
                return "layer " + r.index + " queues holds " + r.queues.length
            var state = stateOf(r)
            if (!state)
                return "layer " + r.index + " in no state: mixer=" + !!r.mixer + " active=" + r.active
                        + " loaded=" + r.loaded + " waitGuid=" + r.waitGuid
        }
        return ""
    }

    // Lengths of everything the window and its layers keep, for the memory reports.
    function sizes() {
        var sums = { "waiting": 0, "queueWaited": 0, "mixerDelayed": 0, "responces": 0, "queues": 0 }
        for (var i = 0; i < count(); ++i)
            for (var key in sums)
                sums[key] += render(i)[key].length
        var queueKeys = 0
        for (var q = 0; q < main.queues.length; ++q)
            queueKeys += Object.keys(main.queues[q]).length
        return "layers " + JSON.stringify(sums) + " medias " + main.medias.length + " queue members " + queueKeys
                + " errors " + main.errors.length + " error text " + main.error.length
    }

    // The layer's state by its mixer, active, loaded and waitGuid; "" when it is in none.
    function stateOf(r) {
        if (!r.mixer)
            return r.active ? "" : "Stopped"
        if (!r.active)
            return !r.loaded && !r.waitGuid ? "Exiting or Starting" : "Starting"
        if (!r.loaded)
            return r.waitGuid ? "" : "Running"
        return r.waitGuid ? "Cue pending" : "Loaded"
    }
}

import QtQuick 2.12
import QtTest 1.2
import TavroBoxPlayer 1.0

// A document that imports the player module creates players, binds and sets their names.
TestCase {
    id: testCase
    name: "TavroBoxPlayer"

    property string source: "Studio A"

    TavroBoxPlayer { id: plain }
    TavroBoxPlayer { id: bound; name: testCase.source }

    SignalSpy { id: plainSpy; target: plain; signalName: "nameChanged" }
    SignalSpy { id: boundSpy; target: bound; signalName: "nameChanged" }

    Component {
        id: playerComponent
        TavroBoxPlayer {
            property string seen: ""
            onNameChanged: seen = name
        }
    }

    function init() {
        plainSpy.clear()
        boundSpy.clear()
    }

    function test_default_name_and_writes() {
        compare(plain.name, "Default Name")
        plain.name = "Default Name"
        compare(plainSpy.count, 0)
        plain.name = ""
        compare(plainSpy.count, 1)
        compare(plain.name, "")
        plain.name = ""
        compare(plainSpy.count, 1)
        plain.name = "Deck"
        plain.name = "deck"
        compare(plainSpy.count, 3)
        compare(plain.name, "deck")
    }

    function test_binding_follows_only_real_changes() {
        compare(bound.name, "Studio A")
        testCase.source = "Studio B"
        compare(bound.name, "Studio B")
        compare(boundSpy.count, 1)
        testCase.source = "Studio B"
        compare(boundSpy.count, 1)
        testCase.source = "studio b"
        compare(boundSpy.count, 2)
    }

    function test_created_player_reads_new_value_in_handler() {
        var player = createTemporaryObject(playerComponent, testCase)
        verify(player)
        compare(player.name, "Default Name")
        compare(player.seen, "")
        player.name = "Layer 3"
        compare(player.seen, "Layer 3")
        player.printMessage(player.name)
        player.printMessage("")
    }
}

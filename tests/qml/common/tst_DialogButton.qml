import QtQuick 2.12
import QtQuick.Controls 1.4
import QtTest 1.2
import MixerThemeManager 1.0
import "../../../qml/common"

Item {
    id: root
    width: 300
    height: 200

    Component {
        id: plainButton
        DialogButton {
            text: "Go"
        }
    }

    Component {
        id: actionButton
        DialogButton {
            property var sources: []
            action: Action {
                text: "Apply"
                onTriggered: sources.push(source)
            }
        }
    }

    SignalSpy { id: clickedSpy; signalName: "clicked" }

    TestCase {
        name: "DialogButton"
        when: windowShown

        function make(component) {
            var button = createTemporaryObject(component, root)
            verify(button)
            clickedSpy.clear()
            clickedSpy.target = button
            button.forceActiveFocus()
            verify(button.activeFocus)
            return button
        }

        // what the keyboard sends while a key is held: flagged repeats of press and release
        function autoRepeat(button, key) {
            var press = { "key": key, "isAutoRepeat": true, "accepted": false }
            var release = { "key": key, "isAutoRepeat": true, "accepted": false }
            button.returnPressed(press)
            button.returnReleased(release)
            return press.accepted && release.accepted
        }

        function cleanup() {
            MixerThemeManager.theme.headerFontSize = 18
            clickedSpy.target = null
        }

        function test_properties() {
            var button = make(plainButton)
            compare(button.icon, "")
            compare(button.darkScheme, true)
            compare(button.fontSize, 18)
            compare(button.borderColorType, "")
            MixerThemeManager.theme.headerFontSize = 20
            compare(button.fontSize, 20)
        }

        function test_return_acts_on_release() {
            var button = make(plainButton)
            keyPress(Qt.Key_Return)
            verify(button.pressed)
            compare(clickedSpy.count, 0)
            keyRelease(Qt.Key_Return)
            verify(!button.pressed)
            compare(clickedSpy.count, 1)

            // a release without its press does nothing
            keyRelease(Qt.Key_Return)
            compare(clickedSpy.count, 1)

            keyPress(Qt.Key_Enter)
            compare(clickedSpy.count, 1, "nothing on the press")
            keyRelease(Qt.Key_Enter)
            compare(clickedSpy.count, 2)

            // Space keeps working as on any button, and a click still clicks once
            keyClick(Qt.Key_Space)
            compare(clickedSpy.count, 3)
            mouseClick(button)
            compare(clickedSpy.count, 4)
        }

        function test_held_return_triggers_once() {
            var button = make(plainButton)
            keyPress(Qt.Key_Return)
            for (var i = 0; i < 5; ++i)
                verify(autoRepeat(button, Qt.Key_Return), "repeats are taken, not passed on")
            // a second plain press while pressed does not start over
            keyPress(Qt.Key_Return)
            verify(button.pressed)
            compare(clickedSpy.count, 0)
            keyRelease(Qt.Key_Return)
            compare(clickedSpy.count, 1)
            verify(!button.pressed)

            // repeats of a key this button never saw pressed are left to others
            verify(!autoRepeat(button, Qt.Key_Enter))
            verify(!button.pressed)
            compare(clickedSpy.count, 1)
        }

        function test_action_and_checkable() {
            var button = make(actionButton)
            keyClick(Qt.Key_Return)
            compare(clickedSpy.count, 1)
            compare(button.sources.length, 1)
            verify(button.sources[0] === button, "the button is the source of the trigger")

            var plain = make(plainButton)
            plain.checkable = true
            keyClick(Qt.Key_Enter)
            verify(plain.checked)
            keyClick(Qt.Key_Return)
            verify(!plain.checked)
            compare(clickedSpy.count, 2)
        }
    }
}

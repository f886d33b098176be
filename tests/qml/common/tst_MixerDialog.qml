import QtQuick 2.12
import QtQuick.Window 2.12
import QtQuick.Controls 2.12
import QtTest 1.2
import "../../../qml/common"

Item {
    id: root
    width: 200
    height: 200

    Component {
        id: textDialog
        MixerDialog {
            property alias box: box
            property var openedState: null
            title: "Texts"
            buttons: ["OK", "Cancel"]
            // under a window manager the keyboard reaches the window only once the manager
            // activates it, after open(): the focus is placed, active focus follows
            onOpened: openedState = { "width": width, "height": height,
                                      "firstFocused": buttonRepeater.itemAt(0).focus }
            Rectangle {
                id: box
                implicitWidth: 200
                implicitHeight: 100
                color: "gray"
            }
        }
    }

    Component {
        id: bareDialog
        MixerDialog {
            property alias box: box
            title: "No buttons"
            Rectangle {
                id: box
                focus: true
                implicitWidth: 500
                implicitHeight: 300
            }
        }
    }

    Component {
        id: actionDialog
        MixerDialog {
            property int applied: 0
            // the dialog's one declared item is its content, so the action is a property
            property Action apply: Action {
                text: "Apply"
                shortcut: "Ctrl+Shift+A"
                onTriggered: applied++
            }
            title: "Actions"
            autoHide: false
            buttons: [apply, "Close"]
            Item {
                implicitWidth: 100
                implicitHeight: 20
            }
        }
    }

    SignalSpy { id: clickedSpy; signalName: "buttonClicked" }
    SignalSpy { id: closingSpy; signalName: "closing" }
    SignalSpy { id: openedSpy; signalName: "opened" }
    SignalSpy { id: contentFocusSpy; signalName: "contentReceivedFocus" }

    TestCase {
        name: "MixerDialog"
        when: windowShown

        function openDialog(component) {
            var dialog = createTemporaryObject(component, root)
            verify(dialog)
            var spies = [clickedSpy, closingSpy, openedSpy, contentFocusSpy]
            for (var i = 0; i < spies.length; ++i) {
                spies[i].clear()
                spies[i].target = dialog
            }
            dialog.open()
            tryVerify(function() { return dialog.active }, 5000, "dialog window becomes active")
            // the keyboard arrives with the window system's focus, later under a window manager
            tryVerify(function() { return dialog.activeFocusItem !== null }, 5000, "dialog has the keyboard")
            return dialog
        }

        function cleanup() {
            clickedSpy.target = closingSpy.target = openedSpy.target = contentFocusSpy.target = null
        }

        function test_open_sizes_to_content() {
            var dialog = openDialog(textDialog)
            compare(dialog.width, 350)
            compare(dialog.height, 180)
            compare(openedSpy.count, 1)
            compare(dialog.openedState, { "width": 350, "height": 180, "firstFocused": true })
            compare(dialog.modality, Qt.ApplicationModal)
            verify(Qt.colorEqual(dialog.color, "#333"))
            tryCompare(dialog, "x", Math.floor(Screen.width / 2 - 175))
            tryCompare(dialog, "y", Math.floor(Screen.height / 2 - 90))
            compare(dialog.box.parent.implicitWidth, 200)

            // the size is set at open() and does not follow the content afterwards
            dialog.box.implicitWidth = 600
            compare(dialog.width, 350)
            dialog.hide()
            dialog.open()
            compare(dialog.width, 600)
            // the window system confirms the move after the show, so wait for it
            tryCompare(dialog, "x", Math.floor(Screen.width / 2 - 300))

            var wide = openDialog(bareDialog)
            compare(wide.width, 500)
            compare(wide.height, 380)
        }

        function test_buttons_from_texts() {
            var dialog = openDialog(textDialog)
            compare(dialog.buttonRepeater.count, 2)
            compare(dialog.buttonRepeater.itemAt(0).text, "OK")
            compare(dialog.buttonRepeater.itemAt(1).text, "Cancel")
            compare(dialog.buttonRepeater.itemAt(1).action, null)

            mouseClick(dialog.buttonRepeater.itemAt(1))
            compare(clickedSpy.count, 1)
            compare(clickedSpy.signalArguments[0][0], "Cancel")
            compare(clickedSpy.signalArguments[0][1], 1)
            // a button hides the dialog without going through close()
            compare(dialog.visible, false)
            compare(closingSpy.count, 0)
        }

        function test_auto_hide_off_and_actions() {
            var dialog = openDialog(actionDialog)
            var first = dialog.buttonRepeater.itemAt(0)
            compare(first.action, dialog.apply)
            compare(first.text, "Apply")
            compare(dialog.buttonRepeater.itemAt(1).action, null)

            mouseClick(first)
            compare(dialog.applied, 1)
            compare(clickedSpy.count, 1)
            compare(clickedSpy.signalArguments[0][0], "Apply")
            compare(clickedSpy.signalArguments[0][1], 0)

            mouseClick(dialog.buttonRepeater.itemAt(1))
            compare(clickedSpy.count, 2)
            compare(clickedSpy.signalArguments[1][0], "Close")
            compare(dialog.applied, 1)
            verify(dialog.visible)
        }

        function test_escape_closes() {
            var dialog = openDialog(textDialog)
            keyClick(Qt.Key_Escape)
            compare(closingSpy.count, 1)
            compare(dialog.visible, false)
            compare(clickedSpy.count, 0)

            // from the content as well as from a button
            var bare = openDialog(bareDialog)
            verify(bare.box.activeFocus)
            keyClick(Qt.Key_Escape)
            compare(closingSpy.count, 1)
            compare(bare.visible, false)
        }

        function test_key_navigation() {
            var dialog = openDialog(textDialog)
            var ok = dialog.buttonRepeater.itemAt(0)
            var cancel = dialog.buttonRepeater.itemAt(1)
            verify(ok.activeFocus)
            keyClick(Qt.Key_Left)
            verify(ok.activeFocus, "nothing before the first button")
            keyClick(Qt.Key_Right)
            verify(cancel.activeFocus)
            keyClick(Qt.Key_Right)
            verify(cancel.activeFocus, "nothing after the last button")
            keyClick(Qt.Key_Left)
            verify(ok.activeFocus)

            compare(contentFocusSpy.count, 0)
            keyClick(Qt.Key_Up)
            verify(dialog.box.parent.activeFocus)
            compare(contentFocusSpy.count, 1)
            keyClick(Qt.Key_Down)
            verify(ok.activeFocus)
            keyClick(Qt.Key_Right)
            keyClick(Qt.Key_Up)
            compare(contentFocusSpy.count, 2)
            compare(clickedSpy.count, 0)
            verify(dialog.visible)
        }

        function test_fill_content_height() {
            var dialog = openDialog(textDialog)
            var scope = dialog.box.parent
            dialog.height = 400
            tryCompare(scope, "height", 100)
            dialog.fillContentHeight = true
            // what the button row and the spacing leave
            tryVerify(function() { return scope.height > 250 }, 5000, "scope height " + scope.height)
            dialog.close()

            var empty = createTemporaryObject(Qt.createComponent("../../../qml/common/MixerDialog.qml"), root)
            empty.open()
            compare(empty.width, 350)
            compare(empty.height, 80)
            empty.close()
        }

        function test_no_buttons() {
            var dialog = openDialog(bareDialog)
            compare(dialog.buttonRepeater.count, 0)
            compare(openedSpy.count, 1)
            // open() leaves the focus where it was: on the content
            verify(dialog.box.activeFocus)
            keyClick(Qt.Key_Down)
            verify(dialog.box.activeFocus)
            verify(dialog.visible)
        }
    }
}

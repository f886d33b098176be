import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls 1.4
import MixerThemeManager 1.0

// A button whose Return and Enter keys act like its Space key: pressed look on the key press,
// one trigger on the release, nothing for the keyboard's automatic repeats.
Button {
    id: button

    // set by documents; the drawing does not depend on them
    property string icon: ""
    property bool darkScheme: true
    property int fontSize: MixerThemeManager.theme.dialogButtonFontSize
    property string borderColorType

    function isReturnKey(key) {
        return key === Qt.Key_Return || key === Qt.Key_Enter
    }

    function returnPressed(event) {
        if (!isReturnKey(event.key))
            return
        if (event.isAutoRepeat) {
            // a held key must not reach the dialog around the button either
            event.accepted = button.__behavior.keyPressed
            return
        }
        if (button.pressed)
            return
        button.__behavior.keyPressed = true
        event.accepted = true
    }

    function returnReleased(event) {
        if (!isReturnKey(event.key) || !button.__behavior.keyPressed)
            return
        event.accepted = true
        if (event.isAutoRepeat)
            return
        button.__behavior.keyPressed = false
        button.__action.trigger(button)
        button.__behavior.toggle()
    }

    Keys.onPressed: returnPressed(event)
    Keys.onReleased: returnReleased(event)
}

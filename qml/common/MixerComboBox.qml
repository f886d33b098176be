import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Window 2.12

// The standard combo box in the Material dark style of the controls style file.
// A list opened with the mouse takes the keys as a desktop list does (Up, Down, Home, End, Return
// picks, Escape closes), even in a selector that takes no focus from a click; once the list
// closes, the keyboard focus goes back where it was, so Space never reaches the selector.
ComboBox {
    id: control

    // the item that had the keyboard focus when the list opened
    property Item focusBefore: null

    // The list is made when first used: made with the selector, its entries take no click.
    onDownChanged: if (down && !listWatch.target) listWatch.target = popup

    Connections {
        id: listWatch
        target: null
        function onOpened() {
            if (control.activeFocus || control.focusPolicy !== Qt.NoFocus)
                return
            control.focusBefore = control.Window.activeFocusItem
            control.forceActiveFocus(Qt.PopupFocusReason)
        }
        function onAboutToHide() {
            if (!control.activeFocus || control.focusPolicy !== Qt.NoFocus)
                return
            var before = control.focusBefore
            control.focusBefore = null
            if (before)
                before.forceActiveFocus(Qt.PopupFocusReason)
            if (control.activeFocus)
                control.focus = false
        }
    }
}

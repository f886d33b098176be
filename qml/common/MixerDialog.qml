import QtQuick 2.12
import QtQuick.Window 2.12

// Modal dialog window with a row of buttons.
Window {
    id: dialog
    color: "#333"
    modality: Qt.ApplicationModal
    function open() { show() }
}

import QtQuick 2.12
import QtQuick.Window 2.12
import QtQuick.Layouts 1.12
import MixerThemeManager 1.0

// Modal dialog window: the one item declared inside it on top, a row of buttons below.
// Callers open it with open(), which sizes it to the content, not with show().
Window {
    id: dialog

    // set by the user of the dialog
    // the one item declared inside the dialog; it lives in the focus scope contentItem
    default property Item content: null
    // each entry is a text, or an action object (one with an own `shortcut`) the button is bound to
    property var buttons: []
    // hide after any button is clicked
    property bool autoHide: true
    // the content takes all the height the button row leaves
    property bool fillContentHeight: false
    // read by tests and users: count and itemAt(i)
    property alias buttonRepeater: buttonRepeater

    modality: Qt.ApplicationModal
    color: "#333"
    // centred on its screen, again whenever the size changes
    x: Screen.width / 2 - width / 2
    y: Screen.height / 2 - height / 2

    // button is the entry's text (the action's text for an action), buttonIndex its place in buttons
    signal buttonClicked(string button, int buttonIndex)
    // end of open(), once the dialog is sized and focused
    signal opened()
    // each time the content scope gains active focus
    signal contentReceivedFocus()

    // The size is assigned here and not bound, so content that grows while the dialog is open
    // does not resize it under the operator's hands. It is set before the window is shown: a
    // window manager maps a window at the size it first sees and may drop a resize that arrives
    // while it is still placing it (the dialog then opened at the platform's 160 x 160, its text
    // cut off and its buttons out of view). The same size is the least a window manager may give
    // it later, so the content and the buttons always stay in view. A window manager may also
    // map it again at the size it had when it was last hidden (an operator enlarged it): that
    // size, given back while the dialog opens, is answered with the dialog's own size once more.
    function open() {
        var w = Math.max(350, contentItem.implicitWidth)
        var h = 80 + contentItem.implicitHeight
        d.openSize = Qt.size(w, h)
        d.sizing = false
        if (!visible)
            d.hiddenSize = Qt.size(width, height)
        minimumWidth = 0
        minimumHeight = 0
        width = w
        height = h
        minimumWidth = w
        minimumHeight = h
        d.sizing = d.hiddenSize.width !== w || d.hiddenSize.height !== h
        show()
        if (buttonRepeater.count > 0)
            buttonRepeater.itemAt(0).forceActiveFocus()
        raise()
        requestActivate()
        opened()
    }

    function isAction(entry) {
        return entry !== null && typeof entry === "object"
                && Object.prototype.hasOwnProperty.call(entry, "shortcut")
    }

    function entryText(entry) {
        if (isAction(entry))
            return entry.text
        return entry === undefined || entry === null ? "" : String(entry)
    }

    function focusButton(index) {
        if (index < 0 || index >= buttonRepeater.count)
            return false
        buttonRepeater.itemAt(index).forceActiveFocus()
        return true
    }

    // the button's own contentItem would hide the scope's id inside a button
    function focusContent() {
        contentItem.forceActiveFocus()
    }

    // A buttonClicked handler may call this to keep the dialog shown after this one click (a
    // save that failed keeps the operator's text in view).
    function keepOpen() { d.keep = true }

    // signal first, so a handler still sees the dialog as the operator left it
    function clickButton(index) {
        d.keep = false
        buttonClicked(entryText(buttons[index]), index)
        if (autoHide && !d.keep)
            hide()
    }

    // internal state (a property, since a child object would become the content)
    readonly property QtObject d: QtObject {
        property bool keep: false
        property size openSize: Qt.size(0, 0)   // pixels, as open() sized the dialog
        property size hiddenSize: Qt.size(0, 0) // pixels, when it was last hidden
        property bool sizing: false             // open() may still undo a size given back
    }

    // Each side given back at its hidden length gets its open length again, for as long as the
    // window manager may still answer the map: it can hand the old size back late, after the
    // dialog is active, or one side at a time. A length that is neither is someone's own resize
    // (the operator's drag), which ends the sizing.
    function keepOpenSize() {
        if (!d.sizing || !visible)
            return
        var widthBack = width === d.hiddenSize.width && width !== d.openSize.width
        var heightBack = height === d.hiddenSize.height && height !== d.openSize.height
        var widthOwn = !widthBack && width !== d.openSize.width
        var heightOwn = !heightBack && height !== d.openSize.height
        if (widthOwn || heightOwn) {
            d.sizing = false
            return
        }
        if (widthBack)
            width = d.openSize.width
        if (heightBack)
            height = d.openSize.height
    }

    onWidthChanged: keepOpenSize()
    onHeightChanged: keepOpenSize()
    onVisibleChanged: {
        if (visible)
            return
        d.sizing = false
        d.hiddenSize = Qt.size(width, height)
    }

    function placeContent() {
        if (content)
            content.parent = contentItem
    }

    onContentChanged: placeContent()
    Component.onCompleted: placeContent()

    ColumnLayout {
        id: column
        anchors.fill: parent
        spacing: MixerThemeManager.theme.itemSpacing

        Keys.onEscapePressed: dialog.close()

        FocusScope {
            id: contentItem
            focus: true
            Layout.fillWidth: true
            Layout.fillHeight: dialog.fillContentHeight
            Layout.alignment: Qt.AlignTop | Qt.AlignHCenter
            implicitWidth: dialog.content ? dialog.content.implicitWidth : 0
            implicitHeight: dialog.content ? dialog.content.implicitHeight : 0

            Keys.onDownPressed: event.accepted = dialog.focusButton(0)
            onActiveFocusChanged: if (activeFocus) dialog.contentReceivedFocus()
        }

        RowLayout {
            id: buttonRow
            Layout.alignment: Qt.AlignBottom | Qt.AlignHCenter
            spacing: MixerThemeManager.theme.dialogButtonHSpacing

            Repeater {
                id: buttonRepeater
                model: dialog.buttons

                MixerButton {
                    readonly property bool isAction: dialog.isAction(modelData)

                    action: isAction ? modelData : null
                    text: dialog.entryText(modelData)

                    onClicked: dialog.clickButton(index)
                    Keys.onUpPressed: dialog.focusContent()
                    Keys.onLeftPressed: dialog.focusButton(index - 1)
                    Keys.onRightPressed: dialog.focusButton(index + 1)
                }
            }
        }
    }
}

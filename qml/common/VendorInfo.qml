import QtQml 2.12

// Vendor title holder; `title` follows `defaultTitle` until someone sets it.
QtObject {
    property string defaultTitle: "Brisol Studio 3.0"
    property string title: defaultTitle
}

import QtQml 2.12

// How an image is drawn.
QtObject {
    property url source
}

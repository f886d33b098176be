import QtQuick 2.12

// Places itself inside its parent at a fixed width/height ratio, touching two opposite sides;
// the free space on the other axis is split by the bias (0 start, 1 centred, 2 end).
Item {
    id: fit

    property real aspect: 1.0
    property real biasx: 1.0
    property real biasy: 1.0

    readonly property rect _rect: calcRect()

    x: _rect.x
    y: _rect.y
    width: _rect.width
    height: _rect.height

    function calcRect() {
        var w = parent ? parent.width : 0
        var h = parent ? parent.height : 0
        if (aspect > w / h) {
            var fh = w / aspect
            return Qt.rect(0, (h / 2 - fh / 2) * biasy, w, fh)
        }
        var fw = aspect * h
        return Qt.rect((w / 2 - fw / 2) * biasx, 0, fw, h)
    }
}

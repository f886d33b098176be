import QtQuick 2.12
import QtTest 1.12
import "../../../qml/common"

TestCase {
    name: "PreserveAspectFit"

    Item {
        id: frame
        PreserveAspectFit { id: fit; aspect: 16 / 9 }
    }

    function place(w, h, biasx, biasy) {
        frame.width = w
        frame.height = h
        fit.biasx = biasx
        fit.biasy = biasy
    }

    function test_placement_data() {
        return [
            { tag: "taller parent, pushed down", w: 1000, h: 1000, bx: 1, by: 1.5,
              x: 0, y: 328.125, width: 1000, height: 562.5 },
            { tag: "wider parent, pushed right", w: 2000, h: 1000, bx: 1.8, by: 1,
              x: 200, y: 0, width: 1777.78, height: 1000 },
            { tag: "same aspect fills the parent", w: 1600, h: 900, bx: 1.8, by: 1.5,
              x: 0, y: 0, width: 1600, height: 900 },
            { tag: "zero height takes the second branch", w: 500, h: 0, bx: 1, by: 1,
              x: 250, y: 0, width: 0, height: 0 },
            { tag: "centred by default bias", w: 1000, h: 1000, bx: 1, by: 1,
              x: 0, y: 218.75, width: 1000, height: 562.5 },
        ]
    }

    function test_placement(d) {
        place(d.w, d.h, d.bx, d.by)
        fuzzyCompare(fit.x, d.x, 0.01)
        fuzzyCompare(fit.y, d.y, 0.01)
        fuzzyCompare(fit.width, d.width, 0.01)
        fuzzyCompare(fit.height, d.height, 0.01)
        var r = fit.calcRect()
        fuzzyCompare(r.width, d.width, 0.01)
    }

    function test_follows_aspect_changes() {
        place(1000, 1000, 1, 1)
        fit.aspect = 1
        compare(fit.width, 1000)
        compare(fit.height, 1000)
        fit.aspect = 0.5
        compare(fit.width, 500)
        compare(fit.x, 250)
        fit.aspect = 16 / 9
    }
}

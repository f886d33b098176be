import QtQuick 2.12
import QtTest 1.2

// Where the output window puts its layers in the atlas, the mirrors of layers shown in more
// than one group, and the preview of the atlas.
MainWindowTestCase {
    name: "MainGeometry"

    function initCase() { main = createWindow() }

    function cleanupTest() {
        main.groups = main.testGroups
        recreateRenders(12)
    }

    function rectList(rects) {
        return rects.map(function (r) { return [r.x, r.y, r.width, r.height] })
    }

    function rectsFor(spec, layer) {
        main.groups = [{ "name": "G", "rect": [10, 20, 300, 200], "layers": spec }]
        return rectList(main.renderRects(layer))
    }

    // New renders for the current groups: the set starts again at layer 1.
    function recreateRenders(n) {
        main.renderNumber = 0
        main.renderNumber = n
        wait(0)   // the counts follow a deferral
        tryCompare(main, "mainRendersNumber", n)
    }

    function test_layer_specification() {
        var g = [10, 20, 300, 200]
        var whole = [0, 0, 1920, 1080]
        compare(rectsFor("1-7,3", 3), [g, g])
        compare(rectsFor("1-7,3", 1), [g])
        compare(rectsFor("1-7,3", 8), [whole])
        compare(rectsFor("-", 1), [g])
        compare(rectsFor("-", 57), [g])
        compare(rectsFor("1.5-7", 2), [whole])
        compare(rectsFor("1.5-7", 1), [whole])
        compare(rectsFor("0-", 1), [g])
        compare(rectsFor("0-", 12), [g])
        compare(rectsFor("8-", 7), [whole])
        compare(rectsFor("8-", 8), [g])
        compare(rectsFor("1-2-3", 2), [whole])
        compare(rectsFor("", 1), [whole])
        compare(rectsFor("abc", 1), [whole])
        compare(rectsFor("x-3", 1), [whole])
        compare(rectsFor("1-x", 1), [whole])
        compare(rectsFor("-5", 5), [g])
        compare(rectsFor("-5", 6), [whole])
        compare(rectsFor(" 3 ", 3), [g])
        compare(rectsFor(" 1 - 7 ", 7), [g])
        compare(rectsFor("8 - ", 9), [g])
        compare(rectsFor("3,,x", 3), [g])

        // a layer named by two groups is placed in both, in table order
        main.groups = main.testGroups_h
        compare(rectList(main.renderRects(1)), [[0, 0, 1920, 1080], [3840, 0, 1024, 576]])
        compare(rectList(main.renderRects(7)), [[0, 0, 1920, 1080], [3840, 0, 1024, 576]])
        compare(rectList(main.renderRects(8)), [[1920, 0, 1920, 1080], [3840, 0, 1024, 576]])
        main.groups = main.testGroups
        compare(rectList(main.renderRects(5)), [[0, 0, 1920, 1080]])
    }

    function test_group_tables_and_frame() {
        compare(main.hd, Qt.size(1920, 1080))
        compare(main.sd, Qt.size(1024, 576))
        compare(main.groupLayers, ["1-7", "8-", "1-7", "8-"])
        compare(main.testGroups_v.map(function (g) { return g.rect }),
                [[0, 0, 1920, 1080], [0, 1080, 1920, 1080], [0, 2160, 1024, 576], [1024, 2160, 1024, 576]])
        compare(main.testGroups_h.map(function (g) { return g.name + " " + g.layers }),
                ["HD1 1-7", "HD2 8-", "SD1 1-7", "SD2 8-"])

        compare(main.frameSize.width, 1920)
        compare(main.frameSize.height, 1080)
        fuzzyCompare(main.aspect, 16 / 9, 1e-9)
        compare(main.configBoard, { "directory": "Layers", "renderNumber": 12 })

        ignoreWarning("------onFrameSizeChanged QSizeF(4864, 1080)")
        main.groups = main.testGroups_h
        compare(main.groupSize(), Qt.size(4864, 1080))
        fuzzyCompare(main.aspect, 4.5037, 1e-4)
        compare(main.atlas.width, 4864)
        compare(main.configBoard, { "directory": "Layers", "renderNumber": 12,
                    "renderNumberGroups": { "HD1": "1-7", "HD2": "8-", "SD1": "1-7", "SD2": "8-" } })

        main.groups = main.testGroups_v
        compare(main.frameSize.width, 2048)
        compare(main.frameSize.height, 2736)
        fuzzyCompare(main.aspect, 0.7485, 1e-4)
        compare(main.atlas.height, 2736)

        // groups inside one HD frame never shrink it
        main.groups = [{ "name": "a", "rect": [0, 0, 800, 600], "layers": "1" },
                       { "name": "b", "rect": [800, 0, 800, 600], "layers": "2" }]
        compare(main.groupSize(), Qt.size(1920, 1080))
    }

    function test_renders_in_the_atlas() {
        compare(main.renders.count, 12)
        tryCompare(main, "mainRendersNumber", 12)
        compare(main.extraRendersNumber, 0)
        compare(main.extraRenders.length, 0)
        for (var i = 0; i < 12; ++i) {
            var render = main.renders.itemAt(i)
            verify(render === main.mainRenders[i])
            verify(render.main === main)
            compare(render.index, i + 1)
            compare(render.iLayer, i + 1)
            compare([render.x, render.y, render.width, render.height], [0, 0, 1920, 1080])
            verify(render.parent.parent === main.atlas)
        }
        verify(main.renders.itemAt(12) === null)
        verify(main.atlas.parent === null, "the atlas is shown only through the preview")

        // a layer's answer reaches the window with the layer itself
        ignoreWarning(/^------layer3 reply   \{"status":"Ok"\} 7 $/)
        ignoreWarning('------textureReceiver reply {"status":"Ok"} ')
        main.renders.itemAt(2).mixerReply('{"status":"Ok"}', 7)
    }

    function test_mirrors() {
        main.groups = [{ "name": "G", "rect": [0, 0, 1920, 1080], "layers": "1-7,3" }]
        recreateRenders(12)
        tryCompare(main, "extraRendersNumber", 1)
        verify(main.extraRenders[0].render === main.renders.itemAt(2))
        compare(main.extraRenders[0].rect, Qt.rect(0, 0, 1920, 1080))

        // every layer of this table is in two groups; layer 1's mirror counts too
        main.groups = main.testGroups_h
        recreateRenders(12)
        tryCompare(main, "extraRendersNumber", 12)
        var mirrored = main.extraRenders.map(function (e) { return e.render.index })
        compare(mirrored, [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12])
        compare(main.extraRenders[0].rect, Qt.rect(3840, 0, 1024, 576))
        var eighth = main.renders.itemAt(7)
        compare([eighth.x, eighth.y, eighth.width, eighth.height], [1920, 0, 1920, 1080])

        recreateRenders(5)
        compare(main.extraRendersNumber, 5)
    }

    function test_preview() {
        var area = findObject(main.contentItem, "previewArea")
        var preview = findObject(main.contentItem, "preview")
        verify(area && preview)
        compare([area.x, area.y, area.width, area.height], [0, 0, 1600, 920])
        compare([preview.x, preview.y, preview.width, preview.height], [0, 15, 1600, 900])
        compare(String(preview.children[0].color), "#333333")
        verify(preview.children[1].sourceItem === main.atlas)
        compare(preview.children[1].visible, true)

        // a wide frame fills the width and sits at 75 % of the free height
        main.groups = main.testGroups_h
        compare(preview.width, 1600)
        fuzzyCompare(preview.height, 1600 / (4864 / 1080), 1e-6)
        fuzzyCompare(preview.y, (920 - preview.height) / 2 * 1.5, 1e-6)

        // a tall frame gets margins and sits at 90 % of the free width
        main.groups = main.testGroups_v
        compare([area.x, area.y, area.width, area.height], [2, 32, 1596, 886])
        compare(preview.height, 886)
        fuzzyCompare(preview.width, 886 * 2048 / 2736, 1e-6)
        fuzzyCompare(preview.x, (1596 - preview.width) / 2 * 1.8, 1e-6)

        main.groups = [{ "name": "square", "rect": [0, 0, 2000, 2000], "layers": "" }]
        compare(main.aspect, 1)
        compare([area.x, area.y, area.width, area.height], [2, 32, 1596, 886])

        main.previewEnabled = false
        compare(String(preview.children[0].color), "#4b4b4b")
        compare(preview.children[1].visible, false)
        main.previewEnabled = true
    }
}

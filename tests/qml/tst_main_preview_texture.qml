import QtQuick 2.12
import QtQuick.Window 2.12
import QtTest 1.2

// The preview draws the whole atlas into a texture of its own pixel size: the layer's picture
// still shows where the atlas puts it, and the texture follows the preview when the frame changes.
MainWindowTestCase {
    name: "MainPreviewTexture"

    function initCase() { main = createWindow() }

    function isRed(c) { return c.r > 0.8 && c.g < 0.3 && c.b < 0.3 }

    function test_layer_shows_through_the_sized_texture() {
        var preview = findObject(main.contentItem, "preview")
        var texture = findObject(main.contentItem, "previewTexture")
        verify(preview && texture)
        verify(texture.sourceItem === main.atlas)
        var dpr = Screen.devicePixelRatio
        compare([texture.textureSize.width, texture.textureSize.height],
                [Math.ceil(1600 * dpr), Math.ceil(900 * dpr)])

        // layer 1's box turns round atlas point (400, 540); a circle of radius 135 stays inside it
        var scale = preview.width / 1920
        var x = Math.round(preview.x + 400 * scale)
        var y = Math.round(preview.y + (540 + 80) * scale)
        verify(!isRed(grabImage(main.contentItem).pixel(x, y)), "nothing is playing yet")
        main.currentIndex = 0
        main.currentLayer = 0
        main.send("DSK_Play")
        verify(main.currentRender.isLoaded && main.currentRender.visible)
        tryVerify(function () { return isRed(grabImage(main.contentItem).pixel(x, y)) }, 5000,
                  "layer 1 shows in the preview")

        // a wider frame gives a lower preview, and the texture follows it
        main.groups = main.testGroups_h
        compare(texture.textureSize.width, Math.ceil(preview.width * dpr))
        compare(texture.textureSize.height, Math.ceil(preview.height * dpr))
        verify(texture.textureSize.height < Math.ceil(900 * dpr))
        main.groups = main.testGroups
        compare(texture.textureSize.height, Math.ceil(900 * dpr))

        main.send("DSK_Eject")
        tryVerify(function () { return !isRed(grabImage(main.contentItem).pixel(x, y)) }, 5000,
                  "an ejected layer leaves the preview")
    }

    // A hidden layer's content leaves the scene and comes back when the layer shows again.
    function test_layer_shows_twice_after_an_eject() {
        var preview = findObject(main.contentItem, "preview")
        var scale = preview.width / 1920
        var x = Math.round(preview.x + 400 * scale)
        var y = Math.round(preview.y + (540 + 80) * scale)
        main.currentIndex = 0
        main.currentLayer = 0
        for (var round = 0; round < 2; ++round) {
            main.send("DSK_Play")
            tryVerify(function () { return isRed(grabImage(main.contentItem).pixel(x, y)) }, 5000,
                      "layer 1 shows, round " + round)
            main.send("DSK_Cue")
            verify(main.currentRender.isLoaded && !main.currentRender.visible)
            tryVerify(function () { return !isRed(grabImage(main.contentItem).pixel(x, y)) }, 5000,
                      "a cued layer is hidden, round " + round)
        }
        main.send("DSK_Eject")
    }

    // A new window draws a layer's kind of content once, out of sight, so that the first Play
    // does not wait for the renderer; a few frames later none of it is left to draw.
    function test_layer_materials_drawn_once() {
        var w = createWindow()
        var view = findObject(w.contentItem, "layerMaterials")
        verify(view)
        tryVerify(function () { return view.frames >= 3 }, 5000, "frames after the first")
        compare(view.active, false)
        compare(view.item, null)
        verify(view.x + view.width <= 0 && view.y + view.height <= 0, "out of sight")
    }
}

import QtQuick 2.12
import QtTest 1.2
import Qt.labs.settings 1.0
import Serialization 1.0
import MixerThemeManager 1.0
import "../../../qml/MixerThemeManager" as Local

Item {
    id: root
    width: 100
    height: 100

    readonly property var theme: MixerThemeManager.theme
    readonly property string tmp: Serialization.getEnv("ORVANE_TEST_TMP")
    readonly property string settingsFile: Serialization.getEnv("XDG_CONFIG_HOME") + "/Quarnet/Orvane.conf"

    // a custom theme the way a theme author writes one: load applies data, save returns it
    Component {
        id: customTheme
        Local.MixerTheme {
            property var loaded: []
            custom: true
            themeID: "custom_test"
            function load(data) {
                loaded.push(data)
                if (!data || data.headerFontSize === undefined)
                    return false
                headerFontSize = data.headerFontSize
                return true
            }
            function save() {
                return { "headerFontSize": headerFontSize, "fontFamily": fontFamily }
            }
        }
    }

    Component {
        id: plainTheme
        Local.MixerTheme {}
    }

    TestCase {
        name: "MixerTheme"
        when: windowShown

        function near(actual, expected, text) {
            verify(Math.abs(actual - expected) < 0.002, text + ": " + actual + " != " + expected)
        }

        function compareRgba(col, r, g, b, a, text) {
            near(col.r * 255, r, text + " red")
            near(col.g * 255, g, text + " green")
            near(col.b * 255, b, text + " blue")
            near(col.a, a, text + " alpha")
        }

        function cleanup() {
            theme.headerFontSize = 18
            theme.buttonSize = 43
            theme.scrollBarWidth = 23
            theme.buttonMargins = [4, 4, 8, 8]
        }

        function test_sizes() {
            compare(theme.themeID, "brisol")
            compare(theme.name, "Dark Realistic")
            compare(theme.custom, false)
            compare(theme.dialogButtonFontSize, 18)
            compare(theme.itemSpacing, 14)
            compare(theme.dialogButtonHSpacing, 1)
            compare(theme.dialogButtonWidth, 84)
            compare(theme.dialogButtonVSpacing, 14)
            compare(theme.statusHeight, 29)
            compare(theme.menuBarHeight, 29)
            compare(theme.listItemHeight, 22)
            compare(theme.clockTextSize, 26)
            compare(theme.audioLedBigWidth, 19)
            compare(theme.audioLedSmallWidth, 8)
            compare(theme.propertyListColumnRatio, 0.38)
            compare(theme.propertyListMargins, [14, 7, 14, 7])
            // the member's name carries a Cyrillic es; the all-Latin spelling is not a member
            compare(theme["toolbarGroupSpa\u0441ing"], 14)
            compare(theme["toolbarGroupSpacing"], undefined)
        }

        function test_bound_members_follow() {
            theme.headerFontSize = 20
            compare(theme.footerFontSize, 20)
            compare(theme.buttonTextFontSize, 20)
            compare(theme.dialogButtonFontSize, 20)
            compare(theme.dialogButtonWidth, 84, "width follows headerHeight, not the font")
            compare(theme.buttonDigitsFontSize, 24)

            // 45 x 0.62 = 27.9 and 25 - 4 = 21, 21 / 2 - 1 = 9.5: both keep the integer part
            theme.buttonSize = 45
            compare(theme.clockTextSize, 27)
            theme.scrollBarWidth = 25
            compare(theme.audioLedBigWidth, 21)
            compare(theme.audioLedSmallWidth, 9)

            var desc = theme.imgButtonRectProgram
            theme.buttonMargins = [1, 2, 3, 4]
            compare(desc.margins, [1, 2, 3, 4])
            compare(desc.borders, [24, 24, 28, 28])
        }

        function test_palette() {
            compareRgba(theme.colRGB(229, 255, 102), 229, 255, 102, 1, "colRGB")
            compareRgba(theme.colPreset, 229, 255, 102, 1, "colPreset")
            compareRgba(theme.colProgramBlack, 51, 26, 0, 1, "colProgramBlack")
            compareRgba(theme.colNeutralDark, 38, 38, 38, 1, "colNeutralDark")
            compareRgba(theme.colAppBgnd, 13, 13, 13, 1, "colAppBgnd")

            // value 100 % is full brightness, not white: hue 50 at 90 % saturation
            var yellow = theme.colHSL(50, 90, 100)
            near(yellow.r, 1, "yellow red")
            near(yellow.g, 0.85, "yellow green")
            near(yellow.b, 0.1, "yellow blue")
            near(yellow.a, 1, "yellow alpha")
            verify(Qt.colorEqual(theme.colAudioYellow, yellow))

            compareRgba(theme.colTextInactive, 191, 191, 191, 0.6, "colTextInactive")
            compareRgba(theme.colButtonTextDisabled, 38, 38, 38, 0.5, "colButtonTextDisabled")
            compare(theme.colText, theme.colsMain)
            compare(theme.colDialogButtonTextOutline.program, "transparent")
            compare(theme.colsPureBlack.neutral, "black")
            compare(theme.colClockTextOutline.length, 0)
            compareRgba(theme.colIconGlow.preset, 244, 255, 191, 0.4, "colIconGlow preset")

            var sets = ["colsMain", "colsLight", "colsDark", "colsBlack", "colsPureBlack", "colsTransparent"]
            for (var i = 0; i < sets.length; ++i)
                compare(Object.keys(theme[sets[i]]).sort(), ["common", "neutral", "preset", "program"], sets[i])
        }

        function test_alpha_functions() {
            compareRgba(theme.colWAlpha(Qt.rgba(0.2, 0.4, 0.6, 0.5), 1), 51, 102, 153, 1, "opaque again")
            compareRgba(theme.colWAlpha("white", 0.25), 255, 255, 255, 0.25, "named colour")

            var withExtra = {
                "neutral": theme.colNeutral, "preset": theme.colPreset,
                "program": theme.colProgram, "common": theme.colCommon, "other": "red"
            }
            var half = theme.colsWAlpha(withExtra, 0.5)
            compare(Object.keys(half).sort(), ["common", "neutral", "preset", "program"])
            compareRgba(half.neutral, 191, 191, 191, 0.5, "neutral")
            compareRgba(half.preset, 229, 255, 102, 0.5, "preset")
            compareRgba(half.program, 255, 178, 102, 0.5, "program")
            compareRgba(half.common, 255, 234, 128, 0.5, "common")

            var main = theme.colsWAlpha(theme.colsMain, 0.5)
            compareRgba(main.program, 255, 178, 102, 0.5, "colsMain program")
            compareRgba(theme.colsMain.program, 255, 178, 102, 1, "source set untouched")
        }

        function test_tag_to_sys_color() {
            compareRgba(theme.tagToSysColor["neutral_light"], 255, 255, 255, 1, "neutral_light")
            verify(Qt.colorEqual(theme.tagToSysColor["program_dark"], theme.colProgramDark))
            verify(Qt.colorEqual(theme.tagToSysColor["common"], theme.colCommon))
            compare(Object.keys(theme.tagToSysColor).length, 12)
            var blacks = theme.colsBlack
            for (var tag in theme.tagToSysColor) {
                for (var family in blacks)
                    verify(!Qt.colorEqual(theme.tagToSysColor[tag], blacks[family]), tag + " is a Black shade")
            }
        }

        function test_image_descriptors() {
            var desc = theme.imgButtonRectCommon
            verify(/\/MixerThemeManager\/MixerTheme\/Resources\/ButtonSquareYellow\.png$/.test(String(desc.source)),
                   String(desc.source))
            verify(String(theme.imgWindowCorner.source).indexOf("/Resources/CornerDots.png") > 0)
            compare(theme.imgWindow.margins, [2, 2, 20, 20])
            compare(theme.imgWindow.borders, [7, 7, 36, 36])
            compare(theme.imgWindowGripper.horizontalTile, true)
            compare(theme.imgScrollerThumbVertInner.margins, [-1, 1, 0, 1])
            compare(theme.imgScrollerThumbVertInner.verticalTile, true)
            compare(String(theme.imgTBarBgnd.source), "")

            var plain = theme.imgAppBgnd
            compare(plain.margins, [0, 0, 0, 0])
            compare(plain.opacity, 1)
            compare(plain.saturation, -1)
            verify(Qt.colorEqual(plain.colFill, "transparent"))

            verify(theme.imgView === theme.imgOutputBgnd)
            verify(theme.imgProgressBarBgndDot === theme.imgProgressBarBgnd)
            verify(theme.imgProgressBarProgramDot === theme.imgProgressBarNeutral)
            verify(theme.imgDialogButtonPressed === theme.imgPropertyHeaderPressed)
            verify(String(theme.iconFolder).match(/\/MixerThemeManager\/icons\/$/), String(theme.iconFolder))
        }

        function test_base_theme_hooks_do_nothing() {
            var file = tmp + "/base-theme.json"
            verify(Serialization.writeToJsonFile(file, { "headerFontSize": 30 }))
            compare(theme.isRegistryData, false)
            compare(theme.loadFromFile(file), false)
            compare(theme.headerFontSize, 18)

            var other = tmp + "/base-saved.json"
            theme.saveToFile(other)
            compare(Serialization.isFileExists(other), false)
            theme.saveToRegistry()
            theme.loadFromRegistry()
            compare(theme.isRegistryData, false)
            compare(theme.__settings.category, "Theme_brisol")

            // the settings object writes its empty default once; the hooks add nothing to it
            var second = createTemporaryObject(plainTheme, root)
            second.saveToRegistry()
            second.destroy()
            tryVerify(function() {
                return Serialization.readTextFile(settingsFile).indexOf("[Theme_brisol]") >= 0
            }, 5000)
            var section = Serialization.readTextFile(settingsFile).match(/\[Theme_brisol\][^\[]*/)[0]
            verify(/themeData=\s*$/m.test(section), section)
        }

        function test_custom_theme_hooks() {
            var custom = createTemporaryObject(customTheme, root)
            compare(custom.__settings.category, "Theme_custom_test")
            compare(custom.isRegistryData, false)

            custom.headerFontSize = 22
            var file = tmp + "/custom.json"
            verify(custom.saveToFile(file))
            compare(Serialization.readFromJsonFile(file), { "headerFontSize": 22, "fontFamily": "Tahoma" })
            custom.headerFontSize = 10
            compare(custom.loadFromFile(file), true)
            compare(custom.headerFontSize, 22)
            compare(custom.dialogButtonFontSize, 22)
            compare(custom.loadFromFile(""), false)

            // a file that is not there is a failure of its own, not data for load()
            var calls = custom.loaded.length
            compare(custom.loadFromFile(tmp + "/missing.json"), false)
            compare(custom.loaded.length, calls)

            custom.saveToRegistry()
            verify(custom.isRegistryData)
            custom.headerFontSize = 12
            compare(custom.loadFromRegistry(), true)
            compare(custom.headerFontSize, 22)
            tryVerify(function() {
                return Serialization.readTextFile(settingsFile).indexOf("[Theme_custom_test]") >= 0
            }, 5000)
            verify(Serialization.readTextFile(settingsFile).indexOf("themeData") > 0)

            // the base theme reads its own category only
            compare(theme.isRegistryData, false)
        }
    }
}

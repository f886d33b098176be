import QtQml 2.12
import Qt.labs.settings 1.0
import Serialization 1.0

// The theme: fonts, sizes, colours, colour sets and image descriptors of the components.
// Members given as another member are bindings, so a document that changes headerFontSize at
// run time changes every size that follows it. A custom theme sets `custom` and defines
// load(data) and save(); the hooks at the end move its data to and from a file or the settings.
QtObject {
    id: theme

    // identity
    property string themeID: "brisol"
    property string name: qsTr("Dark Realistic")
    property bool custom: false

    // fonts and sizes, in pixels unless stated; int members keep the integer part
    property string fontFamily: "Tahoma"
    property int headerFontSize: 18
    property int footerFontSize: headerFontSize
    property int buttonTextFontSize: headerFontSize
    property int buttonDigitsFontSize: 24
    property int menuFontSize: 14
    property int systemFontSize: menuFontSize
    property int promptFontSize: 12
    property bool headerTextEnabled: true
    property string buttonIconBlend: "multiply"
    property int panelSpacing: 14
    property int itemSpacing: 14
    property int buttonSpacing: 1
    property int inputsSpacingH: 28
    property int inputsSpacingV: 36
    property int buttonSize: 43
    property int buttonCorners: 2
    property int oneAndHalfButtonSize: 58
    property int doubleButtonSize: 87
    property int iconSize: 25
    property int headerHeight: 28
    property int footerHeight: headerHeight
    property int tabGroupHeight: headerHeight
    property int menuHeight: headerHeight
    property int statusHeight: iconSize + 4
    property int menuBarHeight: statusHeight
    property int mediaBarHeight: 34
    property int higlightFrameWidth: 3
    property int textOutlineSize: 1
    property int textGlowSize: 3
    property int headerButtonsOffset: 2
    property int controlPadding: 4
    property int controlBorderSize: 1
    property int listItemHeight: systemFontSize + 2 * controlPadding
    property int clockTextSize: buttonSize * 0.62
    property int propertyHeaderHeight: headerHeight
    property int propertyListStep: headerHeight
    property int propertyHeaderSpacing: 1
    property int propertyHeaderOffsetX: 14
    property int propertyHeaderItemSpacing: 7
    property var propertyListMargins: [14, 7, 14, 7]
    property int propertyListFontSize: systemFontSize
    property real propertyListColumnRatio: 0.38
    property int dialogButtonHeight: headerHeight
    property int dialogButtonWidth: dialogButtonHeight * 3
    property int dialogButtonHSpacing: 1
    property int dialogButtonVSpacing: itemSpacing
    property int dialogHeaderHeight: 36
    property int dialogButtonFontSize: buttonTextFontSize
    property int toolbarHeaderHeight: 36
    property int toolbarButtonSize: 29
    property int toolbarButtonSpacing: 4
    // the letter before "ing" is a Cyrillic es; documents written against it use that name
    property int toolbarGroupSpaсing: 14
    property int scrollBarSpacing: 1
    property int scrollBarWidth: 23
    property int audioLedBigWidth: scrollBarWidth - 4
    property int audioLedSmallWidth: audioLedBigWidth / 2 - 1
    property int chessSize: 7
    // left, top, right, bottom
    property var buttonMargins: [4, 4, 8, 8]
    property var buttonBorders: [24, 24, 28, 28]

    // base palette: four families in four shades
    property color colPreset: colRGB(229, 255, 102)
    property color colPresetDark: colRGB(92, 102, 41)
    property color colPresetLight: colRGB(244, 255, 191)
    property color colPresetBlack: colRGB(42, 51, 0)
    property color colProgram: colRGB(255, 178, 102)
    property color colProgramDark: colRGB(102, 71, 41)
    property color colProgramLight: colRGB(255, 223, 191)
    property color colProgramBlack: colRGB(51, 26, 0)
    property color colCommon: colRGB(255, 234, 128)
    property color colCommonDark: colRGB(102, 92, 41)
    property color colCommonLight: colRGB(255, 244, 191)
    property color colCommonBlack: colRGB(51, 42, 0)
    property color colNeutral: colRGB(191, 191, 191)
    property color colNeutralDark: colRGB(38, 38, 38)
    property color colNeutralLight: colRGB(255, 255, 255)
    property color colNeutralBlack: colRGB(13, 13, 13)

    // colour sets: one colour per family
    property var colsMain: ({ "neutral": colNeutral, "preset": colPreset, "program": colProgram, "common": colCommon })
    property var colsLight: ({ "neutral": colNeutralLight, "preset": colPresetLight, "program": colProgramLight, "common": colCommonLight })
    property var colsDark: ({ "neutral": colNeutralDark, "preset": colPresetDark, "program": colProgramDark, "common": colCommonDark })
    property var colsBlack: ({ "neutral": colNeutralBlack, "preset": colPresetBlack, "program": colProgramBlack, "common": colCommonBlack })
    property var colsPureBlack: ({ "neutral": "black", "preset": "black", "program": "black", "common": "black" })
    property var colsTransparent: ({ "neutral": "transparent", "preset": "transparent", "program": "transparent", "common": "transparent" })

    // named colours; the cols-valued ones hold a whole set
    readonly property color colBlack: "black"
    readonly property color colWhite: "white"
    readonly property color colNone: "transparent"
    property color colAppBgnd: colNeutralBlack
    property color colAudioRed: colProgram
    property color colAudioYellow: colHSL(50, 90, 100)
    property color colAudioGreen: colPreset
    property color colAudioBlue: colNeutral
    property color colChessBlack: "#726a5c"
    property color colChessWhite: "#857c6b"
    property var colClockText: colsMain
    property var colClockTextOutline: []
    property var colText: colsMain
    property var colTextHighlight: colsLight
    property var colTextOutline: colsDark
    property color colTextInactive: colWAlpha(colNeutral, 0.6)
    property color colTextDisabled: colWAlpha(colNeutral, 0.4)
    property color colTextSelection: colCommon
    property color colTextSelected: colCommonBlack
    property var colIcon: colText
    property var colIconHighlight: colTextHighlight
    property var colIconOutline: colTextOutline
    property var colIconGlow: colsWAlpha(colsLight, 0.4)
    property color colIconInactive: colTextInactive
    property color colIconDisabled: colTextDisabled
    property var colSelected: colsMain
    property var colButtonText: colsBlack
    property color colButtonTextDisabled: colWAlpha(colNeutralDark, 0.5)
    property var colButtonTextGlow: colsLight
    property var colPressedButtonText: colsBlack
    property var colDialogButtonText: colText
    property var colDialogButtonTextHighlight: colTextHighlight
    property var colDialogButtonTextOutline: colsTransparent
    property color colDialogButtonTextDisabled: colTextDisabled
    property color colMenuBgnd: colNeutralDark
    property color colMenuText: colNeutral
    property color colMenuTextSelected: colCommon
    property color colMenuTextDisabled: colTextDisabled
    property color colMenuTextOutline: colNeutralDark
    property color colMenuTextSelOutline: colCommonDark

    // colour tags of other documents; the Black shades have none
    readonly property var tagToSysColor: ({
        "program": colProgram, "preset": colPreset, "common": colCommon, "neutral": colNeutral,
        "program_dark": colProgramDark, "preset_dark": colPresetDark,
        "common_dark": colCommonDark, "neutral_dark": colNeutralDark,
        "program_light": colProgramLight, "preset_light": colPresetLight,
        "common_light": colCommonLight, "neutral_light": colNeutralLight
    })

    // images: the files live under MixerTheme/Resources/ beside this document, icons under icons/
    property url iconFolder: "icons/"

    property StyledImageDesc imgAppBgnd: StyledImageDesc { source: "MixerTheme/Resources/AppBgnd.png" }
    property StyledImageDesc imgWindowCorner: StyledImageDesc { source: "MixerTheme/Resources/CornerDots.png" }
    property StyledImageDesc imgClockAnalogBgnd: StyledImageDesc { source: "MixerTheme/Resources/ClockAnalogBgnd.png" }
    property StyledImageDesc imgClockAnalogFront: StyledImageDesc { source: "MixerTheme/Resources/ClockAnalogFront.png" }
    property StyledImageDesc imgClockDigitalBgnd: StyledImageDesc { source: "MixerTheme/Resources/ClockDigitalBgnd.png" }
    property StyledImageDesc imgClockDigitalFront: StyledImageDesc { source: "MixerTheme/Resources/ClockDigitalFront.png" }
    property StyledImageDesc imgSliderScaleTick: StyledImageDesc { source: "MixerTheme/Resources/SliderScaleTick.png" }
    property StyledImageDesc imgSpinnerScale: StyledImageDesc { source: "MixerTheme/Resources/SpinnerScale.png" }
    property StyledImageDesc imgSpinnerHandle: StyledImageDesc { source: "MixerTheme/Resources/SpinnerHandle.png" }
    property StyledImageDesc imgSpinnerDot: StyledImageDesc { source: "MixerTheme/Resources/SpinnerDotOrange.png" }
    property StyledImageDesc imgExpandOn: StyledImageDesc { source: "MixerTheme/Resources/ExpandOn.png" }
    property StyledImageDesc imgExpandOff: StyledImageDesc { source: "MixerTheme/Resources/ExpandOff.png" }
    property StyledImageDesc imgSwitchOn: StyledImageDesc { source: "MixerTheme/Resources/SwitchOn.png" }
    property StyledImageDesc imgSwitchOff: StyledImageDesc { source: "MixerTheme/Resources/SwitchOff.png" }
    property StyledImageDesc imgTreeViewArrow: StyledImageDesc { source: "MixerTheme/Resources/TreeViewArrow.png" }

    property StyledImageDesc imgPanelBgndFull: StyledImageDesc { source: "MixerTheme/Resources/GroupBgndFull.png"; margins: [0, 0, 2, 2]; borders: [7, 7, 7, 7] }
    property StyledImageDesc imgPanelBgndHalfTop: StyledImageDesc { source: "MixerTheme/Resources/GroupBgndHalfTop.png"; margins: [0, 0, 2, 2]; borders: [7, 7, 7, 7] }
    property StyledImageDesc imgPanelBgndHalfBottom: StyledImageDesc { source: "MixerTheme/Resources/GroupBgndHalfBottom.png"; margins: [0, 0, 2, 2]; borders: [7, 7, 7, 7] }

    property StyledImageDesc imgWindow: StyledImageDesc { source: "MixerTheme/Resources/Window.png"; margins: [2, 2, 20, 20]; borders: [7, 7, 36, 36] }

    property StyledImageDesc imgMaximizedWindow: StyledImageDesc { source: "MixerTheme/Resources/MaximizedWindow.png"; margins: [2, 2, 2, 2]; borders: [7, 7, 7, 7] }

    property StyledImageDesc imgWindowGripper: StyledImageDesc { source: "MixerTheme/Resources/GripperDots.png"; borders: [1, 0, 1, 0]; horizontalTile: true }

    property StyledImageDesc imgAudioLevelBigBgnd: StyledImageDesc { source: "MixerTheme/Resources/AudioLevelBigBgnd.png"; margins: [3, 1, 3, -1]; borders: [10, 10, 10, 10] }
    property StyledImageDesc imgAudioLevelBigFront: StyledImageDesc { source: "MixerTheme/Resources/AudioLevelBigFront.png"; margins: [3, 1, 3, -1]; borders: [10, 10, 10, 10] }

    property StyledImageDesc imgAudioLevelSmallBgnd: StyledImageDesc { source: "MixerTheme/Resources/AudioLevelSmallBgnd.png"; margins: [3, 1, 3, -1]; borders: [7, 7, 7, 7] }
    property StyledImageDesc imgAudioLevelSmallFront: StyledImageDesc { source: "MixerTheme/Resources/AudioLevelSmallFront.png"; margins: [3, 1, 3, -1]; borders: [7, 7, 7, 7] }

    property StyledImageDesc imgSliderThumbBig: StyledImageDesc { source: "MixerTheme/Resources/SliderThumbBig.png"; margins: [6, 2, 2, 6] }
    property StyledImageDesc imgSliderThumbBigHovered: StyledImageDesc { source: "MixerTheme/Resources/SliderThumbBigHover.png"; margins: [6, 2, 2, 6] }

    property StyledImageDesc imgSliderThumbSmall: StyledImageDesc { source: "MixerTheme/Resources/SliderThumbSmall.png"; margins: [3, 1, 1, 3] }
    property StyledImageDesc imgSliderThumbSmallHovered: StyledImageDesc { source: "MixerTheme/Resources/SliderThumbSmallHover.png"; margins: [3, 1, 1, 3] }

    property StyledImageDesc imgLampOff: StyledImageDesc { source: "MixerTheme/Resources/LampOff.png"; margins: [6, 6, 5, 5] }
    property StyledImageDesc imgLampOnPreview: StyledImageDesc { source: "MixerTheme/Resources/LampOnGreen.png"; margins: [6, 6, 5, 5] }
    property StyledImageDesc imgLampOnProgram: StyledImageDesc { source: "MixerTheme/Resources/LampOnOrange.png"; margins: [6, 6, 5, 5] }

    property StyledImageDesc imgButtonSquareNeutral: StyledImageDesc { source: "MixerTheme/Resources/ButtonSquareWhite.png"; margins: theme.buttonMargins; borders: theme.buttonBorders }
    property StyledImageDesc imgButtonSquareCommon: StyledImageDesc { source: "MixerTheme/Resources/ButtonSquareYellow.png"; margins: theme.buttonMargins; borders: theme.buttonBorders }
    property StyledImageDesc imgButtonSquarePreview: StyledImageDesc { source: "MixerTheme/Resources/ButtonSquareGreen.png"; margins: theme.buttonMargins; borders: theme.buttonBorders }
    property StyledImageDesc imgButtonSquareProgram: StyledImageDesc { source: "MixerTheme/Resources/ButtonSquareOrange.png"; margins: theme.buttonMargins; borders: theme.buttonBorders }
    property StyledImageDesc imgButtonSquareDisabled: StyledImageDesc { source: "MixerTheme/Resources/ButtonSquareDisabled.png"; margins: theme.buttonMargins; borders: theme.buttonBorders }
    property StyledImageDesc imgButtonRectNeutral: StyledImageDesc { source: "MixerTheme/Resources/ButtonRectWhite.png"; margins: theme.buttonMargins; borders: theme.buttonBorders }
    property StyledImageDesc imgButtonRectCommon: StyledImageDesc { source: "MixerTheme/Resources/ButtonSquareYellow.png"; margins: theme.buttonMargins; borders: theme.buttonBorders }
    property StyledImageDesc imgButtonRectPreview: StyledImageDesc { source: "MixerTheme/Resources/ButtonRectGreen.png"; margins: theme.buttonMargins; borders: theme.buttonBorders }
    property StyledImageDesc imgButtonRectProgram: StyledImageDesc { source: "MixerTheme/Resources/ButtonRectOrange.png"; margins: theme.buttonMargins; borders: theme.buttonBorders }
    property StyledImageDesc imgButtonRectDisabled: StyledImageDesc { source: "MixerTheme/Resources/ButtonRectDisabled.png"; margins: theme.buttonMargins; borders: theme.buttonBorders }

    property StyledImageDesc imgOutputBgnd: StyledImageDesc { source: "MixerTheme/Resources/VideoBgnd.png"; borders: [4, 4, 4, 4] }
    property StyledImageDesc imgScrollerBgnd: StyledImageDesc { source: "MixerTheme/Resources/ScrollerBgnd.png"; borders: [4, 4, 4, 4] }
    property StyledImageDesc imgThinScrollerBgnd: StyledImageDesc { source: "MixerTheme/Resources/ThinScrollerBgnd.png"; borders: [4, 4, 4, 4] }

    property StyledImageDesc imgMediaBarBgnd: StyledImageDesc { source: "MixerTheme/Resources/MediaBarBgnd.png"; borders: [5, 5, 5, 5] }
    property StyledImageDesc imgButtonSensor: StyledImageDesc { source: "MixerTheme/Resources/ButtonSensor.png"; borders: [5, 5, 5, 5] }
    property StyledImageDesc imgButtonSensorPressed: StyledImageDesc { source: "MixerTheme/Resources/ButtonSensorPressed.png"; borders: [5, 5, 5, 5] }

    property StyledImageDesc imgSeparatorHor: StyledImageDesc { source: "MixerTheme/Resources/SeparatorHor.png"; borders: [10, 2, 10, 2] }

    property StyledImageDesc imgSeparatorVert: StyledImageDesc { source: "MixerTheme/Resources/SeparatorVert.png"; borders: [2, 10, 2, 10] }

    property StyledImageDesc imgTBarBgnd: StyledImageDesc { colFill: "transparent" }

    property StyledImageDesc imgTBarGroove: StyledImageDesc { source: "MixerTheme/Resources/TBarGroove.png"; borders: [10, 4, 10, 4] }

    property StyledImageDesc imgTBarThumb: StyledImageDesc { source: "MixerTheme/Resources/TBarThumb.png"; margins: [0, 0, 8, 8] }

    property StyledImageDesc imgSliderGroove: StyledImageDesc { source: "MixerTheme/Resources/SliderGroove.png"; borders: [10, 3, 10, 3] }

    property StyledImageDesc imgProgressBarBgnd: StyledImageDesc { source: "MixerTheme/Resources/ProgressBarBgnd.png"; margins: [2, 2, 2, 2]; borders: [10, 7, 10, 7] }
    property StyledImageDesc imgProgressBarFront: StyledImageDesc { source: "MixerTheme/Resources/ProgressBarFront.png"; margins: [2, 2, 2, 2]; borders: [10, 7, 10, 7] }

    property StyledImageDesc imgProgressBarNeutral: StyledImageDesc { source: "MixerTheme/Resources/ProgressBarWhite.png"; margins: [2, 2, 2, 2]; borders: [5, 7, 5, 7] }
    property StyledImageDesc imgProgressBarPreview: StyledImageDesc { source: "MixerTheme/Resources/ProgressBarGreen.png"; margins: [2, 2, 2, 2]; borders: [5, 7, 5, 7] }
    property StyledImageDesc imgProgressBarProgram: StyledImageDesc { source: "MixerTheme/Resources/ProgressBarOrange.png"; margins: [2, 2, 2, 2]; borders: [5, 7, 5, 7] }

    property StyledImageDesc imgPropertyHeader: StyledImageDesc { source: "MixerTheme/Resources/PropHeader.png"; margins: [0, 0, 3, 3]; borders: [3, 3, 6, 6]; horizontalTile: true }
    property StyledImageDesc imgPropertyHeaderPressed: StyledImageDesc { source: "MixerTheme/Resources/PropHeaderPressed.png"; margins: [0, 0, 3, 3]; borders: [3, 3, 6, 6]; horizontalTile: true }

    property StyledImageDesc imgScrollerBgndHorInner: StyledImageDesc { source: "MixerTheme/Resources/ScrollerBgnd.png"; margins: [3, -1, 3, 3]; borders: [4, 4, 4, 4] }

    property StyledImageDesc imgScrollerBgndVertInner: StyledImageDesc { source: "MixerTheme/Resources/ScrollerBgnd.png"; margins: [-1, 2, 3, 3]; borders: [4, 4, 4, 4] }

    property StyledImageDesc imgScrollerThumbHor: StyledImageDesc { source: "MixerTheme/Resources/ScrollerThumbHor.png"; borders: [5, 4, 6, 5]; horizontalTile: true }
    property StyledImageDesc imgThinScrollerThumbHor: StyledImageDesc { source: "MixerTheme/Resources/ThinScrollerThumbHor.png"; borders: [5, 4, 6, 5]; horizontalTile: true }

    property StyledImageDesc imgScrollerThumbHorInner: StyledImageDesc { source: "MixerTheme/Resources/ScrollerThumbHor.png"; margins: [1, -1, 1, 0]; borders: [5, 4, 6, 5]; horizontalTile: true }

    property StyledImageDesc imgScrollerThumbVert: StyledImageDesc { source: "MixerTheme/Resources/ScrollerThumbVert.png"; borders: [4, 5, 5, 6]; verticalTile: true }
    property StyledImageDesc imgThinScrollerThumbVert: StyledImageDesc { source: "MixerTheme/Resources/ThinScrollerThumbVert.png"; borders: [4, 5, 5, 6]; verticalTile: true }

    property StyledImageDesc imgScrollerThumbVertInner: StyledImageDesc { source: "MixerTheme/Resources/ScrollerThumbVert.png"; margins: [-1, 1, 0, 1]; borders: [4, 5, 5, 6]; verticalTile: true }

    // descriptors shared under a second name
    property StyledImageDesc imgView: imgOutputBgnd
    property StyledImageDesc imgProgressBarBgndDot: imgProgressBarBgnd
    property StyledImageDesc imgProgressBarNeutralDot: imgProgressBarNeutral
    property StyledImageDesc imgProgressBarPreviewDot: imgProgressBarNeutralDot
    property StyledImageDesc imgProgressBarProgramDot: imgProgressBarNeutralDot
    property StyledImageDesc imgDialogButton: imgPropertyHeader
    property StyledImageDesc imgDialogButtonPressed: imgPropertyHeaderPressed

    // the per-user store of a custom theme's data, one category per theme
    readonly property Settings __settings: Settings {
        category: "Theme_" + theme.themeID
        // empty until a custom theme stores its data
        property var themeData: ""
    }
    readonly property bool isRegistryData: !!__settings.themeData

    // colour functions
    // r, g, b from 0 to 255
    function colRGB(r, g, b) {
        return Qt.rgba(r / 255, g / 255, b / 255, 1)
    }
    // h in degrees, s and l in percent; l is the HSV value (brightness), so 100 is not white
    function colHSL(h, s, l) {
        return Qt.hsva(h / 360, s / 100, l / 100, 1)
    }
    // col's red, green and blue with alpha from 0 to 1; col may be a colour or a colour name
    function colWAlpha(col, alpha) {
        var c = Qt.tint(col, "transparent")
        return Qt.rgba(c.r, c.g, c.b, alpha)
    }
    // a new set with the four family keys only
    function colsWAlpha(cols, alpha) {
        return {
            "neutral": colWAlpha(cols.neutral, alpha),
            "preset": colWAlpha(cols.preset, alpha),
            "program": colWAlpha(cols.program, alpha),
            "common": colWAlpha(cols.common, alpha)
        }
    }

    // custom theme hooks; the base theme defines neither load nor save, so they do nothing
    function _canLoad() { return custom && typeof theme.load === "function" }
    function _canSave() { return custom && typeof theme.save === "function" }

    function loadFromFile(url) {
        if (!_canLoad() || !url || String(url) === "")
            return false
        var data = Serialization.readFromJsonFile(url)
        // a missing or broken file must not reach load() as if it were theme data
        if (data === false)
            return false
        return theme.load(data)
    }
    function saveToFile(url) {
        if (!_canSave() || !url || String(url) === "")
            return false
        return Serialization.writeToJsonFile(url, theme.save())
    }
    function loadFromRegistry() {
        if (!_canLoad() || !__settings.themeData)
            return false
        var data = Serialization.readFromMemory(__settings.themeData)
        // stored data that no longer decodes is not handed to load() either
        if (data === false)
            return false
        return theme.load(data)
    }
    function saveToRegistry() {
        if (!_canSave())
            return
        __settings.themeData = Serialization.writeToMemory(theme.save())
    }
}

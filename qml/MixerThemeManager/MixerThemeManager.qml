pragma Singleton
import QtQml 2.12

// Holds the visual theme of the components; documents read it as MixerThemeManager.theme.
QtObject {
    readonly property MixerTheme theme: MixerTheme {}
}

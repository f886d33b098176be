pragma Singleton
import QtQml 2.12

// Holds the visual theme of the components.
QtObject {
    readonly property MixerTheme theme: MixerTheme {}
}

import QtQml 2.12

// The theme: fonts, sizes, colours and image descriptors.
QtObject {
    property string themeID: "brisol"
    property int itemSpacing: 14
    property int dialogButtonHSpacing: 1
    property int dialogButtonFontSize: 18
}

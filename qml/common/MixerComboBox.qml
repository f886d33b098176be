import QtQuick 2.12
import QtQuick.Controls 2.12

// The standard combo box in the Material dark style of the controls style file.
ComboBox {
    id: control
}

import QtQuick 2.12
import QtQuick.Controls 2.12

// The standard button in the Material dark style of the controls style file.
Button {
}

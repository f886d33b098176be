import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls 1.4

// A button whose Return and Enter keys act like Space.
Button {
}

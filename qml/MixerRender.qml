import QtQuick 2.12
import "common"

// One output layer.
PreserveAspectFit {
    id: render
    visible: false
}

pragma Singleton
import QtQuick 2.6

// The system's clock for command times and its beat: `time` is wall-clock milliseconds x 10000
// (ticks of 100 ns), refreshed every 200 ms; 0 until the first beat.
QtObject {
    id: scheduler

    property double time: 0

    property Timer timer: Timer {
        interval: 200
        repeat: true
        running: true
        onTriggered: scheduler.time = Date.now() * 10000
    }
}

import QtQuick 2.12
import QtTest 1.12
import TimeScheduler 1.0

TestCase {
    name: "TimeScheduler"

    SignalSpy { id: beats; target: TimeScheduler; signalName: "timeChanged" }

    function test_beat() {
        beats.clear()
        beats.wait(1000)
        var first = TimeScheduler.time
        beats.wait(1000)
        var second = TimeScheduler.time
        compare(beats.count, 2, "one change per beat")
        // ticks of 100 ns: whole milliseconds times 10000, close to the wall clock
        compare(first % 10000, 0)
        compare(second % 10000, 0)
        verify(Math.abs(second - Date.now() * 10000) < 10000 * 1000, "time follows the wall clock")
        var step = second - first
        verify(step >= 1000000 && step <= 6000000, "about 2,000,000 ticks between beats, got " + step)
        verify(TimeScheduler.timer.running)
        compare(TimeScheduler.timer.interval, 200)
        verify(TimeScheduler.timer.repeat)
    }
}

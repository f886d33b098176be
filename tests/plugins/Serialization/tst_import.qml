import QtQuick 2.12
import QtTest 1.2
import Serialization 1.0

// A document that imports Serialization 1.0 reaches all three services by bare name.
TestCase {
    id: testCase
    name: "SerializationFromQml"

    property int calls: 0

    function dataFile(name) {
        return Serialization.applicationDataDirPath + "/" + name
    }

    function test_serialization_from_a_document() {
        var dir = Serialization.applicationDataDirPath
        verify(dir.length > 1)
        compare(dir.slice(-7), "/Orvane")
        compare(dir.slice(-1) === "/", false)
        verify(Serialization.isFileExists(dir))
        compare(Serialization.getEnv("ORVANE_TEST_TMP").length > 0, true)
        verify(dir.indexOf(Serialization.getEnv("ORVANE_TEST_TMP")) === 0)

        var config = { renderNumber: 12, exitOnEject: false, boxes: [1, 2] }
        verify(Serialization.writeToJsonFile("file:///" + dataFile("output_config.json"), config))
        var back = Serialization.readFromJsonFile("output_config.json")
        compare(Object.keys(back), ["renderNumber", "exitOnEject", "boxes"])
        compare(back.renderNumber, 12)
        compare(back.boxes.length, 2)
        verify(!Serialization.readFromJsonFile("missing.json"))

        verify(Serialization.writeToTextFile("Errors.txt", "one\n", true))
        verify(Serialization.writeToTextFile(dataFile("Errors.txt"), "two\n", true))
        compare(Serialization.readTextFile("file://" + dataFile("Errors.txt")), "one\ntwo\n")
        verify(!Serialization.writeToTextFile(dataFile("no/such/dir.txt"), "x"))

        var stored = Serialization.writeToMemory({ b: 1, a: "x" })
        compare(stored, '{"b":1,"a":"x"}')
        compare(Serialization.readFromMemory(stored).a, "x")
    }

    function test_qml_utils_from_a_document() {
        calls = 0
        var cancel = QmlUtils.singleShot(50, function () { testCase.calls += 1 })
        compare(calls, 0)
        tryCompare(testCase, "calls", 1, 5000)
        cancel()
        wait(100)
        compare(calls, 1)

        var now = QmlUtils.singleShot(10000, function () { testCase.calls += 10 })
        verify(now)
        now()
        compare(calls, 11)
        now()
        compare(calls, 11)
    }

    function test_process_from_a_document() {
        compare(Process.run("RpcClient.exe", ["--layer", 3]), 0)
        var out = dataFile("process.txt")
        var pid = Process.run("/bin/sh", ["-c", "printf '%s %s' \"$1\" \"$2\" > \"$0.part\" && mv \"$0.part\" \"$0\"",
                                          out, "--layer", 3])
        verify(pid > 0)
        tryVerify(function () { return Serialization.isFileExists(out) }, 10000)
        compare(Serialization.readTextFile(out), "--layer 3")
    }
}

import QtQml 2.12
import Serialization 1.0

// Ties one JSON configuration file in the application-data directory to `config`.
// `config` re-reads the file whenever `_count`, `path` or `defaultConfig` changes; when there is
// no file the default is written and used. Changes made to `config` in place reach the disk only
// through save().
//
// The file is edited by hand on installations, so a file that is there but unusable is never
// lost: one that cannot be parsed as a JSON object is first copied to "<file>.bad" and only then
// replaced by the default; one that cannot be read at all (permissions, a directory in its place)
// is left alone and the default is used in memory only.
QtObject {
    id: loader

    // set by the owner
    property string fileName: ""
    property var defaultConfig
    property var path: fileName ? Serialization.applicationDataDirPath + "/" + fileName : ""

    // bumped by update() so that `config` is computed again
    property var _count: 0

    // always a plain object, never null, an array or a scalar
    readonly property var config: _load(_count, path, defaultConfig)

    // A file that is there but could not be used, so the defaults are in use: said in the
    // trace, and offered to the owner to show the operator. `message` names the file.
    signal unusable(string message)

    function update() { _count += 1 }

    function save(js) {
        if (Serialization.writeToJsonFile(path, js ? js : config))
            return true
        print("Can't write config '%1'".arg(path))
        return false
    }

    // A configuration is a JSON object: not null, a list, a number or a text.
    function isConfig(js) {
        return typeof js === "object" && js !== null && !Array.isArray(js)
    }

    function _load(count, path, defaultConfig) {
        if (!path)
            return {}
        var js = Serialization.readFromJsonFile(path)
        if (isConfig(js))
            return js
        if (Serialization.isFileExists(path) && !_keepUnusable(path))
            return defaultConfig ? defaultConfig : {}
        if (!defaultConfig) {
            print("Can't load config file '%1'".arg(path))
            return {}
        }
        if (!Serialization.writeToJsonFile(path, defaultConfig))
            print("Can't write default config '%1'".arg(path))
        return defaultConfig
    }

    // A present file that may be replaced by the default only once its content is safe in a
    // copy beside it. False when the file must stay as it is.
    function _keepUnusable(path) {
        var text = Serialization.readTextFile(path)
        if (text === "") {
            _unusable("Can't read config file '%1', using the default without writing it".arg(path))
            return false
        }
        var copy = path + ".bad"
        if (!Serialization.writeToTextFile(copy, text)) {
            _unusable("Can't keep unusable config '%1' as '%2', using the default without writing it"
                      .arg(path).arg(copy))
            return false
        }
        _unusable("Config file '%1' is not a JSON object, kept as '%2'".arg(path).arg(copy),
                  "; the default is in use")
        return true
    }

    function _unusable(trace, consequence) {
        console.warn(trace)
        unusable(trace + (consequence ? consequence : ""))
    }
}

import QtQml 2.12
import Serialization 1.0

// Ties one JSON configuration file in the application-data directory to `config`.
// `config` re-reads the file whenever `_count`, `path` or `defaultConfig` changes; when the file
// cannot be read the default is written and used. Changes made to `config` in place reach the
// disk only through save().
QtObject {
    id: loader

    property string fileName: ""
    property var defaultConfig
    property var path: fileName ? Serialization.applicationDataDirPath + "/" + fileName : ""
    property var _count: 0
    readonly property var config: _load(_count, path, defaultConfig)

    function update() { _count += 1 }

    function save(js) {
        if (Serialization.writeToJsonFile(path, js ? js : config))
            return true
        print("Can't write config '%1'".arg(path))
        return false
    }

    function _load(count, path, defaultConfig) {
        if (!path)
            return {}
        var js = Serialization.readFromJsonFile(path)
        if (js)
            return js
        if (!defaultConfig) {
            print("Can't load config file '%1'".arg(path))
            return {}
        }
        if (!Serialization.writeToJsonFile(path, defaultConfig))
            print("Can't write default config '%1'".arg(path))
        return defaultConfig
    }
}

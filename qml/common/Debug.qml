pragma Singleton
import QtQml 2.12

// Trace functions: a label and a value with its members, one warning line per member.
//   s  label (a non-string first argument shifts the others one place right)
//   v  value;  l depth (default 2);  f filter on member paths;  r path prefix;  tf list functions
QtObject {
    function p(s, v, l, f, r) { return _p(s, v, l, f, r, false) }
    function pf(s, v, l, f, r) { return _p(s, v, l, f, r, true) }
    function dump(s, v, l, f, r) { return _dump(s, v, l, f, r, false) }
    function dumpf(s, v, l, f, r) { return _dump(s, v, l, f, r, true) }

    // "[object]" for a plain object, "" for a falsy value
    function _valueText(v) { return v ? String(v).replace("object Object", "object") : "" }
    function _passes(f, r) { return !f || r.indexOf(f) >= 0 }
    function _isQtValue(text) { return /^(QPoint|QSize|QRect|QVector)/.test(text) }
    function _member(v, k) {
        try { return v[k] } catch (e) { return undefined }
    }
    function _keys(v) {
        var keys = []
        if (v === null || v === undefined)
            return keys
        for (var k in v)
            if (k.charAt(0) !== "_")
                keys.push(k)
        return keys
    }
    function _childDepth(name, l) { return (name === "parent" || name === "style") ? 0 : l - 1 }

    function _p(s, v, l, f, r, tf) {
        return _walk(s, v, l, f, r, tf, false, function (line) { console.warn(line) })
    }

    // The same lines as one text, appended to `res`, the text built so far (none when falsy):
    // the label line as it is, then "\n" before every member line.
    function _dump(s, v, l, f, r, tf, res) {
        res = res ? String(res) : ""
        _walk(s, v, l, f, r, tf, true, function (line, label) { res += label ? line : "\n" + line })
        return res
    }

    // The one walk behind p and dump: hands out(line, isLabel) the label line, then a line per
    // member down to depth l, and returns v. `dumping` keeps dump's own forms: a nested object
    // as String(v), and a Qt value's line given twice.
    function _walk(s, v, l, f, r, tf, dumping, out) {
        var first = s !== null && s !== undefined
        var labelled = typeof s === "string"
        if (first && !labelled) {
            r = f; f = l; l = v; v = s; s = undefined
        }
        var text = _valueText(v)
        if (first)
            out("------" + (labelled ? s + " " : "") + text, true)
        if ((v === null || v === undefined) && s)
            return v
        if (l === null || l === undefined)
            l = 2
        if (!r)
            r = ""
        if (typeof v === "function") {
            if (tf && r.indexOf("Changed") < 0 && _passes(f, r))
                out(r + "()")
            return v
        }
        if (typeof v !== "object" || l <= 0) {
            if (_passes(f, r))
                out(r + ":" + String(v))
            return v
        }
        if (!first && _passes(f, r))
            out(r + ":" + (dumping ? String(v) : text))
        if (!tf && _isQtValue(text)) {
            if (dumping)
                out(r + ":" + String(v))
            return v
        }
        var keys = _keys(v)
        for (var i = 0; i < keys.length; ++i)
            _walk(null, _member(v, keys[i]), _childDepth(keys[i], l), f, r + "." + keys[i], tf, dumping, out)
        return v
    }

    // Prints the lines of the new dump whose value (text between the first and second ":")
    // differs from the old dump's line with the same key, with the old value in parentheses.
    function dif(dump, dump0) {
        if (dump === dump0)
            return
        var old = Object.create(null)
        var oldLines = String(dump0).split("\n")
        for (var i = 0; i < oldLines.length; ++i) {
            if (!oldLines[i])
                continue
            var parts = oldLines[i].split(":")
            old[parts[0]] = parts[1]
        }
        var lines = String(dump).split("\n")
        for (var j = 0; j < lines.length; ++j) {
            if (!lines[j])
                continue
            var pieces = lines[j].split(":")
            var value = pieces[1]
            var before = old[pieces[0]] !== undefined ? old[pieces[0]] : ""
            if (j === 0 || value === undefined || value !== before)
                console.warn(lines[j] + (before ? "  (" + before + ")" : ""))
        }
    }
}

#pragma once
#include <QString>
#include <QUrl>
#include <QVariant>

// A scene's data as a template sees it: named fields, and each value in the kind of the template's
// property that takes it.
class TemplateFields
{
public:
    // A plain value: a QJSValue handed over from a script becomes the list or object it holds.
    static QVariant plain(const QVariant &value);

    // Nothing to say: undefined, null, an empty text, an empty list or object.
    static bool isEmpty(const QVariant &data);

    // name -> value from a list of {"name": ..., "value": ...}, an object {name: value}, or the JSON
    // text of either. Anything else gives no fields and a `problem` (entries without a name are
    // skipped and named in it too).
    static QVariantMap fromData(const QVariant &data, QString *problem);

    // The value made fit for a property of meta type `type`: text, numbers, bool and colours as
    // QML converts them, URLs resolved against `base` (the template's own folder). False when the
    // value is of another kind.
    static bool convert(QVariant &value, int type, const QUrl &base);

    // A local file that a URL field names and that cannot be read; empty when there is none.
    static QString unreadableFile(const QVariant &url);
};

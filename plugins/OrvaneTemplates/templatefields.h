#pragma once
#include <QJsonObject>
#include <QString>
#include <QStringList>
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
    // skipped and named in it too). `order`, when given, gets the names in the data's own order
    // (a list's; an object's by name).
    static QVariantMap fromData(const QVariant &data, QString *problem, QStringList *order = nullptr);

    // A plain file name: no folder, no way up, nothing a URL would read differently.
    static bool isPlainName(const QString &name);

    // The container of `scene`, <data>/<scene>/<scene>.gfxc, as it is on disk: empty when there is
    // none or it is not a JSON object. `dataDirectory` is a path or a file: URL, a relative one
    // inside the application-data directory; a scene name that is not a plain name finds nothing.
    static QJsonObject container(const QString &dataDirectory, const QString &scene);

    // The data a Cue of the scene takes: `dskData` (its record's dsk_data) when it is not empty,
    // else the container's template_params.
    static QVariant cueData(const QJsonObject &container, const QVariant &dskData);

    // The value made fit for a property of meta type `type`: text, numbers, bool and colours as
    // QML converts them, URLs resolved against `base` (the template's own folder). False when the
    // value is of another kind.
    static bool convert(QVariant &value, int type, const QUrl &base);

    // A local file that a URL field names and that cannot be read; empty when there is none.
    static QString unreadableFile(const QVariant &url);
};

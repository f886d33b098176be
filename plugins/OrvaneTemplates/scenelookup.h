#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// Where a scene's graphic comes from, at its Cue. The scene's container (<data>/<scene>/<scene>.gfxc)
// names it in `template_name`, looked for in this order:
//   a template (.gfx, .qml) of that name in the scene's folder;
//   a built-in template of that name, with or without its extension;
//   a still image (.png, .jpg, .jpeg, .svg) in the scene's folder;
//   a video of a listed format in the scene's folder, then in the videos folder;
//   else nothing: the layer shows what it showed before templates existed.
// Nothing is ever looked for outside those folders: a name with a path in it finds nothing.
class SceneLookup : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    static void setModuleDirectory(const QString &dir);
    // folders of built-in templates, in the order they are searched
    static QStringList builtInFolders();

    // {kind: "template" | "image" | "video" | "", url, base: the scene's folder, against which the
    //  data's relative URLs resolve, name: template_name, fields: the data as
    //  name -> value, problem: why the data could not be read (empty when it could),
    //  duration: ms after the Play that the graphic goes off air by itself (0: until stopped)}.
    // The data is `dskData` when it is not empty, else the container's template_params as on disk.
    Q_INVOKABLE QVariantMap find(const QString &dataUrl, const QString &scene, const QString &videosFolder,
                                 const QVariant &dskData) const;

    // The template file of a built-in name ("lower-third" or "lower-third.gfx"); empty when none.
    Q_INVOKABLE QString builtInTemplate(const QString &name) const;

    static bool isTemplateFile(const QString &name);
    static bool isImageFile(const QString &name);
    static bool isVideoFile(const QString &name);

private:
    static QString s_moduleDirectory;
};

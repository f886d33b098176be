#include "scenelookup.h"

#include "hostpath.h"
#include "templatefields.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QStandardPaths>
#include <QUrl>

QString SceneLookup::s_moduleDirectory;

namespace {

// A folder as the window names it: a path or a file: URL, a relative one (the default data
// directory "Layers") inside the application-data directory, as the host services read it.
QString localPath(const QString &urlOrPath)
{
    return orvane::localPath(urlOrPath, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

bool hasSuffix(const QString &name, std::initializer_list<const char *> suffixes)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    for (const char *s : suffixes) {
        if (suffix == QLatin1String(s))
            return true;
    }
    return false;
}

QString existingFile(const QString &dir, const QString &name)
{
    if (dir.isEmpty())
        return QString();
    const QFileInfo file(QDir(dir).filePath(name));
    return file.isFile() ? file.absoluteFilePath() : QString();
}

} // namespace

void SceneLookup::setModuleDirectory(const QString &dir) { s_moduleDirectory = dir; }

QStringList SceneLookup::builtInFolders()
{
    QStringList folders;
    if (s_moduleDirectory.isEmpty())
        return folders;
    const QDir module(s_moduleDirectory);
    for (const char *relative : {"../../templates", "../../../../share/orvane/templates"}) {
        const QString dir = QDir::cleanPath(module.filePath(QLatin1String(relative)));
        if (QFileInfo(dir).isDir())
            folders << dir;
    }
    return folders;
}

bool SceneLookup::isTemplateFile(const QString &name) { return hasSuffix(name, {"gfx", "qml"}); }
bool SceneLookup::isImageFile(const QString &name) { return hasSuffix(name, {"png", "jpg", "jpeg", "svg"}); }
bool SceneLookup::isVideoFile(const QString &name) { return hasSuffix(name, {"mov", "wmv", "mpg", "mp4", "avi"}); }

QString SceneLookup::builtInTemplate(const QString &name) const
{
    if (!TemplateFields::isPlainName(name))
        return QString();
    const QStringList names = isTemplateFile(name) ? QStringList{name} : QStringList{name + QStringLiteral(".gfx")};
    for (const QString &dir : builtInFolders()) {
        for (const QString &n : names) {
            const QString file = existingFile(dir, n);
            if (!file.isEmpty())
                return file;
        }
    }
    return QString();
}

QVariantMap SceneLookup::find(const QString &dataUrl, const QString &scene, const QString &videosFolder,
                              const QVariant &dskData) const
{
    QVariantMap result{{QStringLiteral("kind"), QString()},    {QStringLiteral("url"), QString()},
                       {QStringLiteral("name"), QString()},    {QStringLiteral("fields"), QVariantMap()},
                       {QStringLiteral("problem"), QString()}, {QStringLiteral("duration"), 0}};
    const QString data = localPath(dataUrl);
    if (data.isEmpty() || !TemplateFields::isPlainName(scene))
        return result;
    const QString folder = QDir(data).filePath(scene);
    const QJsonObject container = TemplateFields::container(data, scene);

    QString problem;
    result.insert(QStringLiteral("fields"),
                  TemplateFields::fromData(TemplateFields::cueData(container, dskData), &problem));
    result.insert(QStringLiteral("problem"), problem);

    // duration in ticks of 100 ns; only a limited one takes the graphic off air
    const double ticks = container.value(QStringLiteral("duration")).toDouble();
    if (container.value(QStringLiteral("duration_unlimited")) == QJsonValue(false) && ticks > 0)
        result.insert(QStringLiteral("duration"), qRound64(ticks / 10000.0));

    const QString name = container.value(QStringLiteral("template_name")).toString();
    result.insert(QStringLiteral("name"), name);
    if (!TemplateFields::isPlainName(name))
        return result;

    QString kind;
    QString found;
    if (isTemplateFile(name) && !(found = existingFile(folder, name)).isEmpty())
        kind = QStringLiteral("template");
    else if (!(found = builtInTemplate(name)).isEmpty())
        kind = QStringLiteral("template");
    else if (isImageFile(name) && !(found = existingFile(folder, name)).isEmpty())
        kind = QStringLiteral("image");
    else if (isVideoFile(name)
             && (!(found = existingFile(folder, name)).isEmpty()
                 || !(found = existingFile(localPath(videosFolder), name)).isEmpty()))
        kind = QStringLiteral("video");
    if (kind.isEmpty())
        return result;
    result.insert(QStringLiteral("kind"), kind);
    result.insert(QStringLiteral("url"), QUrl::fromLocalFile(found).toString());
    // files a template's data names lie beside the scene's container (a built-in template's own
    // folder holds none of them); a template of the scene's folder is there anyway
    result.insert(QStringLiteral("base"), QUrl::fromLocalFile(folder + QLatin1Char('/')).toString());
    return result;
}

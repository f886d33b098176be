#include "templatefields.h"

#include "hostpath.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJSValue>
#include <QJsonDocument>
#include <QMetaType>
#include <QStandardPaths>

QVariant TemplateFields::plain(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QJSValue>())
        return value.value<QJSValue>().toVariant();
    return value;
}

bool TemplateFields::isEmpty(const QVariant &data)
{
    const QVariant v = plain(data);
    if (!v.isValid() || v.isNull())
        return true;
    switch (v.userType()) {
    case QMetaType::QString:
        return v.toString().trimmed().isEmpty();
    case QMetaType::QVariantList:
        return v.toList().isEmpty();
    case QMetaType::QVariantMap:
        return v.toMap().isEmpty();
    default:
        return false;
    }
}

QVariantMap TemplateFields::fromData(const QVariant &data, QString *problem, QStringList *order)
{
    QVariant v = plain(data);
    if (v.userType() == QMetaType::QString) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(v.toString().toUtf8(), &error);
        if (error.error != QJsonParseError::NoError) {
            *problem = QStringLiteral("data is not JSON: ") + error.errorString();
            return {};
        }
        v = doc.toVariant();
    }
    if (v.userType() == QMetaType::QVariantMap) {
        if (order)
            *order = v.toMap().keys();
        return v.toMap();
    }
    if (v.userType() != QMetaType::QVariantList) {
        if (!isEmpty(v))
            *problem = QStringLiteral("data is neither a list of {name, value} nor an object");
        return {};
    }
    QVariantMap fields;
    int skipped = 0;
    for (const QVariant &entry : v.toList()) {
        const QVariantMap field = plain(entry).toMap();
        const QString name = field.value(QStringLiteral("name")).toString();
        if (name.isEmpty()) {
            ++skipped;
            continue;
        }
        if (order && !fields.contains(name))
            order->append(name);
        fields.insert(name, field.value(QStringLiteral("value")));
    }
    if (skipped > 0)
        *problem = QStringLiteral("%1 data entries without a name").arg(skipped);
    return fields;
}

bool TemplateFields::isPlainName(const QString &name)
{
    static const QString forbidden = QStringLiteral("/\\%?#");
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (forbidden.contains(c) || c.unicode() == 0)
            return false;
    }
    return true;
}

QJsonObject TemplateFields::container(const QString &dataDirectory, const QString &scene)
{
    const QString data =
        orvane::localPath(dataDirectory, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    if (data.isEmpty() || !isPlainName(scene))
        return {};
    QFile file(QDir(data).filePath(scene + QLatin1Char('/') + scene + QStringLiteral(".gfxc")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.read(1024 * 1024)).object();
}

QVariant TemplateFields::cueData(const QJsonObject &container, const QVariant &dskData)
{
    return isEmpty(dskData) ? container.value(QStringLiteral("template_params")).toVariant() : dskData;
}

namespace {

bool isScalar(const QVariant &v)
{
    switch (v.userType()) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool isNumber(const QVariant &v)
{
    return isScalar(v) && v.userType() != QMetaType::QString && v.userType() != QMetaType::Bool;
}

} // namespace

bool TemplateFields::convert(QVariant &value, int type, const QUrl &base)
{
    value = plain(value);
    switch (type) {
    case QMetaType::QVariant:
        return true;
    case QMetaType::QString:
        if (!isScalar(value))
            return false;
        value = value.toString();
        return true;
    case QMetaType::Bool:
        if (value.userType() == QMetaType::Bool)
            return true;
        if (value.userType() == QMetaType::QString) {
            const QString text = value.toString().trimmed().toLower();
            if (text != QLatin1String("true") && text != QLatin1String("false"))
                return false;
            value = text == QLatin1String("true");
            return true;
        }
        return false;
    case QMetaType::Int:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::LongLong: {
        if (!isNumber(value) && value.userType() != QMetaType::QString)
            return false;
        bool ok = false;
        const double number =
            value.userType() == QMetaType::QString ? value.toString().trimmed().toDouble(&ok) : value.toDouble(&ok);
        if (!ok)
            return false;
        value = number;
        return value.convert(type);
    }
    case QMetaType::QColor: {
        if (value.userType() != QMetaType::QString || !QColor::isValidColor(value.toString()))
            return false;
        value = QColor(value.toString());
        return true;
    }
    case QMetaType::QUrl: {
        if (value.userType() != QMetaType::QString && value.userType() != QMetaType::QUrl)
            return false;
        const QString text = value.toString();
        const QUrl url = text.isEmpty() ? QUrl() : base.resolved(QUrl(text));
        // a field names a file beside the template, never something to fetch from the network
        if (!url.isEmpty() && !url.isLocalFile() && url.scheme() != QLatin1String("qrc"))
            return false;
        value = url;
        return true;
    }
    default:
        if (!value.canConvert(type))
            return false;
        return value.convert(type);
    }
}

QString TemplateFields::unreadableFile(const QVariant &url)
{
    const QUrl u = url.toUrl();
    if (!u.isLocalFile())
        return QString();
    const QFileInfo file(u.toLocalFile());
    return file.isFile() && file.isReadable() ? QString() : file.filePath();
}

#include "serialization.h"
#include "hostpath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJSEngine>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtDebug>

Serialization::Serialization(QJSEngine *engine, QObject *parent)
    : QObject(parent), m_engine(engine), m_dataDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
{
    if (!m_dataDir.isEmpty() && !QDir().mkpath(m_dataDir))
        qWarning().noquote() << "Can't create application data directory" << m_dataDir;
}

QString Serialization::applicationDataDirPath() const { return m_dataDir; }

QString Serialization::resolve(const QString &path) const { return orvane::localPath(path, m_dataDir); }

// JSON goes through the engine's own JSON object so that keys keep their insertion order.
QJSValue Serialization::parseJson(const QString &text) const
{
    if (!m_engine || text.trimmed().isEmpty())
        return QJSValue(false);
    QJSValue parse = m_engine->globalObject().property(QStringLiteral("JSON")).property(QStringLiteral("parse"));
    QJSValue result = parse.call({QJSValue(text)});
    if (result.isError())
        return QJSValue(false);
    return result;
}

QString Serialization::stringifyJson(const QJSValue &value, int indent) const
{
    if (!m_engine)
        return QString();
    QJSValue stringify =
        m_engine->globalObject().property(QStringLiteral("JSON")).property(QStringLiteral("stringify"));
    QJSValue result = stringify.call({value, QJSValue(QJSValue::NullValue), QJSValue(indent)});
    if (result.isError() || !result.isString())
        return QString();
    return result.toString();
}

// Writes a temporary file beside the target and renames it over the target only when every
// byte is on disk, so a full disk or a kill mid-write leaves the old file whole.
bool Serialization::replaceFile(const QString &file, const QByteArray &data)
{
    if (file.isEmpty())
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(data) != data.size()) {
        out.cancelWriting();
        out.commit();
        return false;
    }
    return out.commit();
}

QJSValue Serialization::readFromJsonFile(const QString &path) const
{
    QFile in(resolve(path));
    if (!in.open(QIODevice::ReadOnly))
        return QJSValue(false);
    return parseJson(QString::fromUtf8(in.readAll()));
}

bool Serialization::writeToJsonFile(const QString &path, const QJSValue &value) const
{
    const QString text = stringifyJson(value, 2);
    if (text.isNull())
        return false;
    return replaceFile(resolve(path), text.toUtf8());
}

QString Serialization::readTextFile(const QString &path) const
{
    QFile in(resolve(path));
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(in.readAll());
}

bool Serialization::writeToTextFile(const QString &path, const QString &text, bool append) const
{
    const QString file = resolve(path);
    const QByteArray data = text.toUtf8();
    if (!append)
        return replaceFile(file, data);
    if (file.isEmpty())
        return false;
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool whole = out.write(data) == data.size();
    return out.flush() && whole;
}

bool Serialization::isFileExists(const QString &path) const
{
    const QString file = resolve(path);
    return !file.isEmpty() && QFileInfo::exists(file);
}

bool Serialization::isDirectory(const QString &path) const
{
    const QString dir = resolve(path);
    return !dir.isEmpty() && QFileInfo(dir).isDir();
}

bool Serialization::makeDirectory(const QString &path) const
{
    const QString dir = resolve(path);
    if (dir.isEmpty())
        return false;
    const QFileInfo info(dir);
    if (info.isDir())
        return true;
    if (info.exists() || !QFileInfo(info.absolutePath()).isDir())
        return false;
    return QDir().mkdir(dir) && QFileInfo(dir).isDir();
}

QString Serialization::getEnv(const QString &name) const
{
    return qEnvironmentVariable(name.toLocal8Bit().constData());
}

QString Serialization::writeToMemory(const QJSValue &value) const { return stringifyJson(value, 0); }

QJSValue Serialization::readFromMemory(const QString &stored) const { return parseJson(stored); }

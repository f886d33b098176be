#pragma once
#include <QJSValue>
#include <QObject>
#include <QString>

class QJSEngine;

// File, JSON and environment services for the documents. Never throws into a document:
// failure is false, a falsy value or an empty text. Replacing writes are atomic.
class Serialization : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString applicationDataDirPath READ applicationDataDirPath CONSTANT)

public:
    explicit Serialization(QJSEngine *engine, QObject *parent = nullptr);

    // The per-user application-data directory (created when missing), no trailing separator.
    QString applicationDataDirPath() const;

    Q_INVOKABLE QJSValue readFromJsonFile(const QString &path) const;
    Q_INVOKABLE bool writeToJsonFile(const QString &path, const QJSValue &value) const;
    Q_INVOKABLE QString readTextFile(const QString &path) const;
    Q_INVOKABLE bool writeToTextFile(const QString &path, const QString &text, bool append = false) const;
    Q_INVOKABLE bool isFileExists(const QString &path) const;
    Q_INVOKABLE bool isDirectory(const QString &path) const;
    // Makes the directory `path` inside a parent that exists (never a chain of missing parents,
    // so a mistyped location is not built on disk); true when it is a directory afterwards.
    Q_INVOKABLE bool makeDirectory(const QString &path) const;
    Q_INVOKABLE QString getEnv(const QString &name) const;

    // A form of `value` that the settings store can hold (compact JSON text), and back.
    Q_INVOKABLE QString writeToMemory(const QJSValue &value) const;
    Q_INVOKABLE QJSValue readFromMemory(const QString &stored) const;

    // The local file a document's path names (see hostpath.h).
    QString resolve(const QString &path) const;

private:
    QJSValue parseJson(const QString &text) const;
    QString stringifyJson(const QJSValue &value, int indent) const;
    static bool replaceFile(const QString &file, const QByteArray &data);

    QJSEngine *m_engine;
    QString m_dataDir;
};

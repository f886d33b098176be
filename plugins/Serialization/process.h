#pragma once
#include <QObject>
#include <QVariantList>

// Starts outside programs.
class Process : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts `program` detached with `arguments` (texts or numbers); returns its process id,
    // or 0 when it could not be started.
    Q_INVOKABLE qint64 run(const QString &program, const QVariantList &arguments = {}) const;
};

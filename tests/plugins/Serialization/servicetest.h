#pragma once
// Shared by the host-service tests: where a test keeps its files, and what a file holds.
#include <QDir>
#include <QFile>
#include <QString>

// The isolated runner's temporary directory (the system one outside it).
inline QString testRoot() { return qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath()); }

// A file's bytes, or "<missing>" when it cannot be read.
inline QByteArray contents(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return in.readAll();
}

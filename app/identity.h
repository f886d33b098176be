#pragma once
// The application identity, set once at start-up by the program and by every host that loads its
// documents in its own process (tests, benchmarks, the picture tools): documents read it back
// (Qt.application), and it keys the settings store and the application-data directory.
#include <QCoreApplication>
#include <QString>

inline void setOrvaneIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quarnet"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("quarnet.example"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral("3.14"));
}

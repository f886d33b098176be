#pragma once
// Shared by the test and benchmark hosts that load the program's documents in their own process.
#include <QCoreApplication>
#include <QString>

// The application identity exactly as the program sets it at start-up: documents read it back
// (Qt.application), and it keys the settings store and the application-data directory.
inline void setOrvaneIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quarnet"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("quarnet.example"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral("3.14"));
}

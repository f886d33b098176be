#include "TavroBoxPlayer.h"

#include <QDebug>

TavroBoxPlayer::TavroBoxPlayer(QObject *parent) : QObject(parent) { setName(QStringLiteral("Default Name")); }

QString TavroBoxPlayer::name() const { return m_name; }

void TavroBoxPlayer::setName(const QString &name)
{
    if (name == m_name)
        return;
    m_name = name;
    emit nameChanged();
}

void TavroBoxPlayer::printMessage(const QString &message) { qDebug() << "Message from C++:" << message; }

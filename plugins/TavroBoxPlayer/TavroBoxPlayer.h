#pragma once
#include <QObject>
#include <QString>

// A minimal player object: a name with change notification and a debug-log message.
class TavroBoxPlayer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)

public:
    explicit TavroBoxPlayer(QObject *parent = nullptr);

    QString name() const;
    void setName(const QString &name);

    Q_INVOKABLE void printMessage(const QString &message);

signals:
    void nameChanged();

private:
    QString m_name;
};

#pragma once
// The window's side of the control port: every request the server takes is checked against the
// verbs (ControlVerbs) with the window's layers and scenes. A bad one is answered here, and so is
// "scenes"; the window is handed only requests it can carry out, with only the keys their verb
// takes, and answers them with `respond`. The window keeps `layerCount` and `scenes` up to date.
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

class ControlServer;

class ControlPort : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int layerCount MEMBER m_layerCount NOTIFY windowChanged)
    Q_PROPERTY(QStringList scenes MEMBER m_scenes NOTIFY windowChanged)

public:
    explicit ControlPort(ControlServer &server, QObject *parent = nullptr);

    // As the server's: the answer to the request being handled, and an event for subscribers.
    Q_INVOKABLE void respond(int connection, const QString &response);
    Q_INVOKABLE void broadcastEvent(const QString &event);

signals:
    // A request the window can carry out (see ControlVerbs::check).
    void request(int connection, const QString &peer, const QJsonObject &request);
    void trace(const QString &line);
    void windowChanged();

private:
    void take(int connection, const QString &peer, const QJsonObject &raw);

    ControlServer &m_server;
    int m_layerCount = 0;
    QStringList m_scenes;
};

#pragma once
// The window's side of the control port: every request the server takes is checked against the
// verbs (ControlVerbs) with the window's layers and scenes. A bad one is answered here, and so are
// "scenes" and "scene"; the window is handed only requests it can carry out, with only the keys
// their verb takes, and answers them with `respond`. The window keeps `layerCount` and `scenes`
// up to date, and hands over what "scene" reads when it is asked: its scene queues, its layers
// and its data directory.
#include <QJSValue>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class ControlServer;

class ControlPort : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int layerCount MEMBER m_layerCount NOTIFY windowChanged)
    Q_PROPERTY(QStringList scenes MEMBER m_scenes NOTIFY windowChanged)
    // the window's scene queues, the list itself (read as it is at each request): a scene's stored
    // DSK_Cue record (its dsk_data) and its own `triggers`
    Q_PROPERTY(QJSValue queues READ queues WRITE setQueues NOTIFY windowChanged)
    // the window's layers, a Repeater: each layer's `graphic` tells the scene whose template it
    // holds (scene, hasTemplate), that template's current data (fields) and its triggers
    Q_PROPERTY(QObject *renders READ renders WRITE setRenders NOTIFY windowChanged)
    // the folder of the scenes' containers: a path or a file: URL
    Q_PROPERTY(QString dataDirectory MEMBER m_dataDirectory NOTIFY windowChanged)

public:
    explicit ControlPort(ControlServer &server, QObject *parent = nullptr);

    QJSValue queues() const { return m_queues; }
    void setQueues(const QJSValue &queues) { m_queues = queues; }
    QObject *renders() const { return m_renders; }
    void setRenders(QObject *renders) { m_renders = renders; }

    // As the server's: the answer to the request being handled, and an event for subscribers. An
    // update that succeeded is followed by the event {"event": "data", "layer": L}.
    Q_INVOKABLE void respond(int connection, const QString &response);
    Q_INVOKABLE void broadcastEvent(const QString &event);

signals:
    // A request the window can carry out (see ControlVerbs::check).
    void request(int connection, const QString &peer, const QJsonObject &request);
    void trace(const QString &line);
    void windowChanged();

private:
    void take(int connection, const QString &peer, const QJsonObject &raw);
    // What "scene" answers: {"scene", "fields", "triggers"}, the fields as [{"name", "value"},
    // ...] and the triggers as [{"id", "title"}, ...]. The fields are those a Cue of the scene
    // takes (its stored dsk_data, else its container's template_params) in their own order, with
    // the current data of its template over them while it is loaded on `layer` (0: none). The
    // triggers are the scene queue's own, else those its template offers while loaded on `layer`.
    QJsonObject describe(const QString &scene, int layer) const;

    ControlServer &m_server;
    int m_layerCount = 0;
    QStringList m_scenes;
    QJSValue m_queues;
    QPointer<QObject> m_renders;
    QString m_dataDirectory;
    QJsonObject m_updating; // an update being carried out: its answer is followed by a "data" event
};

#pragma once
// The control port: automation, control surfaces and scripts drive the output over TCP, one JSON
// object per line in both directions; the web page's WebSockets are connections of the same kind
// (adopt). This class carries the lines and keeps the limits (line length, connections counted
// together, output waiting for a client, the token); what a request does is up to whoever
// handles `request` (ControlPort, for the output window), which answers with `respond` before it
// returns.
// Everything runs on the thread that owns the object, with Qt's asynchronous sockets: a slow,
// stalled or vanished client never makes that thread wait.
#include <QByteArray>
#include <QHostAddress>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QString>

#include <map>

class ControlTransport;
class QTcpServer;

struct QJsonParseError;

class ControlServer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int connectionCount READ connectionCount NOTIFY connectionCountChanged)
    Q_PROPERTY(int port READ port CONSTANT)

public:
    static constexpr int maxConnections = 16;
    static constexpr int maxLineBytes = 64 * 1024;         // a line, without its "\r\n"
    static constexpr qint64 maxBacklogBytes = 1024 * 1024; // output waiting for one client
    static constexpr int linesPerTurn = 8;                 // then the event loop runs (frames, other clients)

    explicit ControlServer(QObject *parent = nullptr);
    ~ControlServer() override;

    // With a token, a connection must say hello with it before anything else is done for it.
    void setToken(const QByteArray &token) { m_token = token; }
    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_error; }
    int port() const;
    int connectionCount() const { return int(m_connections.size()); }

    // A client that came another way than the TCP port: one more connection, under the same
    // limits. The server owns it from here; beyond the connection limit it is told so and closed.
    void adopt(ControlTransport *transport);

    // Equal texts, compared in a time that does not depend on where they differ.
    static bool sameToken(const QByteArray &given, const QByteArray &expected);

    // The answer to the request being handled on `connection`, as the JSON text of an object
    // (keys stay in their order); called from the `request` handler. The request's "id" goes in
    // front.
    Q_INVOKABLE void respond(int connection, const QString &response);
    // An event, as the JSON text of an object: a line of its own to every subscribed connection.
    Q_INVOKABLE void broadcastEvent(const QString &event);

signals:
    // A well-formed request of an authorised connection, other than hello and subscribe.
    void request(int connection, const QString &peer, const QJsonObject &request);
    // One line for the program's trace: every request with its peer (tokens hidden), connections
    // opened and closed.
    void trace(const QString &line);
    void connectionCountChanged();

private:
    struct Connection;

    void accept(bool settled);
    void closed(Connection *c);
    void drop(Connection *c, const QString &why);
    void scheduleTurn(Connection *c);
    void turn(Connection *c);
    bool nextLine(Connection *c, QByteArray &line, bool &tooLong);
    void handleLine(Connection *c, const QByteArray &line);
    void refuseLine(Connection *c, const QByteArray &line, const QJsonParseError &error);
    void hello(Connection *c, const QJsonObject &message);
    void answer(Connection *c, const QJsonValue &id, const QJsonObject &response);
    void fail(Connection *c, const QJsonValue &id, const QString &error);
    void write(Connection *c, const QByteArray &line);
    void flushAll();

    QTcpServer *m_server = nullptr;
    QByteArray m_token;
    QString m_error;
    int m_nextId = 1;
    bool m_settling = false; // a refusal waits for clients leaving in the same turn
    std::map<int, Connection *> m_connections;
};

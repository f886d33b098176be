#include "controlserver.h"

#include "controltransport.h"
#include "controlverbs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <vector>

namespace {

const int readChunk = 16 * 1024;
const int traceLength = 500;   // characters of a request shown in the trace
const int closeGraceMs = 5000; // a client told goodbye gets this long to take its last line

QByteArray valueText(const QJsonValue &v)
{
    // Qt writes only objects and arrays as documents: write the value inside an array
    const QByteArray a = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return a.mid(1, a.size() - 2);
}

// One line of the protocol: the keys of `first` that are present in that order, then the rest.
QByteArray lineOf(const QJsonObject &o, const QStringList &first)
{
    QByteArray out("{");
    auto add = [&](const QString &key) {
        if (out.size() > 1)
            out += ',';
        out += valueText(QJsonValue(key)) + ':' + valueText(o.value(key));
    };
    for (const QString &key : first)
        if (o.contains(key))
            add(key);
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!first.contains(it.key()))
            add(it.key());
    out += "}\n";
    return out;
}

QString shortened(const QString &text)
{
    return text.size() > traceLength ? text.left(traceLength) + QStringLiteral("...") : text;
}

// A client of the TCP port.
class TcpTransport : public ControlTransport
{
public:
    explicit TcpTransport(QTcpSocket *socket) : m_socket(socket)
    {
        socket->setParent(this);
        m_peer = socket->peerAddress().toString() + QLatin1Char(':') + QString::number(socket->peerPort());
        // Qt takes no more from the network than this while the lines wait: a client that
        // writes faster than the window works is held back by TCP itself
        socket->setReadBufferSize(4 * ControlServer::maxLineBytes);
        // an answer is one short line that the client waits for: no waiting for more to send
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, &ControlTransport::readyRead);
        connect(socket, &QTcpSocket::disconnected, this, &ControlTransport::disconnected);
    }
    QString peer() const override { return m_peer; }
    qint64 bytesAvailable() const override { return m_socket->bytesAvailable(); }
    // a socket that Qt has closed has nothing more to give
    QByteArray read(qint64 maxBytes) override { return m_socket->isOpen() ? m_socket->read(maxBytes) : QByteArray(); }
    void write(const QByteArray &line) override { m_socket->write(line); }
    qint64 bytesToWrite() const override { return m_socket->bytesToWrite(); }
    void flush() override { m_socket->flush(); }
    void close() override { m_socket->disconnectFromHost(); }
    void abort() override { m_socket->abort(); }

private:
    QTcpSocket *m_socket;
    QString m_peer;
};

} // namespace

struct ControlServer::Connection : public QObject
{
    using QObject::QObject;
    int id = 0;
    ControlTransport *transport = nullptr;
    QString peer;
    QByteArray buffer;     // what came in after the last whole line
    QJsonValue pendingId;  // "id" of the request the window is handling
    bool handling = false; // inside `request`: respond() answers it
    bool authorized = false;
    bool subscribed = false;
    bool skipping = false; // the rest of a line that was too long is thrown away
    bool closing = false;
    bool scheduled = false; // a turn is waiting in the event loop
    bool gone = false;      // the client has left: what it sent is still read, nothing is written
    int wrongTokens = 0;
};

ControlServer::ControlServer(QObject *parent) : QObject(parent) { }

ControlServer::~ControlServer()
{
    // connections are children: they go with the server
    m_connections.clear();
}

bool ControlServer::listen(const QHostAddress &address, quint16 port)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, [this] { accept(false); });
    }
    if (m_server->listen(address, port))
        return true;
    m_error = m_server->errorString();
    return false;
}

int ControlServer::port() const { return m_server ? m_server->serverPort() : 0; }

bool ControlServer::sameToken(const QByteArray &given, const QByteArray &expected)
{
    // every byte of the expected token is looked at, wherever the given text differs from it
    unsigned diff = unsigned(given.size() ^ expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const uchar g = i < given.size() ? uchar(given.at(i)) : 0;
        diff |= unsigned(g ^ uchar(expected.at(i)));
    }
    return diff == 0 && !expected.isEmpty();
}

// Takes the waiting clients while there is room. At the limit, the refusal waits for the rest of
// this turn of the event loop: clients that left just before this one came still hold their
// places until their ends are read, in this same turn but possibly after this.
void ControlServer::accept(bool settled)
{
    while (m_server->hasPendingConnections()) {
        if (int(m_connections.size()) >= maxConnections && !settled) {
            if (!m_settling) {
                m_settling = true;
                QTimer::singleShot(0, this, [this] {
                    m_settling = false;
                    accept(true);
                });
            }
            return;
        }
        adopt(new TcpTransport(m_server->nextPendingConnection()));
    }
}

void ControlServer::adopt(ControlTransport *transport)
{
    const QString peer = transport->peer();
    if (int(m_connections.size()) >= maxConnections) {
        emit trace(QStringLiteral("control %1 refused: %2 connections open").arg(peer).arg(maxConnections));
        transport->setParent(this);
        transport->write(lineOf({{"id", QJsonValue::Null}, {"ok", false}, {"error", "too many connections"}},
                                {"id", "ok", "error"}));
        transport->close();
        connect(transport, &ControlTransport::disconnected, transport, &QObject::deleteLater);
        QTimer::singleShot(closeGraceMs, transport, [transport] { transport->deleteLater(); });
        return;
    }
    auto *c = new Connection(this);
    c->id = m_nextId++;
    c->transport = transport;
    c->peer = peer;
    transport->setParent(c);
    connect(transport, &ControlTransport::readyRead, c, [this, c] {
        if (!c->scheduled)
            turn(c);
    });
    connect(transport, &ControlTransport::disconnected, c, [this, c] { closed(c); });
    m_connections[c->id] = c;
    emit trace(QStringLiteral("control %1 connected").arg(peer));
    emit connectionCountChanged();
    if (transport->bytesAvailable() > 0)
        scheduleTurn(c);
}

void ControlServer::closed(Connection *c)
{
    if (c->closing) {
        c->deleteLater();
        return;
    }
    // A script that writes its requests and leaves at once still has them carried out; the
    // answers go nowhere.
    c->gone = true;
    QByteArray line;
    bool tooLong = false;
    while (!c->closing && nextLine(c, line, tooLong))
        if (!tooLong)
            handleLine(c, line);
    drop(c, QStringLiteral("closed"));
}

// Ends a connection at once; what waited for it is thrown away.
void ControlServer::drop(Connection *c, const QString &why)
{
    if (c->closing)
        return;
    c->closing = true;
    m_connections.erase(c->id);
    emit trace(QStringLiteral("control %1 %2").arg(c->peer, why));
    emit connectionCountChanged();
    c->transport->abort();
    c->deleteLater();
}

void ControlServer::scheduleTurn(Connection *c)
{
    if (c->scheduled || c->closing)
        return;
    c->scheduled = true;
    QTimer::singleShot(0, c, [this, c] {
        c->scheduled = false;
        turn(c);
    });
}

// A few lines of one connection; the rest in a later turn, so that frames and other clients
// get their share of the thread.
void ControlServer::turn(Connection *c)
{
    int lines = 0;
    while (!c->closing && lines < linesPerTurn) {
        QByteArray line;
        bool tooLong = false;
        if (!nextLine(c, line, tooLong))
            return;
        ++lines;
        if (tooLong) {
            emit trace(QStringLiteral("control %1 line longer than %2 bytes dropped").arg(c->peer).arg(maxLineBytes));
            fail(c, QJsonValue::Null, QStringLiteral("line too long"));
            flushAll();
            continue;
        }
        handleLine(c, line);
        flushAll();
    }
    if (!c->closing)
        scheduleTurn(c);
}

// The next whole line, or false when the socket has no more for now. A line that grows past the
// limit is reported once (tooLong) as soon as that is certain, and skipped up to its end.
bool ControlServer::nextLine(Connection *c, QByteArray &line, bool &tooLong)
{
    for (;;) {
        const int nl = c->buffer.indexOf('\n');
        if (nl >= 0) {
            line = c->buffer.left(nl);
            c->buffer.remove(0, nl + 1);
            if (c->skipping) {
                c->skipping = false;
                continue;
            }
            if (line.endsWith('\r'))
                line.chop(1);
            // a blank line is no request: nothing answers it, as in other line protocols
            if (line.trimmed().isEmpty())
                continue;
            tooLong = line.size() > maxLineBytes;
            return true;
        }
        if (c->skipping) {
            c->buffer.clear();
        } else if (c->buffer.size() > maxLineBytes + 1) { // room for the limit and a "\r"
            c->buffer.clear();
            c->skipping = true;
            tooLong = true;
            return true;
        }
        const QByteArray more = c->transport->read(readChunk);
        if (more.isEmpty())
            return false;
        c->buffer += more;
    }
}

// A line that holds no JSON object: traced and answered without an id.
void ControlServer::refuseLine(Connection *c, const QByteArray &line, const QJsonParseError &error)
{
    // a broken hello may still hold a token: the trace stops before it
    const int token = line.indexOf("token");
    const QByteArray shown = token >= 0 ? line.left(token) + "token ***" : line;
    emit trace(QStringLiteral("control %1 %2").arg(c->peer, shortened(QString::fromUtf8(shown))));
    // Qt reads only objects and arrays as documents: a bare value is JSON all the same
    QJsonParseError inArray;
    const bool json = error.error == QJsonParseError::NoError
                      || QJsonDocument::fromJson("[" + line + "]", &inArray).array().size() == 1;
    fail(c, QJsonValue::Null, json ? QStringLiteral("not an object") : QStringLiteral("not JSON"));
}

void ControlServer::handleLine(Connection *c, const QByteArray &line)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        refuseLine(c, line, error);
        return;
    }
    const QJsonObject message = doc.object();
    QJsonValue id = message.value(QLatin1String("id"));
    if (id.isUndefined())
        id = QJsonValue::Null;

    // the trace never shows a token
    QJsonObject shown = message;
    if (shown.contains(QLatin1String("token")))
        shown.insert(QStringLiteral("token"), QStringLiteral("***"));
    emit trace(QStringLiteral("control %1 %2")
                   .arg(c->peer, shortened(QString::fromUtf8(lineOf(shown, {"id", "do"}).trimmed()))));

    const QJsonValue what = message.value(QLatin1String("do"));
    if (what == QJsonValue(QStringLiteral("hello"))) {
        hello(c, message);
        return;
    }
    if (!m_token.isEmpty() && !c->authorized) {
        fail(c, id, QStringLiteral("unauthorized"));
        return;
    }
    if (what.isUndefined()) {
        fail(c, id, QStringLiteral("missing do"));
        return;
    }
    const std::optional<ControlVerbs::Side> side = ControlVerbs::sideOf(what);
    if (!side) {
        fail(c, id, QStringLiteral("unknown do"));
        return;
    }
    if (*side == ControlVerbs::Side::Connection) { // subscribe: hello is done above
        c->subscribed = true;
        answer(c, id, {{"ok", true}});
        return;
    }
    c->pendingId = id;
    c->handling = true;
    emit request(c->id, c->peer, message);
    const bool answered = !c->handling;
    c->handling = false;
    if (!answered && !c->closing)
        fail(c, id, QStringLiteral("not handled"));
}

void ControlServer::hello(Connection *c, const QJsonObject &message)
{
    QJsonValue id = message.value(QLatin1String("id"));
    if (id.isUndefined())
        id = QJsonValue::Null;
    const QJsonValue token = message.value(QLatin1String("token"));
    if (m_token.isEmpty() || (token.isString() && sameToken(token.toString().toUtf8(), m_token))) {
        c->authorized = true;
        answer(c, id, {{"ok", true}});
        return;
    }
    ++c->wrongTokens;
    fail(c, id, QStringLiteral("unauthorized"));
    if (c->wrongTokens < 3 || c->closing)
        return;
    // the last answer still goes out; then the connection ends
    c->closing = true;
    m_connections.erase(c->id);
    emit trace(QStringLiteral("control %1 closed after three wrong tokens").arg(c->peer));
    emit connectionCountChanged();
    c->transport->close();
    QTimer::singleShot(closeGraceMs, c, [c] { c->deleteLater(); });
}

// One line from the text of a JSON object, or nothing when it is not one.
static QByteArray objectLine(const QString &text)
{
    const QByteArray utf8 = text.toUtf8().trimmed();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return QByteArray();
    // indented text would end the line early: only then is it written again, without its order
    return utf8.contains('\n') ? doc.toJson(QJsonDocument::Compact) : utf8;
}

void ControlServer::respond(int connection, const QString &response)
{
    const auto it = m_connections.find(connection);
    if (it == m_connections.end() || !it->second->handling)
        return; // gone meanwhile, or no request of its own waiting for an answer
    Connection *c = it->second;
    const QByteArray line = objectLine(response);
    if (line.isEmpty()) {
        qWarning("ControlServer: the answer is not a JSON object: %s", qPrintable(shortened(response)));
        return; // handleLine answers "not handled"
    }
    c->handling = false;
    const QByteArray rest = line.mid(1).trimmed();
    write(c, "{\"id\":" + valueText(c->pendingId) + (rest == "}" ? "" : ",") + rest + '\n');
}

void ControlServer::broadcastEvent(const QString &event)
{
    const QByteArray line = objectLine(event);
    if (line.isEmpty()) {
        qWarning("ControlServer: the event is not a JSON object: %s", qPrintable(shortened(event)));
        return;
    }
    // a write may end a connection: walk a copy
    std::vector<Connection *> subscribed;
    for (const auto &entry : m_connections)
        if (entry.second->subscribed)
            subscribed.push_back(entry.second);
    for (Connection *c : subscribed)
        write(c, line + '\n');
}

void ControlServer::answer(Connection *c, const QJsonValue &id, const QJsonObject &response)
{
    QJsonObject withId = response;
    withId.insert(QStringLiteral("id"), id);
    write(c, lineOf(withId, {"id", "ok", "error"}));
}

void ControlServer::fail(Connection *c, const QJsonValue &id, const QString &error)
{
    answer(c, id, {{"ok", false}, {"error", error}});
}

// The answer and the events of a request leave at once, not after the window's next frame.
void ControlServer::flushAll()
{
    // a flush may find a client gone and end its connection: walk a copy
    std::vector<Connection *> waiting;
    for (const auto &entry : m_connections)
        if (entry.second->transport->bytesToWrite() > 0)
            waiting.push_back(entry.second);
    for (Connection *c : waiting)
        if (!c->closing && !c->gone)
            c->transport->flush();
}

void ControlServer::write(Connection *c, const QByteArray &line)
{
    if (c->closing || c->gone)
        return;
    c->transport->write(line);
    if (c->transport->bytesToWrite() > maxBacklogBytes)
        drop(c, QStringLiteral("disconnected: more than 1 MiB of output waiting"));
}

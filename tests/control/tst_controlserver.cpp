// The control port's server on its own: real sockets on loopback, with a stand-in for the window
// that answers every request it is given. Lines, ids and order, bad lines with the connection
// still usable, the line limit, tokens, the connection limit and a client that never reads.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <vector>

#include "controlserver.h"
#include "lineclient.h"

namespace {

QJsonObject error(const QJsonValue &id, const QString &text) { return {{"id", id}, {"ok", false}, {"error", text}}; }

} // namespace

class TestControlServer : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ControlServer> m_server;
    std::vector<QJsonObject> m_requests; // what the window was given
    QStringList m_traces;
    bool m_windowAnswers = true;

    quint16 start(const QByteArray &token = QByteArray())
    {
        m_server = std::make_unique<ControlServer>();
        m_server->setToken(token);
        m_requests.clear();
        m_traces.clear();
        m_windowAnswers = true;
        connect(m_server.get(), &ControlServer::trace, this, [this](const QString &line) { m_traces << line; });
        connect(m_server.get(), &ControlServer::request, this,
                [this](int connection, const QString &peer, const QJsonObject &request) {
                    m_requests.push_back(request);
                    if (!peer.startsWith("127.0.0.1:"))
                        m_server->respond(connection, QStringLiteral("{\"ok\": false, \"error\": \"peer\"}"));
                    else if (m_windowAnswers)
                        m_server->respond(
                            connection,
                            QStringLiteral("{\"ok\": true, \"did\": %1}")
                                .arg(QString::fromUtf8(
                                    QJsonDocument(QJsonArray{request.value("do")}).toJson(QJsonDocument::Compact))));
                });
        if (!m_server->listen(QHostAddress::LocalHost, 0))
            return 0;
        return quint16(m_server->port());
    }

private slots:
    void cleanup() { m_server.reset(); }

    void linesIdsAndOrder()
    {
        const quint16 port = start();
        QVERIFY(port);
        LineClient c(port);
        QVERIFY(c.connected());

        // several requests in one write, one split over two writes, CR LF endings: answered in order
        c.send("{\"do\":\"hello\",\"id\":1}\r\n{\"do\":\"state\",\"id\":\"two\"}\n{\"do\":\"pla");
        QCOMPARE(c.object(), QJsonObject({{"id", 1}, {"ok", true}}));
        QCOMPARE(c.object(), QJsonObject({{"id", "two"}, {"ok", true}, {"did", QJsonArray{"state"}}}));
        c.send("y\",\"id\":{\"a\":[1,2]},\"layer\":3}\n");
        QCOMPARE(
            c.object(),
            QJsonObject({{"id", QJsonObject{{"a", QJsonArray{1, 2}}}}, {"ok", true}, {"did", QJsonArray{"play"}}}));
        // the window got the request whole
        QCOMPARE(int(m_requests.size()), 2);
        QCOMPARE(m_requests.back().value("layer").toInt(), 3);

        // each bad line gets its answer and changes nothing; the next request is served
        const std::vector<std::pair<QByteArray, QJsonObject>> bad = {
            {"nonsense", error(QJsonValue::Null, "not JSON")},
            {"{\"do\":", error(QJsonValue::Null, "not JSON")},
            {"[1,2]", error(QJsonValue::Null, "not an object")},
            {"42", error(QJsonValue::Null, "not an object")},
            {"\"play\"", error(QJsonValue::Null, "not an object")},
            {"1,2", error(QJsonValue::Null, "not JSON")},
            {"{\"id\":7}", error(7, "missing do")},
            {"{\"id\":8,\"do\":\"dance\"}", error(8, "unknown do")},
            {"{\"id\":9,\"do\":5}", error(9, "unknown do")},
        };
        for (const auto &entry : bad) {
            const QJsonObject answer = c.ask(entry.first);
            QVERIFY2(answer == entry.second,
                     entry.first + " -> " + QJsonDocument(answer).toJson(QJsonDocument::Compact));
            QCOMPARE(c.ask("{\"do\":\"scenes\",\"id\":0}"),
                     QJsonObject({{"id", 0}, {"ok", true}, {"did", QJsonArray{"scenes"}}}));
        }
        QCOMPARE(int(m_requests.size()), 2 + int(bad.size()));
        // blank lines are no requests: the next answer is that of the next request
        c.send("\n\r\n \t\n");
        QCOMPARE(c.ask("{\"do\":\"scenes\",\"id\":0}").value("did"), QJsonArray{"scenes"});

        // a window that does not answer, or answers with something that is not an object
        m_windowAnswers = false;
        QCOMPARE(c.ask("{\"do\":\"stop\",\"id\":3}"), error(3, "not handled"));
        m_windowAnswers = true;
        QCOMPARE(c.ask("{\"do\":\"stop\"}"),
                 QJsonObject({{"id", QJsonValue::Null}, {"ok", true}, {"did", QJsonArray{"stop"}}}));

        // every request is traced with its peer
        QVERIFY(
            m_traces.filter(QRegularExpression("^control 127\\.0\\.0\\.1:\\d+ \\{\"id\":8,\"do\":\"dance\"\\}$")).size()
            == 1);
        QVERIFY(m_traces.filter(QRegularExpression("^control 127\\.0\\.0\\.1:\\d+ nonsense$")).size() == 1);
    }

    // A script that writes many requests and leaves at once: every one is still carried out.
    void requestsOfAClientThatLeft()
    {
        const quint16 port = start();
        LineClient c(port);
        QVERIFY(c.connected());
        QByteArray lines;
        for (int i = 0; i < 3 * ControlServer::linesPerTurn; ++i)
            lines += "{\"do\":\"play\",\"layer\":" + QByteArray::number(i) + "}\n";
        c.send(lines);
        c.socket.flush();
        c.socket.disconnectFromHost();
        QTRY_COMPARE(m_traces.filter(QRegularExpression(" closed$")).size(), 1);
        QCOMPARE(m_server->connectionCount(), 0);
        QCOMPARE(int(m_requests.size()), 3 * ControlServer::linesPerTurn);
        QCOMPARE(m_requests.back().value("layer").toInt(), 3 * ControlServer::linesPerTurn - 1);
    }

    void eventsGoToSubscribersOnly()
    {
        const quint16 port = start();
        LineClient listener(port), quiet(port);
        QVERIFY(listener.connected() && quiet.connected());
        QCOMPARE(listener.ask("{\"do\":\"subscribe\",\"id\":1}"), QJsonObject({{"id", 1}, {"ok", true}}));
        QCOMPARE(quiet.ask("{\"do\":\"hello\"}"), QJsonObject({{"id", QJsonValue::Null}, {"ok", true}}));
        m_server->broadcastEvent(QStringLiteral("{\"event\":\"tally\",\"layer\":2,\"onAir\":true}"));
        m_server->broadcastEvent(QStringLiteral("not an event"));
        m_server->broadcastEvent(QStringLiteral("{\n  \"event\": \"problem\",\n  \"number\": 1\n}"));
        // keys as the window wrote them, one line each
        QCOMPARE(listener.line(), QByteArray("{\"event\":\"tally\",\"layer\":2,\"onAir\":true}"));
        QCOMPARE(listener.object(), QJsonObject({{"event", "problem"}, {"number", 1}}));
        QCOMPARE(quiet.ask("{\"do\":\"state\",\"id\":2}").value("id").toInt(), 2);
        QCOMPARE(quiet.socket.bytesAvailable(), 0);
    }

    void lineLimit()
    {
        const quint16 port = start();
        LineClient c(port);
        QVERIFY(c.connected());
        // exactly 64 KiB (and its CR) is a line; one byte more is not
        const QByteArray empty = "{\"do\":\"state\",\"id\":5,\"pad\":\"\"}";
        auto padded = [empty](int size) {
            QByteArray line = empty;
            line.insert(line.size() - 2, QByteArray(size - line.size(), 'x'));
            return line;
        };
        QCOMPARE(padded(ControlServer::maxLineBytes).size(), 65536);
        c.send(padded(ControlServer::maxLineBytes) + "\r\n");
        QCOMPARE(c.object().value("id").toInt(), 5);
        QCOMPARE(m_requests.back().value("pad").toString().size(), 65536 - empty.size());

        // too long: answered once with id null, dropped, also when it comes in pieces
        const QByteArray tooLong = padded(ControlServer::maxLineBytes + 1);
        c.send(tooLong + "\n");
        QCOMPARE(c.object(), error(QJsonValue::Null, "line too long"));
        for (int at = 0; at < tooLong.size(); at += 1000) {
            c.send(tooLong.mid(at, 1000));
            QTest::qWait(1);
        }
        c.send("\n{\"do\":\"scenes\",\"id\":6}\n");
        QCOMPARE(c.object(), error(QJsonValue::Null, "line too long"));
        QCOMPARE(c.object().value("id").toInt(), 6);
        // a megabyte without an end of line
        c.send(QByteArray(1024 * 1024, 'y'));
        c.send("\n{\"do\":\"scenes\",\"id\":7}\n");
        QCOMPARE(c.object(), error(QJsonValue::Null, "line too long"));
        QCOMPARE(c.object().value("id").toInt(), 7);
        QCOMPARE(int(m_requests.size()), 3);
    }

    void tokens()
    {
        QVERIFY(ControlServer::sameToken("s3cret", "s3cret"));
        QVERIFY(!ControlServer::sameToken("s3creT", "s3cret"));
        QVERIFY(!ControlServer::sameToken("s3cre", "s3cret"));
        QVERIFY(!ControlServer::sameToken("s3crets", "s3cret"));
        QVERIFY(!ControlServer::sameToken("", ""));
        QVERIFY(!ControlServer::sameToken(QByteArray("s3cret\0", 7), "s3cret"));

        const quint16 port = start("s3cret");
        LineClient c(port);
        QVERIFY(c.connected());
        QCOMPARE(c.ask("{\"do\":\"state\",\"id\":1}"), error(1, "unauthorized"));
        QCOMPARE(c.ask("{\"do\":\"subscribe\",\"id\":2}"), error(2, "unauthorized"));
        QCOMPARE(c.ask("{\"do\":\"dance\",\"id\":3}"), error(3, "unauthorized"));
        QCOMPARE(c.ask("{\"do\":\"hello\",\"id\":4}"), error(4, "unauthorized"));
        QCOMPARE(c.ask("{\"do\":\"hello\",\"id\":5,\"token\":\"S3CRET\"}"), error(5, "unauthorized"));
        // a hello that is no JSON object is no hello
        QCOMPARE(c.ask("{\"do\":\"hello\",\"token\":\"s3cret\""), error(QJsonValue::Null, "not JSON"));
        QCOMPARE(c.ask("{\"do\":\"state\",\"id\":1}"), error(1, "unauthorized"));
        QCOMPARE(c.ask("{\"do\":\"hello\",\"id\":6,\"token\":\"s3cret\"}"), QJsonObject({{"id", 6}, {"ok", true}}));
        QCOMPARE(c.ask("{\"do\":\"state\",\"id\":7}").value("ok").toBool(), true);
        QCOMPARE(int(m_requests.size()), 1);

        // the third wrong token ends the connection, after its answer
        LineClient guesser(port);
        QVERIFY(guesser.connected());
        QCOMPARE(guesser.ask("{\"do\":\"hello\",\"token\":\"a\"}"), error(QJsonValue::Null, "unauthorized"));
        QCOMPARE(guesser.ask("{\"do\":\"hello\",\"token\":7}"), error(QJsonValue::Null, "unauthorized"));
        QCOMPARE(guesser.ask("{\"do\":\"hello\",\"token\":\"c\"}"), error(QJsonValue::Null, "unauthorized"));
        QVERIFY(guesser.closedByServer());
        QCOMPARE(m_server->connectionCount(), 1);

        // the trace shows who asked, never the token
        QVERIFY(!m_traces.filter("s3cret").size());
        QCOMPARE(m_traces.filter("\"token\":\"***\"").size(), 5);
        QCOMPARE(
            m_traces.filter(QRegularExpression("^control 127\\.0\\.0\\.1:\\d+ \\{\"do\":\"hello\",\"token \\*\\*\\*$"))
                .size(),
            1);
        QVERIFY(m_traces.filter("closed after three wrong tokens").size() == 1);
    }

    void connectionLimit()
    {
        const quint16 port = start();
        std::vector<std::unique_ptr<LineClient>> clients;
        for (int i = 0; i < ControlServer::maxConnections; ++i) {
            clients.push_back(std::make_unique<LineClient>(port));
            QVERIFY(clients.back()->connected());
            QCOMPARE(clients.back()->ask("{\"do\":\"hello\"}").value("ok").toBool(), true);
        }
        QCOMPARE(m_server->connectionCount(), 16);
        LineClient seventeenth(port);
        QVERIFY(seventeenth.connected());
        QCOMPARE(seventeenth.object(), error(QJsonValue::Null, "too many connections"));
        QVERIFY(seventeenth.closedByServer());
        QCOMPARE(m_server->connectionCount(), 16);

        // one leaves: the next is served
        clients.front()->socket.disconnectFromHost();
        QTRY_COMPARE(m_server->connectionCount(), 15);
        LineClient next(port);
        QVERIFY(next.connected());
        QCOMPARE(next.ask("{\"do\":\"hello\",\"id\":1}"), QJsonObject({{"id", 1}, {"ok", true}}));
        clients.erase(clients.begin());
        for (auto &c : clients)
            QCOMPARE(c->ask("{\"do\":\"state\"}").value("ok").toBool(), true);
    }

    // Clients that leave free their places at once: a client coming right after them is served.
    void placesFreedAtOnce()
    {
        const quint16 port = start();
        for (int round = 0; round < 5; ++round) {
            std::vector<std::unique_ptr<LineClient>> clients;
            for (int i = 0; i < ControlServer::maxConnections; ++i) {
                clients.push_back(std::make_unique<LineClient>(port));
                QVERIFY(clients.back()->connected());
                QCOMPARE(clients.back()->ask("{\"do\":\"hello\"}").value("ok").toBool(), true);
            }
            clients.clear();
            LineClient next(port);
            QVERIFY(next.connected());
            QCOMPARE(next.ask("{\"do\":\"hello\",\"id\":1}"), QJsonObject({{"id", 1}, {"ok", true}}));
        }
    }

    void clientThatNeverReads()
    {
        const quint16 port = start();
        LineClient stalled(port, 4096), working(port);
        QVERIFY(stalled.connected() && working.connected());
        QCOMPARE(stalled.ask("{\"do\":\"subscribe\"}").value("ok").toBool(), true);
        QCOMPARE(working.ask("{\"do\":\"subscribe\"}").value("ok").toBool(), true);

        // events keep coming; the working client reads them and keeps being answered
        const QString event = QStringLiteral("{\"event\":\"reply\",\"text\":\"%1\"}").arg(QString(8000, 'r'));
        int sent = 0;
        for (; sent < 4000 && m_server->connectionCount() == 2; ++sent) {
            m_server->broadcastEvent(event);
            QCOMPARE(working.line().size(), event.size());
            if (sent % 50 == 0) {
                working.send("{\"do\":\"state\",\"id\":1}\n");
                QCOMPARE(working.object().value("ok").toBool(), true);
            }
        }
        // dropped once a megabyte waited for it, well before everything sent went anywhere
        QCOMPARE(m_server->connectionCount(), 1);
        QVERIFY2(qint64(sent) * event.size() > ControlServer::maxBacklogBytes, qPrintable(QString::number(sent)));
        QVERIFY(m_traces.filter("disconnected: more than 1 MiB of output waiting").size() == 1);
        QCOMPARE(working.ask("{\"do\":\"state\",\"id\":2}").value("id").toInt(), 2);
    }
};

QTEST_MAIN(TestControlServer)

#include "tst_controlserver.moc"

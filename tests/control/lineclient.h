#pragma once
// A control port client as a script would be: it writes request lines and reads answer and event
// lines, waiting in the event loop (never blocking it), so the server may run in the same thread.
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QtTest>

#include <vector>

struct LineClient
{
    QTcpSocket socket;
    std::vector<QJsonObject> events; // event lines read while waiting for answers, in order

    // A read buffer above 0 makes Qt stop taking data from the network once it holds that much,
    // as a client that never reads.
    explicit LineClient(quint16 port, qint64 readBuffer = 0)
    {
        socket.setReadBufferSize(readBuffer);
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    bool connected() { return socket.state() == QAbstractSocket::ConnectedState || socket.waitForConnected(5000); }
    void send(const QByteArray &text) { socket.write(text); }

    // The next line, without its end; empty after 20 s or when the server has closed.
    QByteArray line()
    {
        QElapsedTimer waited;
        waited.start();
        while (!socket.canReadLine() && waited.elapsed() < 20000 && socket.state() == QAbstractSocket::ConnectedState)
            QTest::qWait(1);
        return socket.canReadLine() ? socket.readLine().trimmed() : QByteArray();
    }
    QJsonObject object() { return QJsonDocument::fromJson(line()).object(); }

    // The next line that is no event; events met on the way are kept in `events`.
    QJsonObject answer()
    {
        for (;;) {
            const QByteArray text = line();
            if (text.isEmpty())
                return QJsonObject();
            const QJsonObject o = QJsonDocument::fromJson(text).object();
            if (!o.contains(QLatin1String("event")))
                return o;
            events.push_back(o);
        }
    }
    QJsonObject ask(const QByteArray &request)
    {
        send(request + "\n");
        return answer();
    }

    // The first kept or coming event for which `match` holds (taken out of `events`), or an
    // empty object after 20 s.
    template <typename Match> QJsonObject event(Match match)
    {
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            for (auto it = events.begin(); it != events.end(); ++it) {
                if (match(*it)) {
                    const QJsonObject found = *it;
                    events.erase(it);
                    return found;
                }
            }
            if (waited.elapsed() > 20000 || socket.state() != QAbstractSocket::ConnectedState)
                return QJsonObject();
            const QByteArray text = line();
            if (!text.isEmpty())
                events.push_back(QJsonDocument::fromJson(text).object());
        }
    }

    bool closedByServer()
    {
        QElapsedTimer waited;
        waited.start();
        while (socket.state() == QAbstractSocket::ConnectedState && waited.elapsed() < 20000)
            QTest::qWait(2);
        return socket.state() != QAbstractSocket::ConnectedState;
    }
};

#pragma once
// The web page of the output: its files over HTTP and, on the same port, WebSockets that are
// connections of the control port (same requests, answers, events, limits and token). The HTTP
// requests are read by Boost.Beast's parser; the WebSocket handshake and frames are Qt
// WebSockets'. Everything runs on the thread that owns the object, with Qt's asynchronous
// sockets: a slow or vanished browser never makes that thread wait.
#include "pagefiles.h"
#include "programoutput.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QHostAddress>
#include <QObject>
#include <QPointer>

class ControlServer;
class QTcpServer;
class QTcpSocket;
class QTimer;
class QWebSocketServer;

class WebServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxHeaderBytes = 16 * 1024;    // request line and headers
    static constexpr int maxHttpConnections = 64;       // besides the control connections
    static constexpr int requestTimeoutMs = 10000;      // for a whole request to arrive
    static constexpr qint64 maxFileBytes = 4 << 20;     // the page's files are small
    static constexpr qint64 maxBacklogBytes = 16 << 20; // answers waiting for one browser
    static constexpr int pictureWidth = 480;            // the program picture, in pixels
    static constexpr int pictureMaxAgeMs = 200;         // a picture is made again after this
    static constexpr int viewingTimeoutMs = 5000;       // no picture asked for: the copies stop

    // `page`: the folder of the page's files. WebSockets become connections of `control`.
    WebServer(ControlServer *control, const QString &page, QObject *parent = nullptr);
    ~WebServer() override;

    // The program output whose frames the page shows (/program.jpg); without one, 404.
    void setProgramOutput(ProgramOutput *output) { m_output = output; }
    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_error; }
    int port() const;

    // The folder beside the program (or in its build tree) that holds the page's files.
    static QString installedPage();

private:
    class Client;

    void accept();
    void readRequest(Client *client);
    void answer(Client *client, int status, const QByteArray &type, const QByteArray &body, bool head, bool keepAlive);
    void refuse(Client *client, int status, const QString &why);
    QByteArray picture();
    void adoptWebSocket();

    ControlServer *m_control;
    PageFiles m_files;
    QTcpServer *m_server = nullptr;
    QWebSocketServer *m_webSockets = nullptr;
    QString m_error;
    int m_clients = 0;
    QPointer<ProgramOutput> m_output;
    QByteArray m_picture;
    QElapsedTimer m_pictureAge;
    QFutureWatcher<QByteArray> m_making;
    QTimer *m_viewing = nullptr; // runs while the page has made the output copy its frames
    bool m_loopback = true;      // listening on this machine alone (no token)
};

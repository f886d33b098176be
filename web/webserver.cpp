#include "webserver.h"

#include "controlserver.h"
#include "programoutput.h"
#include "websockettransport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>
#include <QWebSocketServer>
#include <QtConcurrent>
#include <QtDebug>

#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/websocket/rfc6455.hpp>

#include <sstream>

namespace http = boost::beast::http;

namespace {

// the address of the page's WebSocket; the program picture's
const char controlTarget[] = "/control";
const char pictureTarget[] = "/program.jpg";

QString text(boost::beast::string_view view) { return QString::fromUtf8(view.data(), int(view.size())); }

// The host of a Host header or an Origin's authority, without the port, lower case.
QString hostOf(const QString &authority)
{
    const QUrl url(QStringLiteral("http://") + authority);
    return url.isValid() ? url.host().toLower() : QString();
}

bool loopbackName(const QString &host) { return host == QLatin1String("localhost") || QHostAddress(host).isLoopback(); }

} // namespace

// One browser connection while it speaks HTTP; a WebSocket leaves it at the upgrade.
class WebServer::Client : public QObject
{
public:
    using QObject::QObject;
    QTcpSocket *socket = nullptr;
    QString peer;
    QTimer timeout;
    bool closing = false;
};

WebServer::WebServer(ControlServer *control, const QString &page, QObject *parent)
    : QObject(parent), m_control(control), m_files(page)
{
    m_webSockets = new QWebSocketServer(QStringLiteral("Orvane"), QWebSocketServer::NonSecureMode, this);
    m_webSockets->setHandshakeTimeout(requestTimeoutMs);
    connect(m_webSockets, &QWebSocketServer::newConnection, this, &WebServer::adoptWebSocket);
    m_viewing = new QTimer(this);
    m_viewing->setSingleShot(true);
    m_viewing->setInterval(viewingTimeoutMs);
    connect(&m_making, &QFutureWatcher<QByteArray>::finished, this, [this] { m_picture = m_making.result(); });
    connect(m_viewing, &QTimer::timeout, this, [this] {
        if (m_output)
            m_output->setViewed(false);
    });
}

WebServer::~WebServer()
{
    m_making.waitForFinished();
    if (m_viewing->isActive() && m_output)
        m_output->setViewed(false);
}

QString WebServer::installedPage() { return QCoreApplication::applicationDirPath() + QStringLiteral("/web"); }

bool WebServer::listen(const QHostAddress &address, quint16 port)
{
    if (m_files.folder().isEmpty()) {
        m_error = QStringLiteral("the page's files are missing");
        return false;
    }
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &WebServer::accept);
    }
    m_loopback = address.isLoopback();
    if (m_server->listen(address, port))
        return true;
    m_error = m_server->errorString();
    return false;
}

int WebServer::port() const { return m_server ? m_server->serverPort() : 0; }

void WebServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        if (m_clients >= maxHttpConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto *client = new Client(this);
        ++m_clients;
        client->socket = socket;
        client->peer = socket->peerAddress().toString() + QLatin1Char(':') + QString::number(socket->peerPort());
        socket->setParent(client);
        socket->setReadBufferSize(maxHeaderBytes + 1);
        client->timeout.setSingleShot(true);
        client->timeout.start(requestTimeoutMs);
        connect(&client->timeout, &QTimer::timeout, client, [this, client] {
            if (client->socket->bytesAvailable() > 0) {
                refuse(client, 408, QStringLiteral("request not complete in time"));
            } else if (!client->closing) { // an idle connection kept alive: closed quietly
                client->closing = true;
                --m_clients;
                client->socket->disconnectFromHost();
            }
        });
        connect(socket, &QTcpSocket::readyRead, client, [this, client] { readRequest(client); });
        connect(socket, &QTcpSocket::disconnected, client, [this, client] {
            if (!client->closing)
                --m_clients;
            client->closing = true;
            client->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            readRequest(client);
    }
}

// A request whose header has arrived whole: answered, or handed over as a WebSocket.
void WebServer::readRequest(Client *client)
{
    if (client->closing)
        return;
    QTcpSocket *socket = client->socket;
    const QByteArray data = socket->peek(maxHeaderBytes + 1);
    http::request_parser<http::empty_body> parser;
    parser.header_limit(maxHeaderBytes);
    parser.eager(false);
    boost::system::error_code error;
    const std::size_t used = parser.put(boost::asio::buffer(data.constData(), std::size_t(data.size())), error);
    if (error == http::error::need_more && data.size() <= maxHeaderBytes)
        return; // the rest of the header is still on its way
    if (error == http::error::header_limit || error == http::error::need_more) {
        refuse(client, 431, QStringLiteral("header longer than %1 bytes").arg(maxHeaderBytes));
        return;
    }
    if (error || !parser.is_header_done()) {
        refuse(client, 400, QStringLiteral("malformed request: %1").arg(QString::fromStdString(error.message())));
        return;
    }
    const auto &request = parser.get();
    const QByteArray target(request.target().data(), int(request.target().size()));
    // Another site's page in the operator's browser must not reach the output: without a token
    // (loopback only) the browser must have asked for this machine by its own name, and a
    // WebSocket must come from the page itself.
    const QString host = hostOf(text(request[http::field::host]));
    if (m_loopback && !loopbackName(host)) {
        refuse(client, 403, QStringLiteral("host %1 is not this machine").arg(host));
        return;
    }
    if (!parser.is_done()) {
        refuse(client, 400, QStringLiteral("a request with a body"));
        return;
    }
    if (boost::beast::websocket::is_upgrade(request)) {
        const QString origin = text(request[http::field::origin]);
        if (target != controlTarget
            || (!origin.isEmpty()
                && QUrl(origin).authority().toLower() != text(request[http::field::host]).toLower())) {
            refuse(client, 403,
                   QStringLiteral("WebSocket to %1 from %2 refused").arg(QString::fromUtf8(target), origin));
            return;
        }
        // Qt WebSockets reads the handshake again from the socket, which still holds it
        client->closing = true;
        --m_clients;
        disconnect(socket, nullptr, client, nullptr);
        socket->setParent(nullptr);
        // a frame is read once it is all there: the message limit keeps the memory in bounds
        socket->setReadBufferSize(0);
        client->deleteLater();
        m_webSockets->handleConnection(socket);
        return;
    }
    socket->read(qint64(used));
    const bool head = request.method() == http::verb::head;
    const bool keepAlive = request.keep_alive();
    if (request.method() != http::verb::get && !head) {
        refuse(client, 405, QStringLiteral("method %1").arg(text(request.method_string())));
        return;
    }
    if (target == pictureTarget || target.startsWith(QByteArray(pictureTarget) + '?')) {
        const QByteArray jpeg = picture();
        if (jpeg.isEmpty())
            answer(client, 404, "text/plain; charset=utf-8", "no program picture\n", head, keepAlive);
        else
            answer(client, 200, "image/jpeg", jpeg, head, keepAlive);
    } else {
        const QString path = m_files.resolve(target);
        QFile file(path);
        if (path.isEmpty() || file.size() > maxFileBytes || !file.open(QIODevice::ReadOnly)) {
            qInfo().noquote() << "web" << client->peer << "404" << QString::fromUtf8(target.left(200));
            answer(client, 404, "text/plain; charset=utf-8", "not found\n", head, keepAlive);
        } else {
            answer(client, 200, PageFiles::contentType(path), file.readAll(), head, keepAlive);
        }
    }
    if (client->closing)
        return;
    client->timeout.start(requestTimeoutMs);
    if (socket->bytesAvailable() > 0)
        QTimer::singleShot(0, client, [this, client] { readRequest(client); });
}

void WebServer::answer(Client *client, int status, const QByteArray &type, const QByteArray &body, bool head,
                       bool keepAlive)
{
    http::response<http::empty_body> response{http::int_to_status(unsigned(status)), 11};
    response.set(http::field::server, "Orvane");
    response.set(http::field::content_type, boost::beast::string_view(type.constData(), std::size_t(type.size())));
    response.set(http::field::cache_control, "no-store");
    // the page talks only to its own output, and no other site may frame it
    response.set("Content-Security-Policy",
                 "default-src 'self'; connect-src 'self'; img-src 'self'; frame-ancestors 'none'");
    response.set("X-Content-Type-Options", "nosniff");
    response.set("X-Frame-Options", "DENY");
    response.set("Referrer-Policy", "no-referrer");
    response.content_length(std::uint64_t(body.size()));
    response.keep_alive(keepAlive);
    std::ostringstream header;
    header << response.base();
    client->socket->write(QByteArray::fromStdString(header.str()));
    if (!head)
        client->socket->write(body);
    if (client->socket->bytesToWrite() > maxBacklogBytes) {
        // asks on and on without reading the answers
        qInfo().noquote() << "web" << client->peer << "disconnected: answers not read";
        client->closing = true;
        --m_clients;
        client->socket->abort();
        client->deleteLater();
        return;
    }
    if (!keepAlive) {
        client->closing = true;
        --m_clients;
        client->timeout.stop();
        client->socket->disconnectFromHost();
        QTimer::singleShot(requestTimeoutMs, client, [client] { client->deleteLater(); });
    }
}

// A request that cannot be answered: told why (when it can be) and the connection ends.
void WebServer::refuse(Client *client, int status, const QString &why)
{
    if (client->closing)
        return;
    qInfo().noquote() << "web" << client->peer << status << why;
    answer(client, status, "text/plain; charset=utf-8", why.toUtf8() + '\n', false, false);
}

// The program frame scaled down, as JPEG, made on a worker thread.
static QByteArray jpegOf(const QImage &frame)
{
    QImage image = frame;
    if (image.isNull()) {
        image = QImage(16, 9, QImage::Format_RGB32); // before the first frame: black
        image.fill(Qt::black);
    }
    // transparent areas show black, as in the feed windows
    const QImage small =
        image.scaledToWidth(WebServer::pictureWidth, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    small.save(&buffer, "JPEG", 75);
    return jpeg;
}

// The latest program picture as JPEG; empty without a program output. The window's thread only
// takes the frame: a newer picture is made meanwhile on a worker thread, for the next request.
QByteArray WebServer::picture()
{
    if (!m_output)
        return QByteArray();
    if (!m_output->viewed()) {
        m_output->setViewed(true); // the output copies its frames for us from now on
        m_viewing->start();
    } else if (m_viewing->isActive()) {
        m_viewing->start();
    }
    const bool stale = !m_pictureAge.isValid() || m_pictureAge.elapsed() >= pictureMaxAgeMs;
    if (stale && !m_making.isRunning()) {
        m_pictureAge.start();
        m_making.setFuture(QtConcurrent::run(jpegOf, m_output->viewImage()));
    }
    if (m_picture.isEmpty())
        m_picture = jpegOf(QImage()); // the first request: black, until the first picture is made
    return m_picture;
}

void WebServer::adoptWebSocket()
{
    while (QWebSocket *socket = m_webSockets->nextPendingConnection())
        m_control->adopt(new WebSocketTransport(socket, ControlServer::maxLineBytes));
}

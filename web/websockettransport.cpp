#include "websockettransport.h"

#include <QWebSocket>

WebSocketTransport::WebSocketTransport(QWebSocket *socket, qint64 maxMessageBytes) : m_socket(socket)
{
    socket->setParent(this);
    m_peer = socket->peerAddress().toString() + QLatin1Char(':') + QString::number(socket->peerPort())
             + QStringLiteral(" (web)");
    socket->setMaxAllowedIncomingMessageSize(quint64(maxMessageBytes));
    socket->setMaxAllowedIncomingFrameSize(quint64(maxMessageBytes));
    connect(socket, &QWebSocket::textMessageReceived, this, [this](const QString &m) { received(m.toUtf8()); });
    connect(socket, &QWebSocket::binaryMessageReceived, this, &WebSocketTransport::received);
    connect(socket, &QWebSocket::disconnected, this, &ControlTransport::disconnected);
}

void WebSocketTransport::received(const QByteArray &message)
{
    if (m_input.size() + message.size() > maxWaitingBytes) {
        m_input.clear();
        m_socket->abort();
        return;
    }
    // one message is one request: a line break inside it can only be JSON's white space
    QByteArray line = message;
    line.replace('\n', ' ').replace('\r', ' ');
    m_input += line + '\n';
    emit readyRead();
}

QByteArray WebSocketTransport::read(qint64 maxBytes)
{
    const QByteArray out = m_input.left(int(maxBytes));
    m_input.remove(0, out.size());
    return out;
}

void WebSocketTransport::write(const QByteArray &line)
{
    m_socket->sendTextMessage(QString::fromUtf8(line.endsWith('\n') ? line.chopped(1) : line));
}

qint64 WebSocketTransport::bytesToWrite() const { return m_socket->bytesToWrite(); }

void WebSocketTransport::flush() { m_socket->flush(); }

void WebSocketTransport::close() { m_socket->close(); }

void WebSocketTransport::abort() { m_socket->abort(); }

#pragma once
// A WebSocket of the web page as a control port connection: each text message is one request
// line, each answer or event line goes out as one text message, unchanged.
#include "controltransport.h"

class QWebSocket;

class WebSocketTransport : public ControlTransport
{
    Q_OBJECT

public:
    // Messages that wait for the server beyond this end the connection: the page sends one
    // request per click.
    static constexpr qint64 maxWaitingBytes = 1024 * 1024;

    // Takes the socket over; `maxMessageBytes` is the longest message taken (longer closes it).
    WebSocketTransport(QWebSocket *socket, qint64 maxMessageBytes);

    QString peer() const override { return m_peer; }
    qint64 bytesAvailable() const override { return m_input.size(); }
    QByteArray read(qint64 maxBytes) override;
    void write(const QByteArray &line) override;
    qint64 bytesToWrite() const override;
    void flush() override;
    void close() override;
    void abort() override;

private:
    void received(const QByteArray &message);

    QWebSocket *m_socket;
    QString m_peer;
    QByteArray m_input;
};

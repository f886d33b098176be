#pragma once
// One client of the control port as the server sees it: bytes in (requests, one per line), whole
// lines out (answers and events), and its end. A TCP socket is one; the web page's WebSocket is
// another. Everything happens on the server's thread without waiting: write() only queues.
#include <QByteArray>
#include <QObject>
#include <QString>

class ControlTransport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // "address:port" of the client, for the trace
    virtual QString peer() const = 0;
    virtual qint64 bytesAvailable() const = 0;
    // at most maxBytes of what came in, in order; lines end with "\n"
    virtual QByteArray read(qint64 maxBytes) = 0;
    // one whole line, ending with "\n"
    virtual void write(const QByteArray &line) = 0;
    // written but not yet taken by the network
    virtual qint64 bytesToWrite() const = 0;
    virtual void flush() = 0;
    // ends the connection once what was written has left
    virtual void close() = 0;
    // ends it at once; what waits is thrown away
    virtual void abort() = 0;

signals:
    void readyRead();
    void disconnected();
};

#include "controlport.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "controlserver.h"
#include "controlverbs.h"

ControlPort::ControlPort(ControlServer &server, QObject *parent) : QObject(parent), m_server(server)
{
    connect(&server, &ControlServer::request, this, &ControlPort::take);
    connect(&server, &ControlServer::trace, this, &ControlPort::trace);
}

void ControlPort::respond(int connection, const QString &response) { m_server.respond(connection, response); }

void ControlPort::broadcastEvent(const QString &event) { m_server.broadcastEvent(event); }

void ControlPort::take(int connection, const QString &peer, const QJsonObject &raw)
{
    const ControlVerbs::Checked checked = ControlVerbs::check(raw, {m_layerCount, m_scenes});
    // the answer's keys in the protocol's order: "ok" first
    auto answer = [&](bool ok, const QString &key, const QJsonValue &value) {
        const QByteArray v = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        respond(connection, QStringLiteral("{\"ok\":%1,\"%2\":%3}")
                                .arg(ok ? "true" : "false", key, QString::fromUtf8(v.mid(1, v.size() - 2))));
    };
    if (!checked.error.isEmpty())
        answer(false, QStringLiteral("error"), checked.error);
    else if (ControlVerbs::sideOf(checked.request.value(QLatin1String("do"))) == ControlVerbs::Side::Port)
        answer(true, QStringLiteral("scenes"), QJsonArray::fromStringList(m_scenes));
    else
        emit request(connection, peer, checked.request);
}

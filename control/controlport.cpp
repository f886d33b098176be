#include "controlport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QQuickItem>

#include "controlserver.h"
#include "controlverbs.h"
#include "templatefields.h"

namespace {

QJSValue stored(const QJSValue &queue, const char *record, const char *key)
{
    return queue.property(QLatin1String(record)).property(QStringLiteral("params")).property(QLatin1String(key));
}

// Entries {"id", "title"} of a list of triggers: ids as text (what a Continue sends), the title the
// id when it has none; anything else in the list is left out.
QJsonArray triggerList(const QVariant &list)
{
    QJsonArray out;
    for (const QVariant &entry : list.toList()) {
        const QVariantMap trigger = TemplateFields::plain(entry).toMap();
        if (!trigger.contains(QStringLiteral("id")))
            continue;
        const QString id = trigger.value(QStringLiteral("id")).toString();
        const QString title = trigger.value(QStringLiteral("title")).toString();
        out.append(QJsonObject{{"id", id}, {"title", title.isEmpty() ? id : title}});
    }
    return out;
}

// The answer's text with its keys in the protocol's order.
QString sceneAnswer(const QJsonObject &scene)
{
    QString text = QStringLiteral("{\"ok\":true");
    for (const char *key : {"scene", "fields", "triggers"}) {
        const QByteArray v = QJsonDocument(QJsonArray{scene.value(QLatin1String(key))}).toJson(QJsonDocument::Compact);
        text += QStringLiteral(",\"%1\":%2").arg(QLatin1String(key), QString::fromUtf8(v.mid(1, v.size() - 2)));
    }
    return text + QLatin1Char('}');
}

} // namespace

ControlPort::ControlPort(ControlServer &server, QObject *parent) : QObject(parent), m_server(server)
{
    connect(&server, &ControlServer::request, this, &ControlPort::take);
    connect(&server, &ControlServer::trace, this, &ControlPort::trace);
}

void ControlPort::respond(int connection, const QString &response)
{
    m_server.respond(connection, response);
    // a template's data changed on air: whoever shows it reads it again
    if (m_updating.isEmpty())
        return;
    QJsonObject event{{"event", "data"}};
    if (m_updating.contains(QLatin1String("layer")))
        event.insert(QStringLiteral("layer"), m_updating.value(QLatin1String("layer")));
    m_updating = {};
    if (QJsonDocument::fromJson(response.toUtf8()).object().value(QLatin1String("ok")) == true)
        broadcastEvent(QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact)));
}

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
    else if (checked.request.value(QLatin1String("do")) == QLatin1String("scenes"))
        answer(true, QStringLiteral("scenes"), QJsonArray::fromStringList(m_scenes));
    else if (checked.request.value(QLatin1String("do")) == QLatin1String("scene"))
        respond(connection, sceneAnswer(describe(checked.request.value(QLatin1String("scene")).toString(),
                                                 checked.request.value(QLatin1String("layer")).toInt())));
    else {
        if (checked.request.value(QLatin1String("do")) == QLatin1String("update"))
            m_updating = checked.request;
        emit request(connection, peer, checked.request);
        m_updating = {};
    }
}

QJsonObject ControlPort::describe(const QString &scene, int layer) const
{
    QJSValue queue;
    const int queues = m_queues.property(QStringLiteral("length")).toInt();
    for (int i = 0; i < queues && queue.isUndefined(); ++i) {
        const QJSValue q = m_queues.property(quint32(i));
        if (stored(q, "DSK_Cue", "graphics_id").toString() == scene)
            queue = q;
    }
    // the layer's graphic, while it is this scene's template
    QObject *graphic = nullptr;
    QQuickItem *render = nullptr;
    if (layer > 0 && m_renders)
        QMetaObject::invokeMethod(m_renders, "itemAt", Q_RETURN_ARG(QQuickItem *, render), Q_ARG(int, layer - 1));
    if (render) {
        QObject *g = render->property("graphic").value<QObject *>();
        if (g && g->property("hasTemplate").toBool() && g->property("scene").toString() == scene)
            graphic = g;
    }

    QString problem;
    QStringList names;
    const QVariant cueData = TemplateFields::cueData(TemplateFields::container(m_dataDirectory, scene),
                                                     stored(queue, "DSK_Cue", "dsk_data").toVariant());
    QVariantMap values = TemplateFields::fromData(cueData, &problem, &names);
    if (graphic) {
        QStringList current;
        const QVariantMap data = TemplateFields::fromData(graphic->property("fields"), &problem, &current);
        for (const QString &name : current) {
            values.insert(name, data.value(name));
            if (!names.contains(name))
                names << name;
        }
    }
    QJsonArray fields;
    for (const QString &name : names)
        fields.append(
            QJsonObject{{"name", name}, {"value", QJsonValue::fromVariant(TemplateFields::plain(values.value(name)))}});

    // as the window's Trigger button: the queue's own list (even an empty one), else the template's
    const QJSValue own = queue.property(QStringLiteral("triggers"));
    const QVariant triggers = own.isArray() ? own.toVariant()
                              : graphic     ? TemplateFields::plain(graphic->property("triggers"))
                                            : QVariant();
    return {{"scene", scene}, {"fields", fields}, {"triggers", triggerList(triggers)}};
}

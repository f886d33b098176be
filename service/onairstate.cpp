#include "onairstate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJSValue>
#include <QJsonObject>
#include <QMetaProperty>
#include <QSaveFile>
#include <QTimer>
#include <QtDebug>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr int fileVersion = 1;
constexpr int maxSceneLength = 256;

// How deep a value nests, counting the value itself; stops counting beyond `limit`.
int depth(const QJsonValue &value, int limit)
{
    if (limit <= 0)
        return 1;
    int inner = 0;
    if (value.isArray()) {
        for (const QJsonValue &v : value.toArray())
            inner = qMax(inner, depth(v, limit - 1));
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            inner = qMax(inner, depth(it.value(), limit - 1));
    }
    return 1 + inner;
}

bool wholeNumber(const QJsonValue &value, int low, int high)
{
    const double d = value.toDouble(-1);
    return value.isDouble() && d == static_cast<int>(d) && d >= low && d <= high;
}

// The scene a queue is for: the name in its Cue record (only text names a scene).
QString sceneOf(const QVariant &queue)
{
    const QVariant name = queue.toMap()
                              .value(QStringLiteral("DSK_Cue"))
                              .toMap()
                              .value(QStringLiteral("params"))
                              .toMap()
                              .value(QStringLiteral("graphics_id"));
    return name.userType() == QMetaType::QString ? name.toString() : QString();
}

bool isRecord(const QVariant &v)
{
    return v.userType() == QMetaType::QVariantMap
           && v.toMap().value(QStringLiteral("params")).userType() == QMetaType::QVariantMap;
}

} // namespace

OnAirState::OnAirState(int box, const QString &dataDir, QObject *parent)
    : QObject(parent), m_box(box), m_path(QDir(dataDir).filePath(fileName(box)))
{
    // The window's layers go away after the event loop has ended (the window closed, a stop
    // signal): what was on air then is what a restart brings back, so nothing changes from here.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &OnAirState::close);
}

void OnAirState::close()
{
    flush();
    m_closed = true;
}

OnAirState::~OnAirState() { flush(); }

QString OnAirState::fileName(int box)
{
    return QStringLiteral("onair%1.json").arg(box ? QStringLiteral("-%1").arg(box) : QString());
}

void OnAirState::start(bool restore)
{
    m_restoring = restore;
    if (restore) {
        read();
        return;
    }
    // nothing is on air yet: an old file must not come back at the next start with --restore
    changed();
    flush();
}

void OnAirState::read()
{
    QFile file(m_path);
    if (!file.exists())
        return; // the first start of this output: nothing was on air
    // a directory, or a pipe or device that could keep the start waiting, is no state file
    const QFileInfo info(m_path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        m_keepOut = true;
        m_problems << QStringLiteral("Can't read the on-air state file '%1' (%2): nothing is restored from it, "
                                     "and it is left as it is")
                          .arg(m_path, info.isDir()     ? QStringLiteral("a directory")
                                       : !info.isFile() ? QStringLiteral("not a plain file")
                                                        : file.errorString());
        return;
    }
    if (file.size() > maxFileSize) {
        setAside(QStringLiteral("larger than %1 bytes").arg(maxFileSize));
        return;
    }
    const QByteArray text = file.read(maxFileSize + 1);
    QMap<int, Layer> layers;
    const QString why =
        text.size() > maxFileSize ? QStringLiteral("larger than %1 bytes").arg(maxFileSize) : parse(text, &layers);
    if (!why.isEmpty()) {
        setAside(why);
        return;
    }
    m_plan = layers;
    m_written = text;
}

void OnAirState::setAside(const QString &why)
{
    const QString bad = m_path + QStringLiteral(".bad");
    // a rename keeps the content whole, however large, and replaces an older ".bad"
    if (std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(bad).constData()) != 0) {
        m_keepOut = true;
        m_problems << QStringLiteral("On-air state file '%1' is not usable (%2) and could not be kept as '%3' (%4): "
                                     "nothing is restored from it, and it is left as it is")
                          .arg(m_path, why, bad, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_problems << QStringLiteral("On-air state file '%1' is not usable (%2), kept as '%3': nothing is restored from it")
                      .arg(m_path, why, bad);
}

QString OnAirState::parse(const QByteArray &text, QMap<int, Layer> *layers) const
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("not JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset);
    if (!doc.isObject())
        return QStringLiteral("not a JSON object");
    const QJsonObject top = doc.object();
    if (top.value(QLatin1String("version")) != QJsonValue(fileVersion))
        return QStringLiteral("version is not %1").arg(fileVersion);
    if (!top.value(QLatin1String("layers")).isArray())
        return QStringLiteral("layers is not a list");
    const QJsonArray list = top.value(QLatin1String("layers")).toArray();
    for (int i = 0; i < list.size(); ++i) {
        const QString entry = QStringLiteral("entry %1 of layers").arg(i + 1);
        if (!list.at(i).isObject())
            return entry + QStringLiteral(" is not an object");
        const QJsonObject o = list.at(i).toObject();
        const QJsonValue layer = o.value(QLatin1String("layer"));
        if (!wholeNumber(layer, 1, maxLayer))
            return entry + QStringLiteral(": layer is not a whole number from 1 to %1").arg(maxLayer);
        const QJsonValue scene = o.value(QLatin1String("scene"));
        if (!scene.isString() || scene.toString().isEmpty() || scene.toString().size() > maxSceneLength)
            return entry + QStringLiteral(": scene is not a name");
        if (!o.value(QLatin1String("playing")).isBool())
            return entry + QStringLiteral(": playing is not true or false");
        const QJsonValue data = o.value(QLatin1String("data"));
        if (depth(data, maxDataDepth + 1) > maxDataDepth)
            return entry + QStringLiteral(": data nests deeper than %1").arg(maxDataDepth);
        const int number = layer.toInt();
        if (layers->contains(number))
            return entry + QStringLiteral(": layer %1 is named twice").arg(number);
        layers->insert(number, Layer{scene.toString(), data.isUndefined() ? QJsonValue(QString()) : data,
                                     o.value(QLatin1String("playing")).toBool()});
    }
    return QString();
}

QVariantMap OnAirState::takePlan(const QStringList &scenes, int layerCount)
{
    QVariantList layers;
    QStringList problems = m_problems;
    for (auto it = m_plan.cbegin(); it != m_plan.cend(); ++it) {
        const Layer &l = it.value();
        if (it.key() > layerCount)
            problems << QStringLiteral(
                            "Layer %1 showed %2 before the restart, but there are %3 layers now: not restored")
                            .arg(it.key())
                            .arg(l.scene)
                            .arg(layerCount);
        else if (!scenes.contains(l.scene))
            problems << QStringLiteral("Layer %1 showed %2 before the restart, which no longer exists: not restored")
                            .arg(it.key())
                            .arg(l.scene);
        else
            layers << QVariantMap{{QStringLiteral("layer"), it.key()},
                                  {QStringLiteral("scene"), l.scene},
                                  {QStringLiteral("data"), l.data.toVariant()},
                                  {QStringLiteral("playing"), l.playing}};
    }
    m_plan.clear();
    m_problems.clear();
    // the file says from now on what is on air after the restore, not what was before
    changed();
    return {{QStringLiteral("layers"), layers}, {QStringLiteral("problems"), problems}};
}

QVariantMap OnAirState::restorePlan(const QVariantList &queues, int layerCount)
{
    QStringList scenes;
    for (const QVariant &queue : queues)
        scenes << sceneOf(queue);
    const QVariantMap plan = takePlan(scenes, layerCount);
    QVariantList layers = plan.value(QStringLiteral("layers")).toList();
    for (QVariant &entry : layers) {
        QVariantMap layer = entry.toMap();
        const QVariantMap queue = queues.value(scenes.indexOf(layer.value(QStringLiteral("scene")).toString())).toMap();
        // a scene is found by the name in its Cue record, so that record has its params
        QVariantMap cue = queue.value(QStringLiteral("DSK_Cue")).toMap();
        QVariantMap params = cue.value(QStringLiteral("params")).toMap();
        params.insert(QStringLiteral("dsk_data"), layer.value(QStringLiteral("data")));
        cue.insert(QStringLiteral("params"), params);
        layer.insert(QStringLiteral("cue"), cue);
        QVariant play;
        if (layer.value(QStringLiteral("playing")).toBool()) {
            const QVariant stored = queue.value(QStringLiteral("DSK_Play"));
            QVariantMap record = isRecord(stored)
                                     ? stored.toMap()
                                     : QVariantMap{{QStringLiteral("_id"), cue.value(QStringLiteral("_id"))}};
            QVariantMap playParams = record.value(QStringLiteral("params")).toMap();
            playParams.insert(QStringLiteral("time"), 0);
            playParams.insert(QStringLiteral("transition_duration"), 0);
            playParams.insert(QStringLiteral("layer_id"), layer.value(QStringLiteral("layer")));
            record.insert(QStringLiteral("type"), QStringLiteral("DSK_Play"));
            record.insert(QStringLiteral("params"), playParams);
            play = record;
        }
        layer.insert(QStringLiteral("play"), play);
        entry = layer;
    }
    QStringList problems = plan.value(QStringLiteral("problems")).toStringList();
    if (!layers.isEmpty())
        problems << QStringLiteral("Restored %1 layers after a restart").arg(layers.size());
    return {{QStringLiteral("layers"), layers}, {QStringLiteral("problems"), problems}};
}

void OnAirState::watchLayer(QObject *render)
{
    if (!render)
        return;
    const QMetaObject *meta = render->metaObject();
    const QMetaMethod keep = metaObject()->method(metaObject()->indexOfSlot("layerChanged()"));
    for (const char *name : {"isLoaded", "name", "visible"}) {
        const QMetaProperty property = meta->property(meta->indexOfProperty(name));
        if (property.hasNotifySignal())
            connect(render, property.notifySignal(), this, keep, Qt::UniqueConnection);
    }
    // the data of a template on air changes without a Cue (an update)
    if (QObject *graphic = render->property("graphic").value<QObject *>()) {
        const QMetaObject *graphicMeta = graphic->metaObject();
        m_layerOf.insert(graphic, render);
        // a later object at the same address is no layer's graphic
        connect(
            graphic, &QObject::destroyed, this, [this](QObject *gone) { m_layerOf.remove(gone); },
            Qt::UniqueConnection);
        for (const char *name : {"fields", "hasTemplate"}) {
            const QMetaProperty property = graphicMeta->property(graphicMeta->indexOfProperty(name));
            if (property.hasNotifySignal())
                connect(graphic, property.notifySignal(), this, keep, Qt::UniqueConnection);
        }
    }
    keepLayer(render);
}

void OnAirState::layerChanged()
{
    QObject *from = sender();
    keepLayer(m_layerOf.contains(from) ? m_layerOf.value(from).data() : from);
}

void OnAirState::keepLayer(QObject *render)
{
    const int layer = render ? render->property("index").toInt() : 0;
    if (layer < 1)
        return;
    const QString scene = render->property("isLoaded").toBool() ? render->property("name").toString() : QString();
    if (scene.isEmpty()) {
        clearLayer(layer);
        return;
    }
    // the data on air: a template's fields (with what updates changed), else the data of the
    // newest Cue the layer has passed on
    const QObject *graphic = render->property("graphic").value<QObject *>();
    const QVariant fields =
        graphic && graphic->property("hasTemplate").toBool() ? graphic->property("fields") : QVariant();
    const QVariant map = fields.value<QJSValue>().isObject() ? fields.value<QJSValue>().toVariant() : fields;
    if (map.userType() == QMetaType::QVariantMap) {
        setLayer(layer, scene, QJsonValue::fromVariant(map), render->property("visible").toBool());
        return;
    }
    QJsonValue data = QString();
    const QJSValue passed = render->property("queues").value<QJSValue>();
    for (int i = passed.property(QStringLiteral("length")).toInt() - 1; i >= 0; --i) {
        const QJSValue js = passed.property(static_cast<quint32>(i)).property(QStringLiteral("js"));
        if (js.property(QStringLiteral("type")).toString() != QLatin1String("DSK_Cue"))
            continue;
        const QJSValue value = js.property(QStringLiteral("params")).property(QStringLiteral("dsk_data"));
        if (!value.isUndefined())
            data = QJsonValue::fromVariant(value.toVariant());
        break;
    }
    setLayer(layer, scene, data, render->property("visible").toBool());
}

void OnAirState::setLayer(int layer, const QString &scene, const QJsonValue &data, bool playing)
{
    if (layer < 1 || layer > maxLayer || scene.isEmpty()) {
        clearLayer(layer);
        return;
    }
    QJsonValue value = data;
    // a value the file could not give back (too deep, or undefined) is kept as no data
    if (value.isUndefined() || depth(value, maxDataDepth + 1) > maxDataDepth)
        value = QString();
    const Layer now{scene, value, playing};
    if (m_layers.contains(layer) && m_layers.value(layer) == now)
        return;
    m_layers.insert(layer, now);
    changed();
}

void OnAirState::clearLayer(int layer)
{
    if (m_layers.remove(layer))
        changed();
}

void OnAirState::changed()
{
    if (m_pending || m_closed)
        return;
    m_pending = true;
    // once per turn of the event loop: an Eject, Cue and Play in one command write once
    QTimer::singleShot(0, this, &OnAirState::flush);
}

QByteArray OnAirState::document() const
{
    QJsonArray layers;
    for (auto it = m_layers.cbegin(); it != m_layers.cend(); ++it)
        layers.append(QJsonObject{{QStringLiteral("layer"), it.key()},
                                  {QStringLiteral("scene"), it.value().scene},
                                  {QStringLiteral("data"), it.value().data},
                                  {QStringLiteral("playing"), it.value().playing}});
    return QJsonDocument(QJsonObject{{QStringLiteral("version"), fileVersion},
                                     {QStringLiteral("box"), m_box},
                                     {QStringLiteral("layers"), layers}})
        .toJson(QJsonDocument::Indented);
}

bool OnAirState::flush()
{
    if (!m_pending)
        return true;
    m_pending = false;
    if (m_keepOut)
        return false;
    const QByteArray text = document();
    if (text == m_written)
        return true;
    QSaveFile out(m_path);
    const bool ok = out.open(QIODevice::WriteOnly) && out.write(text) == text.size() && out.commit();
    QString problem;
    if (ok) {
        m_written = text;
    } else {
        problem = QStringLiteral("Can't write the on-air state file '%1' (%2): a restart would not bring back what is "
                                 "on air")
                      .arg(m_path, out.errorString());
        qWarning().noquote() << problem;
    }
    emit written(ok, m_path, problem);
    return ok;
}

#include "templateitem.h"
#include "templatefields.h"

#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QJSValue>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlIncubator>
#include <QQmlProperty>
#include <QQuickWindow>

class TemplateIncubator : public QQmlIncubator
{
public:
    TemplateIncubator(TemplateItem *item, int serial) : QQmlIncubator(Asynchronous), m_item(item), m_serial(serial) { }

protected:
    void setInitialState(QObject *object) override
    {
        if (m_item)
            m_item->initialState(object);
    }
    void statusChanged(Status status) override
    {
        if (!m_item || status == Loading || status == Null)
            return;
        // the item may start another load from here: it must not delete this incubator itself
        QPointer<TemplateItem> item = m_item;
        item->incubated(status == Ready ? object() : nullptr, errors(), m_serial);
    }

private:
    QPointer<TemplateItem> m_item;
    int m_serial;
};

namespace {

// Compiled templates of one engine, kept for later Cues; a file changed on disk compiles again.
class ComponentCache : public QObject
{
public:
    using QObject::QObject;

    static ComponentCache *of(QQmlEngine *engine)
    {
        static const QString name = QStringLiteral("orvaneTemplateComponents");
        auto *cache = static_cast<ComponentCache *>(engine->findChild<QObject *>(name, Qt::FindDirectChildrenOnly));
        if (!cache) {
            cache = new ComponentCache(engine);
            cache->setObjectName(name);
        }
        return cache;
    }

    QQmlComponent *component(QQmlEngine *engine, const QUrl &url)
    {
        const QFileInfo file(url.toLocalFile());
        const QString key = url.toString() + QLatin1Char('@') + QString::number(file.lastModified().toMSecsSinceEpoch())
                            + QLatin1Char('/') + QString::number(file.size());
        QPointer<QQmlComponent> &entry = m_components[url.toString()];
        if (entry && entry->property("cacheKey").toString() == key && !entry->isError())
            return entry;
        // a changed file must compile afresh, not come from the engine's own type cache, which
        // keeps the old one while anything holds it
        delete entry.data();
        engine->trimComponentCache();
        entry = new QQmlComponent(engine, url, QQmlComponent::Asynchronous, this);
        entry->setProperty("cacheKey", key);
        return entry;
    }

private:
    QHash<QString, QPointer<QQmlComponent>> m_components;
};

QString describe(const QVariant &value)
{
    const QVariant v = TemplateFields::plain(value);
    QString text = v.userType() == QMetaType::QVariantMap || v.userType() == QMetaType::QVariantList
                       ? QStringLiteral("a list or object")
                       : QLatin1Char('"') + v.toString() + QLatin1Char('"');
    return text.size() > 60 ? text.left(57) + QStringLiteral("...\"") : text;
}

// what a property of meta type `type` takes, in the operator's words
QString kindName(int type)
{
    switch (type) {
    case QMetaType::QString:
        return QStringLiteral("text");
    case QMetaType::Bool:
        return QStringLiteral("true or false");
    case QMetaType::Int:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::LongLong:
        return QStringLiteral("number");
    case QMetaType::QColor:
        return QStringLiteral("colour");
    case QMetaType::QUrl:
        return QStringLiteral("local file");
    default:
        return QString::fromLatin1(QMetaType::typeName(type));
    }
}

} // namespace

TemplateItem::TemplateItem(QQuickItem *parent) : QQuickItem(parent)
{
    m_stopLimit.setSingleShot(true);
    connect(&m_stopLimit, &QTimer::timeout, this, [this] {
        emit trace(QStringLiteral("template %1: no stopped() after %2 ms, hidden anyway")
                       .arg(m_source.toLocalFile())
                       .arg(m_stopLimit.interval()));
        finishStop();
    });
}

TemplateItem::~TemplateItem()
{
    if (m_incubator)
        m_incubator->clear();
}

QVariant TemplateItem::triggers() const
{
    if (!m_content)
        return QVariant();
    const QQmlProperty property(m_content, QStringLiteral("triggers"));
    return property.isValid() ? TemplateFields::plain(property.read()) : QVariant();
}

void TemplateItem::ensureIncubation()
{
    QQmlEngine *engine = qmlEngine(this);
    if (!engine || engine->incubationController())
        return;
    // layers live in the atlas, outside any window: borrow the program window's frame loop
    QQuickWindow *window = this->window();
    for (QWindow *w : QGuiApplication::topLevelWindows()) {
        if (!window)
            window = qobject_cast<QQuickWindow *>(w);
    }
    if (window)
        engine->setIncubationController(window->incubationController());
}

void TemplateItem::load(const QUrl &url, const QVariant &fields, const QString &scene, const QUrl &base)
{
    clear();
    const int serial = m_serial;
    m_source = url;
    m_base = base.isEmpty() ? url.resolved(QUrl(QStringLiteral("."))) : base;
    m_scene = scene;
    m_fields = TemplateFields::plain(fields).toMap();
    m_unknownTraced.clear();
    QQmlEngine *engine = qmlEngine(this);
    if (!engine) {
        m_errorString = url.toLocalFile() + QStringLiteral(": no QML engine");
        setStatus(Error);
        return;
    }
    setStatus(Loading);
    ensureIncubation();
    QQmlComponent *component = ComponentCache::of(engine)->component(engine, url);
    if (component->isLoading()) {
        QPointer<QQmlComponent> guarded = component;
        connect(component, &QQmlComponent::statusChanged, this, [this, guarded, serial](QQmlComponent::Status status) {
            if (guarded && status != QQmlComponent::Loading)
                componentReady(guarded, serial);
        });
        return;
    }
    componentReady(component, serial);
}

void TemplateItem::componentReady(QQmlComponent *component, int serial)
{
    if (serial != m_serial || m_status != Loading)
        return;
    disconnect(component, &QQmlComponent::statusChanged, this, nullptr);
    if (component->isError()) {
        fail(component->errors());
        return;
    }
    m_context = new QQmlContext(qmlEngine(this)->rootContext(), this);
    QQmlContext *context = m_context;
    m_incubator = std::make_unique<TemplateIncubator>(this, serial);
    component->create(*m_incubator, context);
}

void TemplateItem::initialState(QObject *object) { applyFields(object, m_fields); }

void TemplateItem::incubated(QObject *object, const QList<QQmlError> &errors, int serial)
{
    if (serial != m_serial)
        return;
    if (!object) {
        fail(errors);
        return;
    }
    auto *root = qobject_cast<QQuickItem *>(object);
    if (!root) {
        delete object;
        QQmlError error;
        error.setUrl(m_source);
        error.setLine(1);
        error.setDescription(QStringLiteral("the template's root is not an Item"));
        fail({error});
        return;
    }
    root->setParent(this);
    root->setParentItem(this);
    root->setSize(size());
    m_content = root;
    const int stoppedSignal = root->metaObject()->indexOfSignal("stopped()");
    if (stoppedSignal >= 0)
        QObject::connect(root, root->metaObject()->method(stoppedSignal), this,
                         metaObject()->method(metaObject()->indexOfSlot("finishStop()")));
    setStatus(Ready);
}

void TemplateItem::fail(const QList<QQmlError> &errors)
{
    QStringList lines;
    for (const QQmlError &error : errors) {
        const QString file = error.url().isLocalFile() ? error.url().toLocalFile() : error.url().toString();
        lines << QStringLiteral("%1:%2: %3")
                     .arg(file.isEmpty() ? m_source.toLocalFile() : file)
                     .arg(error.line())
                     .arg(error.description());
    }
    m_errorString = lines.isEmpty() ? m_source.toLocalFile() + QStringLiteral(": cannot be loaded")
                                    : lines.join(QStringLiteral("; "));
    setStatus(Error);
}

void TemplateItem::setStatus(Status status)
{
    m_status = status;
    emit statusChanged();
}

void TemplateItem::clear()
{
    ++m_serial;
    m_stopping = false;
    m_stopLimit.stop();
    if (m_incubator) {
        m_incubator->clear();
        // not deleted here: clear() may run inside the incubator's own call-back
        auto *retired = m_incubator.release();
        QTimer::singleShot(0, [retired] { delete retired; });
    }
    if (m_content) {
        QQuickItem *content = m_content;
        m_content = nullptr;
        content->setParentItem(nullptr);
        content->deleteLater();
    }
    // the template's context goes with it (after it: the object still uses it until deleted)
    if (m_context)
        m_context->deleteLater();
    m_context = nullptr;
    const bool changed = m_status != Null;
    m_status = Null;
    m_errorString.clear();
    m_source = QUrl();
    if (changed)
        emit statusChanged();
}

void TemplateItem::applyFields(QObject *root, const QVariantMap &fields)
{
    const QMetaObject *meta = root->metaObject();
    // the template's own properties: Item's x, visible, parent and so on are not fields
    const int own = meta->propertyOffset();
    const QUrl &base = m_base;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        const QString &name = it.key();
        const int index = meta->indexOfProperty(name.toUtf8().constData());
        QQmlProperty property(root, name);
        if (index < own || !property.isValid() || !property.isWritable()) {
            if (!m_unknownTraced.contains(name)) {
                m_unknownTraced.insert(name);
                emit trace(QStringLiteral("template %1 of %2: no field %3").arg(m_source.toLocalFile(), m_scene, name));
            }
            continue;
        }
        QVariant value = it.value();
        const int type = property.propertyType();
        if (!TemplateFields::convert(value, type, base)) {
            emit warning(
                QStringLiteral("%1 field %2: %3 is not a %4").arg(m_scene, name, describe(it.value()), kindName(type)));
            continue;
        }
        if (type == QMetaType::QUrl && !value.toUrl().isEmpty()) {
            const QString unreadable = TemplateFields::unreadableFile(value);
            if (!unreadable.isEmpty())
                emit warning(QStringLiteral("%1 field %2: %3 cannot be read").arg(m_scene, name, unreadable));
        }
        if (!property.write(value))
            emit warning(QStringLiteral("%1 field %2: %3 not taken").arg(m_scene, name, describe(it.value())));
    }
}

bool TemplateItem::call(const char *signature, const QVariant &argument, bool withArgument)
{
    if (!m_content || m_content->metaObject()->indexOfMethod(signature) < 0)
        return false;
    const QByteArray name = QByteArray(signature).left(QByteArray(signature).indexOf('('));
    if (withArgument)
        return QMetaObject::invokeMethod(m_content, name.constData(), Q_ARG(QVariant, argument));
    return QMetaObject::invokeMethod(m_content, name.constData());
}

bool TemplateItem::takeData(const QVariant &fields)
{
    if (!m_content)
        return false;
    const QVariantMap map = TemplateFields::plain(fields).toMap();
    m_unknownTraced.clear();
    // Item's own update() takes no argument: only the template's update(data) is called
    if (!call("update(QVariant)", map, true))
        applyFields(m_content, map);
    return true;
}

bool TemplateItem::play() { return call("play()"); }

bool TemplateItem::stop(int limitMs)
{
    if (!m_content || m_content->metaObject()->indexOfMethod("stop()") < 0)
        return false;
    m_stopping = true;
    m_stopLimit.start(limitMs);
    call("stop()");
    return true;
}

bool TemplateItem::next(const QString &trigger) { return call("next(QVariant)", trigger, true); }

void TemplateItem::finishStop()
{
    if (!m_stopping)
        return;
    m_stopping = false;
    m_stopLimit.stop();
    emit stopped();
}

void TemplateItem::geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChanged(newGeometry, oldGeometry);
    if (m_content)
        m_content->setSize(newGeometry.size());
}

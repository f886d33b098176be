#include "qmlutils.h"

#include <QJSEngine>
#include <QTimer>
#include <QtDebug>

QmlUtils::QmlUtils(QJSEngine *engine, QObject *parent) : QObject(parent), m_engine(engine) { }

QmlUtils::~QmlUtils() = default;

QJSValue QmlUtils::singleShot(int ms, const QJSValue &callback)
{
    const int id = m_nextId++;
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, id] { fire(id); });
    m_pending.insert(id, Pending{timer, callback});
    timer->start(qMax(0, ms));

    if (!m_engine)
        return QJSValue();
    if (m_makeTrigger.isUndefined())
        m_makeTrigger =
            m_engine->evaluate(QStringLiteral("(function (utils, id) { return function () { utils.fire(id) } })"));
    return m_makeTrigger.call({m_engine->newQObject(this), QJSValue(id)});
}

void QmlUtils::fire(int id)
{
    auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    Pending pending = it.value();
    m_pending.erase(it);
    pending.timer->stop();
    pending.timer->deleteLater();
    if (!pending.callback.isCallable())
        return;
    // A document may throw any value, not only an Error; the engine hands either back as the
    // call's result, so the call goes through a guard that says whether something was thrown.
    if (!m_engine) {
        pending.callback.call();
        return;
    }
    if (m_guard.isUndefined())
        m_guard = m_engine->evaluate(QStringLiteral(
            "(function (callback) {"
            "  try { callback(); return null }"
            "  catch (e) {"
            "    var where = e instanceof Error && e.fileName ? ' (' + e.fileName + ':' + e.lineNumber + ')' : '';"
            "    return String(e) + where"
            "  }"
            "})"));
    const QJSValue failure = m_guard.call({pending.callback});
    if (!failure.isNull())
        qWarning().noquote() << "QmlUtils.singleShot call-back failed:" << failure.toString();
}

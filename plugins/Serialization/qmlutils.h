#pragma once
#include <QHash>
#include <QJSValue>
#include <QObject>

class QJSEngine;
class QTimer;

// Deferred call-backs on the GUI thread.
class QmlUtils : public QObject
{
    Q_OBJECT

public:
    explicit QmlUtils(QJSEngine *engine, QObject *parent = nullptr);
    ~QmlUtils() override;

    // Runs `callback` once, `ms` milliseconds later, on this object's (the GUI) thread.
    // Returns a function: calling it runs the call-back at once, if it has not run yet, and
    // cancels the timer, so the call-back runs exactly once whichever comes first.
    Q_INVOKABLE QJSValue singleShot(int ms, const QJSValue &callback);

    // Runs pending call-back `id` now (no effect when it already ran); used by the result above.
    Q_INVOKABLE void fire(int id);

    int pendingCount() const { return m_pending.size(); }

private:
    struct Pending
    {
        QTimer *timer;
        QJSValue callback;
    };

    QJSEngine *m_engine;
    QJSValue m_makeTrigger;
    QJSValue m_guard;
    QHash<int, Pending> m_pending;
    int m_nextId = 1;
};

// QmlUtils.singleShot as the documents call it: the deferred call-back runs once, on the GUI
// thread, after its delay or at once when the returned function is called.
#include "qmlutils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJSEngine>
#include <QQmlEngine>
#include <QThread>
#include <QtTest>

// Counts the call-backs that reach C++, and on which thread.
class Probe : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE void hit()
    {
        ++count;
        thread = QThread::currentThread();
        elapsed = clock.isValid() ? clock.elapsed() : -1;
    }

    int count = 0;
    QThread *thread = nullptr;
    qint64 elapsed = -1;
    QElapsedTimer clock;
};

class QmlUtilsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_engine = new QJSEngine;
        m_utils = new QmlUtils(m_engine);
        QQmlEngine::setObjectOwnership(m_utils, QQmlEngine::CppOwnership);
        m_probe = new Probe;
        QQmlEngine::setObjectOwnership(m_probe, QQmlEngine::CppOwnership);
        m_engine->globalObject().setProperty("probe", m_engine->newQObject(m_probe));
        m_callback = m_engine->evaluate("(function () { probe.hit() })");
        QVERIFY(m_callback.isCallable());
    }

    void cleanup()
    {
        delete m_utils;
        delete m_engine;
        delete m_probe;
    }

    void runsOnceOnTheGuiThreadAfterTheDelay()
    {
        m_probe->clock.start();
        QJSValue cancel = m_utils->singleShot(150, m_callback);
        QVERIFY(cancel.isCallable());
        QCOMPARE(m_probe->count, 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_probe->count, 1, 10000);
        QCOMPARE(m_probe->thread, QCoreApplication::instance()->thread());
        QVERIFY2(m_probe->elapsed >= 135, qPrintable(QString::number(m_probe->elapsed)));
        QTest::qWait(300);
        QCOMPARE(m_probe->count, 1);
        QCOMPARE(m_utils->pendingCount(), 0);

        // A zero or negative delay still defers to the event loop.
        m_utils->singleShot(0, m_callback);
        m_utils->singleShot(-5, m_callback);
        QCOMPARE(m_probe->count, 1);
        QTRY_COMPARE(m_probe->count, 3);
    }

    void callingTheResultRunsAtOnceAndCancels()
    {
        QJSValue now = m_utils->singleShot(200, m_callback);
        QJSValue other = m_utils->singleShot(200, m_engine->evaluate("(function () { probe.hit(); probe.hit() })"));
        QCOMPARE(m_utils->pendingCount(), 2);
        QVERIFY(!now.call().isError());
        QCOMPARE(m_probe->count, 1);
        QCOMPARE(m_utils->pendingCount(), 1);
        now.call();
        QCOMPARE(m_probe->count, 1);
        QTest::qWait(400);
        // Only the other call-back ran on its timer; the called one did not run a second time.
        QCOMPARE(m_probe->count, 3);
        QCOMPARE(m_utils->pendingCount(), 0);
        other.call();
        now.call();
        QCOMPARE(m_probe->count, 3);
    }

    void callingTheResultAfterTheTimerDoesNothing()
    {
        QJSValue late = m_utils->singleShot(10, m_callback);
        QTRY_COMPARE(m_probe->count, 1);
        late.call();
        late.call();
        QCOMPARE(m_probe->count, 1);
    }

    void aFailingCallBackIsReportedAndLaterOnesRun()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("singleShot.*boom"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("singleShot.*plain text"));
        m_utils->singleShot(0, m_engine->evaluate("(function () { throw new Error('boom') })"));
        m_utils->singleShot(0, m_engine->evaluate("(function () { throw 'plain text' })"));
        m_utils->singleShot(0, m_engine->evaluate("(function () { undefinedName.call() })"));
        m_utils->singleShot(0, QJSValue(42));
        m_utils->singleShot(0, m_callback);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("singleShot.*undefinedName"));
        QTRY_COMPARE(m_probe->count, 1);
        QCOMPARE(m_utils->pendingCount(), 0);

        // The engine stays usable: the next call-back and its result work as before.
        QJSValue now = m_utils->singleShot(1000, m_callback);
        now.call();
        QCOMPARE(m_probe->count, 2);
    }

    void destroyedWithPendingCallBacks()
    {
        m_utils->singleShot(50, m_callback);
        delete m_utils;
        m_utils = nullptr;
        QTest::qWait(150);
        QCOMPARE(m_probe->count, 0);
    }

private:
    QJSEngine *m_engine = nullptr;
    QmlUtils *m_utils = nullptr;
    Probe *m_probe = nullptr;
    QJSValue m_callback;
};

QTEST_GUILESS_MAIN(QmlUtilsTest)

#include "tst_qmlutils.moc"

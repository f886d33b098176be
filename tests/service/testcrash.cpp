// Compiled only into the test build of the program (OrvaneTestBuild), never into the shipped one:
// with ORVANE_TEST_CRASH set to "segv" or "abort", the program crashes that way once its window
// has shown its first frame, so the tests see a real crash of a running output.
#include <QByteArray>
#include <QQmlApplicationEngine>
#include <QQuickWindow>

#include <cstdlib>

// Not static and not inlined: the crash report's backtrace names it.
extern "C" __attribute__((noinline)) void orvaneTestCrash(const char *how)
{
    if (QByteArray(how) == "abort")
        std::abort();
    volatile int *nowhere = nullptr;
    *nowhere = 1;
}

void armTestCrash(QQmlApplicationEngine &engine)
{
    static const QByteArray how = qgetenv("ORVANE_TEST_CRASH");
    if (how.isEmpty() || engine.rootObjects().isEmpty())
        return;
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (!window)
        return;
    // frameSwapped may come from the render thread: queued, the crash happens on the GUI thread
    QObject::connect(
        window, &QQuickWindow::frameSwapped, window, [] { orvaneTestCrash(how.constData()); }, Qt::QueuedConnection);
}

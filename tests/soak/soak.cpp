// Soak and fuzz driver: runs the output window (qml/main.qml, the program's own document, with
// the real host services) through a long random sequence of operator actions and layer replies
// (tests/soak/Driver.qml) and stops at the first step after which something that must always
// hold does not: no script error in the message log, guid only ever grown by dispatches,
// bounded histories, every layer in a state of its state table, the selection kept.
//
//   orvane-soak [--seed N] [--steps N] [--report N] [--only ACTION,...]
//
// The seed is printed first; the same seed runs the same steps. Exit status 0 when every step
// passed, 1 at the first failure (with seed, step and the log lines leading to it). Memory must
// stay flat too: after the first 500 steps the live QObjects of the process and its resident size
// may not rise far above where they were. --only restricts the actions, so that a kind of action
// whose memory grows can be found.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include "../utils/mainwindow.h"
#include "../utils/orvanetest.h"

// QtCore's table of hooks for debugging tools; its index 3 and 4 are the QObject hooks
extern quintptr Q_CORE_EXPORT qtHookData[];

namespace {

// Live QObjects of the whole process, counted through the hook table Qt keeps for debugging
// tools (slot 3 is called for every QObject made, slot 4 for every one destroyed).
std::atomic<long> g_liveObjects{0};
void objectAdded(QObject *) { ++g_liveObjects; }
void objectRemoved(QObject *) { --g_liveObjects; }
void countObjects()
{
    qtHookData[3] = reinterpret_cast<quintptr>(&objectAdded);
    qtHookData[4] = reinterpret_cast<quintptr>(&objectRemoved);
}

std::deque<QString> g_recent; // the last lines of the log, for a failure report
QStringList g_step;           // lines of the current step
long long g_lines = 0;

void capture(QtMsgType, const QMessageLogContext &, const QString &message)
{
    ++g_lines;
    g_step.append(message);
    g_recent.push_back(message.left(300).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    if (g_recent.size() > 40)
        g_recent.pop_front();
}

// What the engine writes when a script fails; no trace of the program contains these words.
const QStringList scriptFaults = {QStringLiteral("TypeError"),
                                  QStringLiteral("ReferenceError"),
                                  QStringLiteral("RangeError"),
                                  QStringLiteral("SyntaxError"),
                                  QStringLiteral("URIError"),
                                  QStringLiteral("is not a function"),
                                  QStringLiteral("Cannot read property"),
                                  QStringLiteral("Cannot assign"),
                                  QStringLiteral("Unable to assign"),
                                  QStringLiteral("Binding loop"),
                                  QStringLiteral("is not defined"),
                                  QStringLiteral("Maximum call stack"),
                                  QStringLiteral("is not an object"),
                                  QStringLiteral("Error: ")};

long rssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// What the program's event loop does between two operator actions: deliver what is posted, then
// delete what was released meanwhile. No event loop runs here, and processEvents() alone never
// deletes an object released outside event delivery (a step's direct calls): every released mixer,
// content item and delegate would stay alive, and be scanned again at each later call.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Every object the window owns, items and their helpers included.
int objectCount(QObject *window) { return window->findChildren<QObject *>().size(); }

double guidOf(QObject *window) { return window->property("guid").toDouble(); }

int fail(quint32 seed, long long step, const QString &action, const QString &why)
{
    std::fprintf(stderr, "SOAK FAILED seed=%u step=%lld action=%s\n  %s\n  last log lines:\n", seed, step,
                 qPrintable(action), qPrintable(why));
    for (const QString &line : g_recent)
        std::fprintf(stderr, "    %s\n", qPrintable(line));
    std::fprintf(stderr, "  again: orvane-soak --seed %u --steps %lld\n", seed, step + 1);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    countObjects();
    QGuiApplication app(argc, argv);
    setOrvaneIdentity();

    quint32 seed = QRandomGenerator::system()->generate() % 1000000000u;
    long long steps = 3000;
    long long report = 0;
    QString only;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--seed"))
            seed = args[i + 1].toUInt();
        else if (args[i] == QLatin1String("--steps"))
            steps = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--report"))
            report = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--only"))
            only = args[i + 1];
    }
    std::printf("seed=%u steps=%lld\n", seed, steps);
    std::fflush(stdout);

    qInstallMessageHandler(capture);
    QQmlApplicationEngine engine;
    loadMainDocument(engine);
    if (engine.rootObjects().isEmpty())
        return fail(seed, -1, QStringLiteral("start"), QStringLiteral("the window did not load"));
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    QElapsedTimer shown;
    shown.start();
    while (window && window->contentItem()->width() <= 0 && shown.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!window || window->contentItem()->width() <= 0)
        return fail(seed, -1, QStringLiteral("start"), QStringLiteral("the window was never shown"));

    // The picture is not what this run checks: drawing every frame of twelve spinning layers would
    // take most of each step. Hidden, the window keeps every binding, timer and animation.
    if (!qEnvironmentVariableIsSet("ORVANE_SOAK_SHOW"))
        window->hide();

    QQmlComponent component(&engine, QUrl::fromLocalFile(QStringLiteral(ORVANE_SOURCE_DIR "/tests/soak/Driver.qml")));
    QObject *driver = component.create();
    if (!driver)
        return fail(seed, -1, QStringLiteral("start"), component.errorString());
    driver->setProperty("main", QVariant::fromValue<QObject *>(window));
    driver->setProperty("seed", static_cast<int>(seed));
    driver->setProperty("only", only);
    QMetaObject::invokeMethod(driver, "start");
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    const QRegularExpression command(QStringLiteral("^-*layer\\S* command .* guid=(-?\\d+) ?$"),
                                     QRegularExpression::DotMatchesEverythingOption);
    const long rssStart = rssKiB();
    // After the first steps every kind of layer content, trigger button and history has been made
    // once: from then on the live objects and the resident size stay near that level for good.
    // The margins are several times what a sound run ever moves by; anything released and never
    // deleted soon passes them (a few hundred objects in a few thousand steps).
    const long long warmUp = 500;
    const long objectMargin = 500;
    const long rssMarginKiB = 64 * 1024;
    long objectsWarm = 0;
    long rssWarm = -1;
    QElapsedTimer clock;
    clock.start();
    for (QString line : g_step)
        for (const QString &fault : scriptFaults)
            if (line.contains(fault))
                return fail(seed, -1, QStringLiteral("start"), QStringLiteral("script error at start: ") + line);

    for (long long i = 0; i < steps; ++i) {
        g_step.clear();
        const double before = guidOf(window);
        QVariant problem;
        QMetaObject::invokeMethod(driver, "step", Q_RETURN_ARG(QVariant, problem));
        const QString action = driver->property("lastAction").toString();
        const double dispatched = guidOf(window);
        // timers, deferred deletions and call-backs of this step
        settle();
        const double after = guidOf(window);

        if (!problem.toString().isEmpty())
            return fail(seed, i, action, problem.toString());
        for (const QString &line : qAsConst(g_step))
            for (const QString &fault : scriptFaults)
                if (line.contains(fault))
                    return fail(seed, i, action, QStringLiteral("script error: ") + line.left(500));
        if (dispatched < before || after != dispatched)
            return fail(seed, i, action,
                        QStringLiteral("guid went from %1 to %2, then %3 outside dispatch")
                            .arg(before)
                            .arg(dispatched)
                            .arg(after));
        // every guid taken in this step was handed to a layer with a "command" trace, in order;
        // a guid the driver handed to the window's mixerQueue itself was never taken
        const QVariant handed = driver->property("handedGuid");
        QList<double> taken;
        for (const QString &line : qAsConst(g_step)) {
            const auto match = command.match(line);
            const double guid = match.captured(1).toDouble();
            if (match.hasMatch() && guid > before && !(handed.isValid() && guid == handed.toDouble()))
                taken.append(guid);
        }
        std::sort(taken.begin(), taken.end());
        bool consecutive = taken.size() == after - before;
        for (int k = 0; consecutive && k < taken.size(); ++k)
            consecutive = taken[k] == before + k + 1;
        if (!consecutive) {
            QStringList seen;
            for (double g : taken)
                seen << QString::number(g);
            return fail(seed, i, action,
                        QStringLiteral("guid grew from %1 to %2 but dispatched guids were [%3]")
                            .arg(before)
                            .arg(after)
                            .arg(seen.join(',')));
        }
        const long live = g_liveObjects.load();
        if (i < warmUp) {
            objectsWarm = std::max(objectsWarm, live);
        } else if (live > objectsWarm + objectMargin) {
            return fail(seed, i, action,
                        QStringLiteral("%1 live objects, %2 at most in the first %3 steps: "
                                       "objects released are never deleted")
                            .arg(live)
                            .arg(objectsWarm)
                            .arg(warmUp));
        }
        if (i + 1 == warmUp)
            rssWarm = rssKiB();
        const bool reporting = report > 0 && (i + 1) % report == 0;
        if (rssWarm > 0 && (reporting || i + 1 == steps) && rssKiB() > rssWarm + rssMarginKiB)
            return fail(
                seed, i, action,
                QStringLiteral("VmRSS grew from %1 kB after %2 steps to %3 kB").arg(rssWarm).arg(warmUp).arg(rssKiB()));
        if (reporting) {
            std::printf("step=%lld seconds=%.1f VmRSS=%ld kB guid=%.0f errorn=%d objects=%d live=%ld\n", i + 1,
                        clock.elapsed() / 1000.0, rssKiB(), after, window->property("errorn").toInt(),
                        objectCount(window), g_liveObjects.load());
            QVariant sizes;
            QMetaObject::invokeMethod(driver, "sizes", Q_RETURN_ARG(QVariant, sizes));
            std::printf("  kept: %s\n", qPrintable(sizes.toString()));
            std::fflush(stdout);
        }
    }

    const long rssEnd = rssKiB();
    std::printf(
        "passed seed=%u steps=%lld seconds=%.1f guid=%.0f errorn=%d log-lines=%lld VmRSS start=%ld kB end=%ld kB\n",
        seed, steps, clock.elapsed() / 1000.0, guidOf(window), window->property("errorn").toInt(), g_lines, rssStart,
        rssEnd);
    if (rssWarm > 0 && steps > warmUp)
        std::printf("  after step %lld: VmRSS %+.3f kB per 1000 steps; live objects %ld, at most %ld in the first "
                    "steps\n",
                    warmUp, (rssEnd - rssWarm) * 1000.0 / (steps - warmUp), g_liveObjects.load(), objectsWarm);
    const QVariantMap counts = driver->property("counts").toMap();
    for (auto it = counts.begin(); it != counts.end(); ++it)
        std::printf("  %s: %d\n", qPrintable(it.key()), it.value().toInt());
    delete driver;
    return 0;
}

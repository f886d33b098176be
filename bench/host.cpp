// The in-process benchmarks: the output window (qml/main.qml of the source tree, with the
// program's identity and import paths) driven the way the operator drives it, through its
// `send` / `sendAll` or a click on its buttons, and timed with a nanosecond clock. Traces go to
// a file through a message handler, one unbuffered write per line as the program's stderr does.
#include "bench.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJSEngine>
#include <QJsonDocument>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <ctime>
#include <unistd.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include "../tests/utils/orvanetest.h"
#include "controlport.h"
#include "controlserver.h"
#include "videoplayback.h"
#include "programoutput.h"
#include "webserver.h"

namespace {

int traceFd = 2;
QElapsedTimer clockNs;

void traceToFile(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    QByteArray line = qFormatLogMessage(type, context, message).toLocal8Bit();
    line += '\n';
    if (::write(traceFd, line.constData(), static_cast<size_t>(line.size())) < 0) {
        // a full disk must not end the measurement; the figures do not depend on the trace
    }
    if (type == QtFatalMsg)
        abort();
}

// Runs the event loop for `ms`: timers, deferred calls and deferred deletions get their turn.
void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds or `ms` have passed; false on the time-out.
// Runs the event loop until `done` holds or `ms` have passed; false on the time-out.
bool waitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

double usSince(qint64 startNs) { return (clockNs.nsecsElapsed() - startNs) / 1000.0; }

// The window as the operator sees it: a layer and a scene selected, buttons pressed.
class Window
{
public:
    explicit Window(QQuickWindow *w) : m_window(w) { m_renders = m_window->property("renders").value<QObject *>(); }

    QQuickWindow *window() const { return m_window; }
    int layers() const { return m_renders ? m_renders->property("count").toInt() : 0; }
    double guid() const { return m_window->property("guid").toDouble(); }

    void selectLayer(int i) { m_window->setProperty("currentLayer", i); }
    void selectScene(int i) { m_window->setProperty("currentIndex", i); }

    void send(const QString &type)
    {
        QMetaObject::invokeMethod(m_window, "send", Q_ARG(QVariant, type), Q_ARG(QVariant, QVariant()));
    }

    void sendAll(const QString &type) { QMetaObject::invokeMethod(m_window, "sendAll", Q_ARG(QVariant, type)); }

    QQuickItem *render(int i) const
    {
        QQuickItem *item = nullptr;
        if (m_renders)
            QMetaObject::invokeMethod(m_renders, "itemAt", Q_RETURN_ARG(QQuickItem *, item), Q_ARG(int, i));
        return item;
    }

    bool isLoaded(int i) const
    {
        QQuickItem *r = render(i);
        return r && r->property("isLoaded").toBool();
    }

    // The control-bar button with this text, for a click where the operator clicks.
    QQuickItem *button(const QString &text) const { return find(m_window->contentItem(), text); }

private:
    static QQuickItem *find(QQuickItem *item, const QString &text)
    {
        if (!item)
            return nullptr;
        if (item->isVisible() && item->property("text").toString() == text
            && QByteArray(item->metaObject()->className()).contains("Button"))
            return item;
        for (QQuickItem *child : item->childItems()) {
            if (QQuickItem *found = find(child, text))
                return found;
        }
        return nullptr;
    }

    QQuickWindow *m_window;
    QObject *m_renders = nullptr;
};

struct Options
{
    QString mode;
    QString result;
    QString trace;
    int iterations = 100;
    int warmup = 3;
    double seconds = 10;
    QList<int> checkpoints;
    QString clip;
    QString output;                           // a pipeline for the program output (--output), empty for none
    QString views = QStringLiteral("shared"); // "copies": the windows share no OpenGL context (copies)
    int pages = 0;                            // web: the browser pages to wait for
    QString portFile;                         // web: where the page's port is written
};

Options parse(int argc, char *argv[])
{
    Options o;
    o.mode = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    for (int i = 3; i + 1 < argc; i += 2) {
        const QByteArray key = argv[i];
        const QString value = QString::fromLocal8Bit(argv[i + 1]);
        if (key == "--result")
            o.result = value;
        else if (key == "--trace")
            o.trace = value;
        else if (key == "--iterations")
            o.iterations = value.toInt();
        else if (key == "--warmup")
            o.warmup = value.toInt();
        else if (key == "--seconds")
            o.seconds = value.toDouble();
        else if (key == "--clip")
            o.clip = value;
        else if (key == "--output")
            o.output = value;
        else if (key == "--views")
            o.views = value;
        else if (key == "--pages")
            o.pages = value.toInt();
        else if (key == "--port-file")
            o.portFile = value;
        else if (key == "--checkpoints")
            for (const QString &c : value.split(','))
                o.checkpoints << c.toInt();
    }
    return o;
}

// Every layer running with its scene loaded, and every function of the command path warm.
void warmUp(Window &w, const Options &o)
{
    const int n = w.layers();
    w.selectScene(0);
    for (int round = 0; round < std::max(1, o.warmup); ++round) {
        for (int i = 0; i < n; ++i) {
            w.selectLayer(i);
            w.send(QStringLiteral("DSK_Play"));
        }
        pump(0);
    }
}

// CPU time of the calling thread, in µs.
double threadCpuUs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// One operator command on the selected layer: its time, the window thread's CPU time within it
// (the rest is waiting for a core that the renderer or the display server holds), and how many
// commands it sent.
struct Sent
{
    double us;
    double cpuUs;
    double commands;
};

Sent timedSend(Window &w, const QString &type)
{
    const double g = w.guid();
    const double cpu = threadCpuUs();
    const qint64 t = clockNs.nsecsElapsed();
    w.send(type);
    const double us = usSince(t);
    return {us, threadCpuUs() - cpu, w.guid() - g};
}

// Figure 2 and the single Eject of figure 3: Play on a loaded layer (Eject, Cue and Play sent),
// then Eject, then Cue on the unloaded layer, going round the layers.
void singleCommands(Window &w, const Options &o, QJsonObject &out, QStringList &problems)
{
    const int n = w.layers();
    std::vector<double> play, eject, cue, playCpu, cueCpu;
    for (int k = 0; k < o.iterations; ++k) {
        const int layer = k % n;
        w.selectLayer(layer);
        pump(0);

        Sent r = timedSend(w, QStringLiteral("DSK_Play"));
        play.push_back(r.us);
        playCpu.push_back(r.cpuUs);
        if (r.commands != 3 || !w.isLoaded(layer))
            problems << QStringLiteral("Play on loaded layer %1 sent %2 commands").arg(layer + 1).arg(r.commands);
        pump(0);

        r = timedSend(w, QStringLiteral("DSK_Eject"));
        eject.push_back(r.us);
        if (r.commands != 1 || w.isLoaded(layer))
            problems << QStringLiteral("Eject on layer %1 left it loaded").arg(layer + 1);
        pump(0);

        r = timedSend(w, QStringLiteral("DSK_Cue"));
        cue.push_back(r.us);
        cueCpu.push_back(r.cpuUs);
        if (r.commands != 1 || !w.isLoaded(layer))
            problems << QStringLiteral("Cue on unloaded layer %1 sent %2 commands").arg(layer + 1).arg(r.commands);
        pump(0);
    }
    out.insert(QStringLiteral("play"), toJson(play));
    out.insert(QStringLiteral("eject"), toJson(eject));
    out.insert(QStringLiteral("cue"), toJson(cue));
    out.insert(QStringLiteral("playCpu"), toJson(playCpu));
    out.insert(QStringLiteral("cueCpu"), toJson(cueCpu));
}

// Figure 3: Eject All over every layer, each loaded first.
void ejectAllRounds(Window &w, const Options &o, QJsonObject &out, QStringList &problems)
{
    const int n = w.layers();
    std::vector<double> ejectAll;
    const int rounds = std::max(o.warmup, o.iterations / 10);
    for (int k = 0; k < rounds; ++k) {
        for (int i = 0; i < n; ++i) {
            w.selectLayer(i);
            if (!w.isLoaded(i))
                w.send(QStringLiteral("DSK_Cue"));
        }
        w.selectLayer(0);
        pump(0);
        const double g = w.guid();
        const qint64 t = clockNs.nsecsElapsed();
        w.sendAll(QStringLiteral("DSK_Eject"));
        ejectAll.push_back(usSince(t));
        if (w.guid() != g + n)
            problems << QStringLiteral("Eject All sent %1 commands to %2 layers").arg(w.guid() - g).arg(n);
        pump(0);
    }
    out.insert(QStringLiteral("ejectAll"), toJson(ejectAll));
}

// The records of each path and the replies the stub gives them, written and read as the
// window and the layer write and read them: a function of the path's name.
QJSValue roundTripFunction(QQmlEngine &engine, Window &w)
{
    QJSValue factory = engine.evaluate(QStringLiteral(R"JS(
        (function (w) {
            var q = w.queues[0]
            function reply(type, status) {
                var r = { "_id": 1, "status": "Ok", "type": type }
                if (status)
                    r.data = { "status": status }
                return r
            }
            var sets = {
                "play": [q.DSK_Eject, reply("DSK_Eject", "Idle"), q.DSK_Cue, reply("DSK_Cue"),
                         reply("DSK_Cue", "Cued"), q.DSK_Play, reply("DSK_Play"), reply("DSK_Play", "Play")],
                "cue": [q.DSK_Cue, reply("DSK_Cue"), reply("DSK_Cue", "Cued")],
                "eject": [q.DSK_Eject, reply("DSK_Eject", "Idle")]
            }
            return function (name) {
                var s = sets[name]
                var ids = 0
                for (var i = 0; i < s.length; ++i)
                    ids += JSON.parse(JSON.stringify(s[i], null, 2))._id ? 1 : 0
                return ids
            }
        })
    )JS"));
    QJSValue roundTrip = factory.call({engine.newQObject(w.window())});
    engine.setObjectOwnership(w.window(), QQmlEngine::CppOwnership);
    return roundTrip;
}

// The baselines of figure 2: the JSON round trip of each path's records.
QJsonObject jsonBaseline(QQmlEngine &engine, Window &w, const Options &o, QStringList &problems)
{
    QJSValue roundTrip = roundTripFunction(engine, w);
    if (roundTrip.isError() || !roundTrip.isCallable())
        problems << QStringLiteral("baseline: ") + roundTrip.toString();
    QJsonObject baseline;
    for (const char *name : {"play", "cue", "eject"}) {
        std::vector<double> v;
        for (int k = 0; k < o.iterations + 20; ++k) {
            const qint64 t = clockNs.nsecsElapsed();
            const QJSValue r = roundTrip.call({QString::fromLatin1(name)});
            const double us = usSince(t);
            if (k >= 20) // the first calls compile the function
                v.push_back(us);
            if (!r.isNumber())
                problems << QStringLiteral("baseline %1: %2").arg(QLatin1String(name), r.toString());
        }
        baseline.insert(QLatin1String(name), toJson(v));
    }
    return baseline;
}

// Figures 2, 3 and 7: the cost of one operator command, and the same records' JSON round trip.
QJsonObject commandPath(QQmlEngine &engine, Window &w, const Options &o)
{
    QJsonObject out;
    QStringList problems;
    warmUp(w, o);
    singleCommands(w, o, out, problems);
    ejectAllRounds(w, o, out, problems);
    out.insert(QStringLiteral("layers"), w.layers());
    out.insert(QStringLiteral("baseline"), jsonBaseline(engine, w, o, problems));
    problems.removeDuplicates();
    out.insert(QStringLiteral("problems"), QJsonArray::fromStringList(problems.mid(0, 10)));
    return out;
}

// A client of the control port as a script would be: a blocking socket of its own, used from a
// thread of its own while the window's thread runs its event loop. -1 when it cannot connect.
int connectToPort(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// From the request written to its answer read, in microseconds, timed on the client's thread;
// the window's thread serves it meanwhile. `answer` gets the answer line.
double portRoundTrip(int fd, const QByteArray &request, QByteArray &answer)
{
    QEventLoop loop;
    double us = -1;
    answer.clear();
    std::thread client([&] {
        const qint64 t = clockNs.nsecsElapsed();
        if (::write(fd, request.constData(), size_t(request.size())) == ssize_t(request.size())) {
            char buffer[4096];
            while (!answer.contains('\n')) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                answer.append(buffer, int(n));
            }
            us = usSince(t);
        }
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    client.join();
    return us;
}

// Figure 9: Play on a loaded layer over the control port against the in-process send of the
// same Play, alternating on the same layer, in the same run.
QJsonObject controlPortRoundTrip(Window &w, quint16 port, const Options &o)
{
    QJsonObject out;
    QStringList problems;
    warmUp(w, o);
    const int fd = connectToPort(port);
    if (fd < 0) {
        out.insert(QStringLiteral("problems"), QJsonArray{QStringLiteral("cannot connect to the control port")});
        return out;
    }
    const int n = w.layers();
    std::vector<double> inProcess, overPort;
    for (int k = 0; k < o.iterations; ++k) {
        const int layer = k % n;
        w.selectLayer(layer);
        pump(0);
        const Sent r = timedSend(w, QStringLiteral("DSK_Play"));
        inProcess.push_back(r.us);
        pump(0);
        const double g = w.guid();
        QByteArray answer;
        const double us = portRoundTrip(
            fd, QStringLiteral("{\"do\":\"play\",\"layer\":%1,\"id\":%2}\n").arg(layer + 1).arg(k).toUtf8(), answer);
        overPort.push_back(us);
        const QJsonObject a = QJsonDocument::fromJson(answer).object();
        if (r.commands != 3 || w.guid() != g + 3 || a.value(QStringLiteral("guids")).toArray().size() != 3)
            problems << QStringLiteral("Play on layer %1 sent %2 in process, answered %3 over the port")
                            .arg(layer + 1)
                            .arg(r.commands)
                            .arg(QString::fromUtf8(answer.trimmed()));
        pump(0);
    }
    ::close(fd);
    out.insert(QStringLiteral("send"), toJson(inProcess));
    out.insert(QStringLiteral("port"), toJson(overPort));
    problems.removeDuplicates();
    out.insert(QStringLiteral("problems"), QJsonArray::fromStringList(problems.mid(0, 10)));
    return out;
}

// Frame timing of the window: swap to swap on the render thread, and the busy part of each frame
// (the GUI thread's animation step to the swap).
class FrameClock : public QObject
{
public:
    explicit FrameClock(QQuickWindow *w)
    {
        connect(
            w, &QQuickWindow::afterAnimating, this,
            [this] {
                // a step that changes nothing renders no frame: the latest step before a swap counts
                std::lock_guard<std::mutex> lock(m_mutex);
                m_started = clockNs.nsecsElapsed();
            },
            Qt::DirectConnection);
        connect(
            w, &QQuickWindow::frameSwapped, this,
            [this] {
                const qint64 now = clockNs.nsecsElapsed();
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_recording) {
                    m_swaps.push_back(now);
                    if (m_started >= 0)
                        m_busy.push_back((now - m_started) / 1e6);
                }
                m_started = -1;
            },
            Qt::DirectConnection);
    }

    // returns the number of frames swapped while recording
    size_t record(double seconds, std::vector<double> &intervals, std::vector<double> &busy)
    {
        start();
        pump(static_cast<int>(seconds * 1000));
        return stop(intervals, busy);
    }

    void start()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_swaps.clear();
        m_busy.clear();
        m_recording = true;
    }

    size_t stop(std::vector<double> &intervals, std::vector<double> &busy)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_recording = false;
        for (size_t i = 1; i < m_swaps.size(); ++i)
            intervals.push_back((m_swaps[i] - m_swaps[i - 1]) / 1e6);
        busy = m_busy;
        return m_swaps.size();
    }

private:
    std::mutex m_mutex;
    bool m_recording = false;
    qint64 m_started = -1;
    std::vector<qint64> m_swaps;
    std::vector<double> m_busy;
};

// Figure 4: every placeholder rotating and shown, then every layer hidden by Eject All.
QJsonObject rendering(Window &w, const Options &o)
{
    FrameClock frames(w.window());
    w.selectScene(0);
    for (int i = 0; i < w.layers(); ++i) {
        w.selectLayer(i);
        w.send(QStringLiteral("DSK_Play"));
    }
    int shown = 0;
    for (int i = 0; i < w.layers(); ++i)
        shown += w.render(i) && w.render(i)->isVisible() ? 1 : 0;
    pump(1000);
    std::vector<double> intervals, busy, hiddenIntervals, hiddenBusy;
    frames.record(o.seconds, intervals, busy);
    w.sendAll(QStringLiteral("DSK_Eject"));
    int stillShown = 0;
    for (int i = 0; i < w.layers(); ++i)
        stillShown += w.render(i) && w.render(i)->isVisible() ? 1 : 0;
    pump(1000);
    const size_t hiddenFrames = frames.record(o.seconds, hiddenIntervals, hiddenBusy);
    QJsonObject out;
    out.insert(QStringLiteral("shown"), shown);
    out.insert(QStringLiteral("shownAfterEjectAll"), stillShown);
    out.insert(QStringLiteral("interval"), toJson(intervals));
    out.insert(QStringLiteral("busy"), toJson(busy));
    out.insert(QStringLiteral("hiddenInterval"), toJson(hiddenIntervals));
    out.insert(QStringLiteral("hiddenBusy"), toJson(hiddenBusy));
    out.insert(QStringLiteral("hiddenFramesPerSecond"), hiddenFrames / o.seconds);
    return out;
}

// Figure 12c: the frame work of figure 4 once `pages` browser pages of the web page (opened by
// bench/web.py) are connected and subscribed.
QJsonObject withPages(ControlServer &control, Window &w, const Options &o)
{
    if (!waitUntil([&] { return control.connectionCount() >= o.pages; }, 120000))
        return {{"problems", QJsonArray{QStringLiteral("the pages did not connect")}}};
    pump(2000); // each page has its state, scenes and subscription
    QJsonObject out = rendering(w, o);
    out.insert(QStringLiteral("pages"), control.connectionCount());
    return out;
}

// Figure 4's baseline: the same frame timing in a bare window of the same size with one rotating
// rectangle (bare_animated.qml), loaded by the same kind of engine in the same kind of process.
QJsonObject bareRendering(QQuickWindow *window, const Options &o)
{
    FrameClock frames(window);
    pump(1000);
    std::vector<double> intervals, busy;
    frames.record(o.seconds, intervals, busy);
    QJsonObject out;
    out.insert(QStringLiteral("interval"), toJson(intervals));
    out.insert(QStringLiteral("busy"), toJson(busy));
    return out;
}

// Figure 10: what a video start on layer 1 costs the other layers' pictures, with every other
// layer's placeholder rotating: the largest gap between frames from the Play to 1.5 s later (the
// clip loops once meanwhile), against the largest gap of the same window over as long with
// placeholders only; and how long the Play holds the GUI thread, against a Play that starts a
// placeholder on the same layer.
double largest(const std::vector<double> &v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

struct StartSample
{
    double heldMs = 0; // the Play call
    double gapMs = 0;  // largest frame gap from the Play on
};

// Points the window's videos folder at a folder of `clips` (copies, in this order: scene 1 plays the
// first); false when it could not be made or the window does not list them.
bool useClips(Window &w, const QTemporaryDir &dir, const QStringList &clips)
{
    for (int i = 0; i < clips.size(); ++i) {
        const QString copy = dir.filePath(QStringLiteral("%1-%2").arg(i).arg(QFileInfo(clips[i]).fileName()));
        if (!QFile::copy(clips[i], copy))
            return false;
        // oldest first: each copy a second older than the next
        QFile file(copy);
        if (!file.open(QIODevice::ReadWrite)
            || !file.setFileTime(QDateTime::currentDateTime().addSecs(i - clips.size()),
                                 QFileDevice::FileModificationTime))
            return false;
    }
    w.window()->setProperty("mediaFolder", QUrl::fromLocalFile(dir.path() + QLatin1Char('/')));
    return waitUntil([&] { return w.window()->property("medias").toList().size() == clips.size(); }, 5000);
}

// Play on layer 1 of scene `scene` (its mixer ended, so the content is made anew), then the frames
// for `seconds`.
StartSample startLayer1(Window &w, FrameClock &frames, int scene, double seconds)
{
    QQuickItem *layer = w.render(0);
    layer->setProperty("requireReset", true); // the Eject ends the layer's mixer
    w.selectLayer(0);
    w.send(QStringLiteral("DSK_Eject"));
    pump(300);
    w.selectScene(scene);
    StartSample sample;
    std::vector<double> intervals, busy;
    frames.start();
    const qint64 t0 = clockNs.nsecsElapsed();
    w.send(QStringLiteral("DSK_Play"));
    sample.heldMs = usSince(t0) / 1000.0;
    pump(static_cast<int>(seconds * 1000));
    frames.stop(intervals, busy);
    sample.gapMs = largest(intervals);
    return sample;
}

QJsonObject videoStart(Window &w, const Options &o)
{
    QStringList problems;
    FrameClock frames(w.window());
    // scene 1 plays the clip, scene 2 (past the end of the list) its placeholder, as every layer
    // but the first
    QTemporaryDir clips;
    if (!clips.isValid() || !useClips(w, clips, {o.clip}))
        return {{QStringLiteral("problems"), QJsonArray{QStringLiteral("cannot list the clip")}}};
    w.selectScene(1);
    for (int i = 1; i < w.layers(); ++i) {
        w.selectLayer(i);
        w.send(QStringLiteral("DSK_Play"));
    }
    pump(1000);
    const double seconds = std::max(0.5, o.seconds);
    std::vector<double> gaps, baseGaps, held, baseHeld;
    for (int k = 0; k < std::max(1, o.iterations); ++k) {
        const StartSample video = startLayer1(w, frames, 0, seconds);
        QObject *player = w.render(0)->findChild<QObject *>(QStringLiteral("mediaPlayer"));
        if (!player || player->property("playbackState").toInt() != 1)
            problems << QStringLiteral("layer 1 is not playing its video");
        const StartSample placeholder = startLayer1(w, frames, 1, seconds);
        gaps.push_back(video.gapMs);
        held.push_back(video.heldMs);
        baseGaps.push_back(placeholder.gapMs);
        baseHeld.push_back(placeholder.heldMs);
    }
    problems.removeDuplicates();
    return {{QStringLiteral("gap"), toJson(gaps)},
            {QStringLiteral("baselineGap"), toJson(baseGaps)},
            {QStringLiteral("heldMs"), toJson(held)},
            {QStringLiteral("baselineHeldMs"), toJson(baseHeld)},
            {QStringLiteral("problems"), QJsonArray::fromStringList(problems)}};
}

// Figure 10d/e: the operator gives a layer that plays a video another file (Play of the next
// scene: Eject, Cue with the new file, Play): how long that holds the GUI thread, and the largest
// frame gap from then on, against the same Play keeping the file the layer plays. The two
// alternate, each on a layer that has played for a while.
QJsonObject videoSwap(Window &w, const Options &o)
{
    QStringList problems;
    // scenes 1 and 2 play the clip's two copies; scene 3 (past the list) is every other layer's
    // placeholder
    QTemporaryDir clips;
    if (!clips.isValid() || !useClips(w, clips, {o.clip, o.clip}))
        return {{QStringLiteral("problems"), QJsonArray{QStringLiteral("cannot list the clips")}}};
    FrameClock frames(w.window());
    w.selectScene(2);
    for (int i = 1; i < w.layers(); ++i) {
        w.selectLayer(i);
        w.send(QStringLiteral("DSK_Play"));
    }
    QQuickItem *layer = w.render(0);
    w.selectLayer(0);
    w.selectScene(0);
    w.send(QStringLiteral("DSK_Play"));
    pump(1000);
    int playing = 0;
    const auto play = [&](int scene, std::vector<double> &held, std::vector<double> &gaps) {
        std::vector<double> intervals, busy;
        frames.start();
        const qint64 t0 = clockNs.nsecsElapsed();
        w.selectScene(scene);
        w.send(QStringLiteral("DSK_Play"));
        held.push_back(usSince(t0) / 1000.0);
        pump(static_cast<int>(std::max(0.5, o.seconds) * 1000));
        frames.stop(intervals, busy);
        gaps.push_back(largest(intervals));
        QObject *player = layer->findChild<QObject *>(QStringLiteral("mediaPlayer"));
        if (!player || player->property("playbackState").toInt() != 1)
            problems << QStringLiteral("layer 1 is not playing its video");
    };
    std::vector<double> held, gaps, baseHeld, baseGaps;
    for (int k = 0; k < std::max(1, o.iterations); ++k) {
        playing = 1 - playing;
        play(playing, held, gaps);
        play(playing, baseHeld, baseGaps);
    }
    problems.removeDuplicates();
    return {{QStringLiteral("heldMs"), toJson(held)},
            {QStringLiteral("baselineHeldMs"), toJson(baseHeld)},
            {QStringLiteral("gap"), toJson(gaps)},
            {QStringLiteral("baselineGap"), toJson(baseGaps)},
            {QStringLiteral("problems"), QJsonArray::fromStringList(problems)}};
}

// Figure 13: scene templates. SCENE-01 names the built-in lower third with its data, SCENE-02 is
// a scene as built (the placeholder). The Cue of the template the first time (compiled then) and
// later, against a placeholder's Cue, each until its final answer; the largest frame gap while the
// template is first cued, with every other layer's placeholder turning, against the same window's
// largest gap over as long without it; and the frame work with every layer showing a lower third
// against every layer showing its placeholder.
bool writeScene(const QString &data, const QString &scene, const QByteArray &container)
{
    QFile file(data + "/" + scene + "/" + scene + ".gfxc");
    return QDir().mkpath(data + "/" + scene) && file.open(QIODevice::WriteOnly) && file.write(container) > 0;
}

// ms from a Cue on `layer` until the layer has its final answer (the template made)
double cueUntilAnswered(Window &w, int layer, double &heldMs, QStringList &problems)
{
    w.selectLayer(layer);
    const qint64 t0 = clockNs.nsecsElapsed();
    w.send(QStringLiteral("DSK_Cue"));
    heldMs = usSince(t0) / 1000.0;
    QQuickItem *r = w.render(layer);
    if (!waitUntil([&] { return r && r->property("isLoaded").toBool() && r->property("waitGuid").toDouble() == 0; },
                   30000))
        problems << QStringLiteral("Cue on layer %1 got no final answer").arg(layer + 1);
    return usSince(t0) / 1000.0;
}

QJsonObject templates(Window &w, const Options &o)
{
    QStringList problems;
    QTemporaryDir data;
    const bool written =
        data.isValid()
        && writeScene(data.path(), "SCENE-01",
                      R"({"graphics_id": "SCENE-01", "template_name": "lower-third", "template_params": [
                          {"name": "name", "value": "Ada Lovelace"}, {"name": "title", "value": "Mathematician"}]})")
        && writeScene(data.path(), "SCENE-02", R"({"graphics_id": "SCENE-02", "template_name": "SCENE-02.gfx"})");
    if (!written)
        return {{QStringLiteral("problems"), QJsonArray{QStringLiteral("cannot write the scenes")}}};
    w.window()->setProperty("dataUrl", QUrl::fromLocalFile(data.path()).toString());
    FrameClock frames(w.window());
    // every layer but the first shows its placeholder
    w.selectScene(1);
    for (int i = 1; i < w.layers(); ++i) {
        w.selectLayer(i);
        w.send(QStringLiteral("DSK_Play"));
    }
    pump(1000);

    // the first Cue of the template on layer 1, and the frames meanwhile; then as long without it
    std::vector<double> intervals, baseIntervals, busy, baseBusy;
    double held = 0;
    w.selectScene(0);
    frames.start();
    const double first = cueUntilAnswered(w, 0, held, problems);
    pump(200);
    frames.stop(intervals, busy);
    frames.start();
    pump(static_cast<int>(first) + 200);
    frames.stop(baseIntervals, baseBusy);
    QQuickItem *graphic = w.render(0) ? w.render(0)->findChild<QQuickItem *>(QStringLiteral("sceneGraphic")) : nullptr;
    if (!graphic || !graphic->property("hasTemplate").toBool())
        problems << QStringLiteral("layer 1 has no template after its Cue");

    std::vector<double> later, placeholder, laterHeld, placeholderHeld;
    for (int k = 0; k < std::max(1, o.iterations); ++k) {
        double ms = 0;
        w.selectScene(0);
        later.push_back(cueUntilAnswered(w, 0, ms, problems));
        laterHeld.push_back(ms);
        pump(0);
        w.selectScene(1);
        placeholder.push_back(cueUntilAnswered(w, 0, ms, problems));
        placeholderHeld.push_back(ms);
        pump(0);
    }

    // frame work: every layer showing its placeholder, then every layer showing a lower third
    std::vector<double> placeholderFrames, placeholderWork, templateFrames, templateWork;
    w.selectScene(1);
    for (int i = 0; i < w.layers(); ++i) {
        w.selectLayer(i);
        w.send(QStringLiteral("DSK_Play"));
    }
    pump(1000);
    frames.record(o.seconds, placeholderFrames, placeholderWork);
    w.selectScene(0);
    for (int i = 0; i < w.layers(); ++i) {
        w.selectLayer(i);
        w.send(QStringLiteral("DSK_Play"));
    }
    waitUntil(
        [&] {
            for (int i = 0; i < w.layers(); ++i) {
                if (!w.render(i) || !w.render(i)->isVisible())
                    return false;
            }
            return true;
        },
        30000);
    pump(1500);
    frames.record(o.seconds, templateFrames, templateWork);
    problems.removeDuplicates();
    return {{QStringLiteral("firstCueMs"), first},
            {QStringLiteral("firstCueHeldMs"), held},
            {QStringLiteral("laterCueMs"), toJson(later)},
            {QStringLiteral("placeholderCueMs"), toJson(placeholder)},
            {QStringLiteral("laterCueHeldMs"), toJson(laterHeld)},
            {QStringLiteral("placeholderCueHeldMs"), toJson(placeholderHeld)},
            {QStringLiteral("gap"), largest(intervals)},
            {QStringLiteral("baselineGap"), largest(baseIntervals)},
            {QStringLiteral("templateBusy"), toJson(templateWork)},
            {QStringLiteral("placeholderBusy"), toJson(placeholderWork)},
            {QStringLiteral("problems"), QJsonArray::fromStringList(problems)}};
}

// Figure 5: resident size after start and after so many operator commands over all layers.
QJsonObject memory(Window &w, const Options &o)
{
    const QStringList types = {QStringLiteral("DSK_Cue"), QStringLiteral("DSK_Play"), QStringLiteral("DSK_Stop"),
                               QStringLiteral("DSK_Eject")};
    pump(1000);
    QJsonObject out;
    QJsonArray points;
    points.append(QJsonObject{{QStringLiteral("commands"), 0},
                              {QStringLiteral("kB"), static_cast<double>(residentKb(getpid()))}});
    const int n = std::max(1, w.layers());
    int done = 0;
    for (int checkpoint : o.checkpoints) {
        for (; done < checkpoint; ++done) {
            w.selectLayer(done % n);
            w.selectScene((done / n) % 9);
            w.send(types[(done / 7) % types.size()]);
            QCoreApplication::processEvents();
            if (done % 10000 == 9999 && traceFd != 2) {
                // the trace of 100,000 commands would fill the disk; the file is started again
                if (ftruncate(traceFd, 0) != 0 || lseek(traceFd, 0, SEEK_SET) < 0) { }
            }
        }
        pump(500);
        points.append(QJsonObject{{QStringLiteral("commands"), checkpoint},
                                  {QStringLiteral("kB"), static_cast<double>(residentKb(getpid()))}});
    }
    out.insert(QStringLiteral("points"), points);
    return out;
}

// Figure 8: frames from a click on Play (on a loaded, hidden layer) to the first frame whose
// preview shows that layer's picture, read back from the frame buffer just before its swap.
class PreviewProbe : public QObject
{
public:
    PreviewProbe(QQuickWindow *w, QRect area) : m_area(area)
    {
        connect(
            w, &QQuickWindow::afterRendering, this,
            [this, w] {
                QOpenGLContext *gl = QOpenGLContext::currentContext();
                if (!gl)
                    return;
                const qreal dpr = w->effectiveDevicePixelRatio();
                const QRect a(QPoint(int(m_area.x() * dpr), int(m_area.y() * dpr)),
                              QSize(int(m_area.width() * dpr), int(m_area.height() * dpr)));
                const int fbHeight = int(w->height() * dpr);
                std::vector<uchar> pixels(size_t(a.width() * a.height() * 4));
                gl->functions()->glReadPixels(a.x(), fbHeight - a.y() - a.height(), a.width(), a.height(), GL_RGBA,
                                              GL_UNSIGNED_BYTE, pixels.data());
                int red = 0;
                for (size_t i = 0; i + 3 < pixels.size(); i += 4)
                    red += pixels[i] > 200 && pixels[i + 1] < 80 && pixels[i + 2] < 80 ? 1 : 0;
                m_pendingVisible = red * 4 >= a.width() * a.height(); // a quarter of the sample is the layer's red
            },
            Qt::DirectConnection);
        connect(
            w, &QQuickWindow::frameSwapped, this,
            [this] {
                const int frame = ++m_frames;
                if (m_pendingVisible)
                    m_lastVisibleFrame = frame;
                else
                    m_lastHiddenFrame = frame;
                m_swapNs = clockNs.nsecsElapsed();
            },
            Qt::DirectConnection);
    }

    std::atomic<int> m_frames{0};
    std::atomic<int> m_lastVisibleFrame{-1};
    std::atomic<int> m_lastHiddenFrame{-1};
    std::atomic<qint64> m_swapNs{0};

private:
    QRect m_area;
    std::atomic<bool> m_pendingVisible{false};
};

// Where the probe samples: layer 1's rotating box stands at x 160..640 of the 1920 x 1080 atlas,
// centred at y 540; a circle of radius 135 round its centre is always inside it. Sample 20 x 20
// atlas pixels 80 below the centre, clear of the scene name.
QRect previewSample(QQuickItem *preview)
{
    const double scale = preview->width() / 1920.0;
    const QPointF topLeft = preview->mapToScene(QPointF((400 - 10) * scale, (540 + 80 - 10) * scale));
    return QRect(topLeft.toPoint(), QSize(std::max(2, int(20 * scale)), std::max(2, int(20 * scale))));
}

struct ClickSamples
{
    std::vector<double> frames, ms, periods;
};

// One click on Play with layer 1 cued and hidden, until the preview shows it.
void clickOnce(Window &w, PreviewProbe &probe, QPointF click, int k, ClickSamples &out, QStringList &problems)
{
    w.send(QStringLiteral("DSK_Cue")); // loaded and hidden
    const int hiddenFrom = probe.m_frames;
    // a window where nothing changes renders nothing: the clock's tick brings a frame each second
    if (!waitUntil(
            [&] { return probe.m_lastHiddenFrame > hiddenFrom && probe.m_lastHiddenFrame > probe.m_lastVisibleFrame; },
            5000)) {
        problems << QStringLiteral("the layer did not disappear after Cue");
        return;
    }
    pump(k % 2 == 0 ? 7 : 13); // the click lands anywhere within the frame period
    const int before = probe.m_frames;
    const qint64 t0 = clockNs.nsecsElapsed();
    QTest::mouseClick(w.window(), Qt::LeftButton, Qt::NoModifier, click.toPoint());
    if (!w.isLoaded(0) || !w.render(0)->isVisible())
        problems << QStringLiteral("the click on Play did not play layer 1");
    if (!waitUntil([&] { return probe.m_lastVisibleFrame > before; }, 5000)) {
        problems << QStringLiteral("layer 1 never showed in the preview");
        return;
    }
    out.frames.push_back(probe.m_lastVisibleFrame - before);
    out.ms.push_back((probe.m_swapNs - t0) / 1e6);
    const qint64 s0 = probe.m_swapNs;
    const int f0 = probe.m_frames;
    pump(100);
    if (probe.m_frames > f0)
        out.periods.push_back((probe.m_swapNs - s0) / 1e6 / (probe.m_frames - f0));
}

QJsonObject clickToPreview(Window &w, const Options &o)
{
    QJsonObject out;
    QStringList problems;
    QQuickItem *preview = w.window()->findChild<QQuickItem *>(QStringLiteral("preview"));
    QQuickItem *play = w.button(QStringLiteral("Play"));
    if (!preview || !play) {
        out.insert(QStringLiteral("problems"),
                   QJsonArray{preview ? QStringLiteral("no Play button") : QStringLiteral("no preview")});
        return out;
    }
    PreviewProbe probe(w.window(), previewSample(preview));
    const QPointF click = play->mapToScene(QPointF(play->width() / 2, play->height() / 2));

    w.selectScene(0);
    w.selectLayer(0);
    ClickSamples samples;
    for (int k = 0; k < o.iterations; ++k)
        clickOnce(w, probe, click, k, samples, problems);
    out.insert(QStringLiteral("frames"), toJson(samples.frames));
    out.insert(QStringLiteral("ms"), toJson(samples.ms));
    out.insert(QStringLiteral("framePeriod"), toJson(samples.periods));
    out.insert(QStringLiteral("refreshHz"), w.window()->screen() ? w.window()->screen()->refreshRate() : 60.0);
    problems.removeDuplicates();
    out.insert(QStringLiteral("problems"), QJsonArray::fromStringList(problems));
    return out;
}

// Figures 11e and 11h-11i: frames of the program output that were late, with every placeholder
// rotating and shown (the window shown, then hidden), then with every layer hidden by Eject All;
// the process's CPU time per output frame with the window shown and hidden.
QJsonObject outputLateness(Window &w, ProgramOutput &output, const Options &o)
{
    w.selectScene(0);
    for (int i = 0; i < w.layers(); ++i) {
        w.selectLayer(i);
        w.send(QStringLiteral("DSK_Play"));
    }
    pump(1000);
    const auto measure = [&](const char *sentKey, const char *lateKey, QJsonObject &out) {
        const long long sent = output.framesSent();
        const long long late = output.framesLate();
        pump(static_cast<int>(o.seconds * 1000));
        out.insert(QLatin1String(sentKey), double(output.framesSent() - sent));
        out.insert(QLatin1String(lateKey), double(output.framesLate() - late));
    };
    QJsonObject out;
    const auto cpuMs = [] {
        struct timespec t;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    double cpu = cpuMs();
    long long sent = output.framesSent();
    measure("sent", "late", out);
    out.insert(QStringLiteral("cpuMsPerFrame"), (cpuMs() - cpu) / double(std::max(1LL, output.framesSent() - sent)));
    // the operator's window out of sight (its scene graph stops drawing), every layer still shown
    w.window()->hide();
    pump(1000);
    cpu = cpuMs();
    sent = output.framesSent();
    measure("windowHiddenSent", "windowHiddenLate", out);
    out.insert(QStringLiteral("windowHiddenCpuMsPerFrame"),
               (cpuMs() - cpu) / double(std::max(1LL, output.framesSent() - sent)));
    w.window()->show();
    pump(1000);
    w.sendAll(QStringLiteral("DSK_Eject"));
    pump(1000);
    measure("hiddenSent", "hiddenLate", out);
    out.insert(QStringLiteral("readbackMs"), output.readbackMs());
    out.insert(QStringLiteral("conversionMs"), output.conversionMs());
    return out;
}

// Layer 1's rotating box (centre x 400, y 540 of the frame) always covers the circle of radius
// 135 round its centre, and its white scene name turns with it: of eight points on a circle of
// radius 110, the name covers at most two. The number of those points in the layer's red.
int layerOnePoints(const QImage &frame)
{
    if (frame.width() < 1920 || frame.height() < 1080)
        return 0;
    int red = 0;
    for (int k = 0; k < 8; ++k) {
        const double angle = k * M_PI / 4;
        const QRgb p = frame.pixel(400 + int(110 * std::cos(angle)), 540 + int(110 * std::sin(angle)));
        red += qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80 ? 1 : 0;
    }
    return red;
}

// Figure 11f: output frames from the moment a Play shows the layer in the window (its render
// turns visible; the layer's own timing before that is not the output's) to the first frame of
// the program output that shows it; 1 is the very next frame.
QJsonObject playToOutput(Window &w, ProgramOutput &output, const Options &o)
{
    output.setViewed(true);
    QStringList problems;
    std::vector<double> frames;
    w.selectScene(0);
    w.selectLayer(0);
    QQuickItem *layer = w.render(0);
    // the next output frame's number at the moment the layer turns visible
    long long shownAt = -1;
    QObject::connect(layer, &QQuickItem::visibleChanged, layer, [&] {
        if (layer->isVisible())
            shownAt = output.framesSent();
    });
    // the newest frame's number, and whether it shows the layer (1), lacks it (0) or is unclear
    const auto latest = [&output] {
        int number = -1;
        const int red = layerOnePoints(output.viewImage(&number));
        return std::make_pair(number, red >= 4 ? 1 : red == 0 ? 0 : -1);
    };
    for (int k = 0; k < o.iterations; ++k) {
        // hidden and loaded again; a Play still due from before may show it once more, so again
        bool hidden = false;
        for (int attempt = 0; attempt < 3 && !hidden; ++attempt) {
            w.send(QStringLiteral("DSK_Eject"));
            w.send(QStringLiteral("DSK_Cue"));
            const int cuedFrom = latest().first;
            hidden = waitUntil([&] { return !layer->isVisible() && latest().first > cuedFrom && latest().second == 0; },
                               5000);
        }
        if (!hidden) {
            problems << QStringLiteral("the layer did not leave the output after Eject and Cue");
            continue;
        }
        pump(7 + (k * 13) % 37); // the Play lands anywhere within the frame period
        shownAt = -1;
        w.send(QStringLiteral("DSK_Play"));
        int shownIn = -1;
        const auto shown = [&] {
            const auto l = latest();
            if (shownAt >= 0 && l.second == 1 && l.first >= shownAt - 1)
                shownIn = l.first;
            return shownIn >= 0;
        };
        if (!waitUntil(shown, 15000)) {
            problems << QStringLiteral("layer 1 never showed in the output");
            continue;
        }
        frames.push_back(double(shownIn - shownAt + 1));
    }
    QJsonObject out;
    out.insert(QStringLiteral("frames"), toJson(frames));
    problems.removeDuplicates();
    out.insert(QStringLiteral("problems"), QJsonArray::fromStringList(problems));
    return out;
}
// Figures 11j-11l: a clean feed window of the program output open beside the window, every layer
// shown: what handing a frame to the views costs the clock thread, the feed window's own work per
// frame (sync and draw on its render thread) and the process's CPU time per output frame.
QJsonObject feedWindowCost(QQmlApplicationEngine &engine, Window &w, ProgramOutput &output, const Options &o)
{
    QJsonObject out;
    QQmlComponent component(&engine);
    component.setData("import QtQuick 2.12\nimport ProgramFeed 1.0\nFeedWindow { width: 960; height: 540 }", QUrl());
    std::unique_ptr<QObject> made(component.create());
    auto *feed = qobject_cast<QQuickWindow *>(made.get());
    if (!feed) {
        out.insert(QStringLiteral("problems"),
                   QJsonArray{QStringLiteral("no feed window: ") + component.errorString()});
        return out;
    }
    feed->setProperty("output", QVariant::fromValue<QObject *>(&output));
    feed->show();
    w.selectScene(0);
    for (int i = 0; i < w.layers(); ++i) {
        w.selectLayer(i);
        w.send(QStringLiteral("DSK_Play"));
    }
    pump(2000);
    // set and read on the feed's render thread, then read here once it has stopped measuring
    std::mutex lock;
    std::vector<double> work;
    qint64 began = 0;
    bool measuring = true;
    QObject::connect(
        feed, &QQuickWindow::beforeSynchronizing, feed, [&] { began = clockNs.nsecsElapsed(); }, Qt::DirectConnection);
    QObject::connect(
        feed, &QQuickWindow::afterRendering, feed,
        [&] {
            std::lock_guard<std::mutex> hold(lock);
            if (measuring && began)
                work.push_back((clockNs.nsecsElapsed() - began) / 1e6);
        },
        Qt::DirectConnection);
    const auto cpuMs = [] {
        struct timespec t;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    const double cpu = cpuMs();
    const long long sent = output.framesSent();
    pump(static_cast<int>(o.seconds * 1000));
    const double frames = double(std::max(1LL, output.framesSent() - sent));
    out.insert(QStringLiteral("cpuMsPerFrame"), (cpuMs() - cpu) / frames);
    {
        std::lock_guard<std::mutex> hold(lock);
        measuring = false;
        out.insert(QStringLiteral("feedWorkMs"), toJson(work));
        out.insert(QStringLiteral("feedFramesPerOutputFrame"), double(work.size()) / frames);
    }
    out.insert(QStringLiteral("publishMs"), output.publishMs());
    out.insert(QStringLiteral("sharesTextures"), output.sharesTextures());
    feed->close();
    made.reset();
    return out;
}

// Traces go to this file from now on; false when it cannot be written.
bool traceTo(const QString &path)
{
    traceFd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (traceFd < 0) {
        std::fprintf(stderr, "cannot write the trace file %s\n", qPrintable(path));
        return false;
    }
    qInstallMessageHandler(traceToFile);
    return true;
}

// The frame-work baselines' windows, by host mode: a bare window with one rotating rectangle, and
// the floor of 12 rotating boxes through one preview-sized texture view.
QString bareDocument(const QString &mode)
{
    if (mode == QLatin1String("bare-render"))
        return QStringLiteral(ORVANE_BENCH_BARE_ANIMATED);
    if (mode == QLatin1String("bare-preview"))
        return QStringLiteral(ORVANE_BENCH_BARE_PREVIEW);
    return QString();
}

// The output window (or a frame-work baseline's window, `bare`) loaded into `engine` and shown
// with its first frame; null after a message. With `output` the window gets it as the program
// hands it over for --output.
QQuickWindow *loadWindow(QQmlApplicationEngine &engine, const QString &bare, ProgramOutput *output)
{
    // ORVANE_BENCH_QML_DIR measures a changed copy of the documents against the tree's own
    const QString qmlDir = qEnvironmentVariable("ORVANE_BENCH_QML_DIR", QStringLiteral(ORVANE_QML_DIR));
    engine.addImportPath(QStringLiteral(ORVANE_PLUGINS_DIR));
    engine.addImportPath(qmlDir);
    if (output) {
        engine.setInitialProperties({{QStringLiteral("programOutput"), QVariant::fromValue<QObject *>(output)}});
    }
    engine.load(QUrl::fromLocalFile(bare.isEmpty() ? qmlDir + QStringLiteral("/main.qml") : bare));
    auto *window =
        engine.rootObjects().isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (!window) {
        std::fprintf(stderr, "the output window did not load (see the trace)\n");
        return nullptr;
    }
    // set on the render thread, which may still swap a frame while this returns
    static std::atomic<bool> shown{false};
    QObject::connect(
        window, &QQuickWindow::frameSwapped, window, [] { shown = true; }, Qt::DirectConnection);
    if (!waitUntil([&] { return shown && window->contentItem()->width() > 0; }, 30000)) {
        std::fprintf(stderr, "the output window showed no frame\n");
        return nullptr;
    }
    return window;
}

} // namespace

int runHost(int argc, char *argv[])
{
    const Options o = parse(argc, argv);
    if (!o.trace.isEmpty() && !traceTo(o.trace))
        return 2;
    clockNs.start();

    VideoPlayback videoPlayback; // as the program: a video start must not hold the other layers
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    // as the program: the windows draw the program output's textures (unless measuring the copies)
    if (o.views != QLatin1String("copies"))
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QGuiApplication app(argc, argv);
    setOrvaneIdentity();
    // the program output as the program makes it for --output
    std::unique_ptr<ProgramOutput> output;
    if (!o.output.isEmpty()) {
        QString error;
        // "none": the output for its feed windows alone, as --program without --output
        output = ProgramOutput::create(o.output == QLatin1String("none") ? QStringList() : QStringList{o.output}, 25, 1,
                                       &error);
        if (!output) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 2;
        }
    }
    QQmlApplicationEngine engine;
    // the control port, as the program opens it with --control (any free port here)
    ControlServer control;
    ControlPort controlPort(control);
    if (o.mode == QLatin1String("control")) {
        if (!control.listen(QHostAddress::LocalHost, 0)) {
            std::fprintf(stderr, "cannot open a control port: %s\n", qPrintable(control.errorString()));
            return 2;
        }
        engine.setInitialProperties({{QStringLiteral("controlPort"), QVariant::fromValue<QObject *>(&controlPort)}});
    }
    // the web page, as the program serves it with --web, on the port written to --port-file
    WebServer web(&control, QStringLiteral(ORVANE_BIN_DIR "/web"));
    if (o.mode == QLatin1String("web")) {
        QFile portFile(o.portFile);
        if (!web.listen(QHostAddress::LocalHost, 0) || !portFile.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot open the web page: %s\n", qPrintable(web.errorString()));
            return 2;
        }
        portFile.write(QByteArray::number(web.port()));
        engine.setInitialProperties({{QStringLiteral("controlPort"), QVariant::fromValue<QObject *>(&control)}});
    }
    const QString bareFile = bareDocument(o.mode);
    const bool bare = !bareFile.isEmpty();
    QQuickWindow *window = loadWindow(engine, bareFile, output.get());
    if (!window)
        return 2;
    pump(200);

    Window w(window);
    QJsonObject result;
    if (bare)
        result = bareRendering(window, o);
    else if (o.mode == QLatin1String("command"))
        result = commandPath(engine, w, o);
    else if (o.mode == QLatin1String("render"))
        result = rendering(w, o);
    else if (o.mode == QLatin1String("memory"))
        result = memory(w, o);
    else if (o.mode == QLatin1String("preview"))
        result = clickToPreview(w, o);
    else if (o.mode == QLatin1String("control"))
        result = controlPortRoundTrip(w, quint16(control.port()), o);
    else if (o.mode == QLatin1String("video"))
        result = videoStart(w, o);
    else if (o.mode == QLatin1String("web"))
        result = withPages(control, w, o);
    else if (o.mode == QLatin1String("videoSwap"))
        result = videoSwap(w, o);
    else if (o.mode == QLatin1String("templates"))
        result = templates(w, o);
    else if (o.mode == QLatin1String("outputLate") && output)
        result = outputLateness(w, *output, o);
    else if (o.mode == QLatin1String("outputDelay") && output)
        result = playToOutput(w, *output, o);
    else if (o.mode == QLatin1String("outputFeed") && output)
        result = feedWindowCost(engine, w, *output, o);
    else {
        std::fprintf(stderr, "unknown mode %s\n", qPrintable(o.mode));
        return 2;
    }
    result.insert(QStringLiteral("mode"), o.mode);
    if (!bare)
        result.insert(QStringLiteral("layers"), w.layers());
    if (output) {
        result.insert(QStringLiteral("readbackMs"), output->readbackMs());
        result.insert(QStringLiteral("conversionMs"), output->conversionMs());
    }

    QFile file(o.result);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(result).toJson()) < 0)
        return 2;
    file.close();
    // leave at once: the figures are written, and closing the window would only add its traces
    std::fflush(nullptr);
    _exit(0);
}

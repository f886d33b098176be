// Outputs side by side, as an operator runs them on one desktop: the real program started with
// --box N under the test's display, in one home. Registered twice: on a bare X server and under
// a real window manager (openbox), which decorates, places and stacks the windows itself.
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <map>
#include <memory>
#include <vector>

namespace {

const QString program = QStringLiteral(ORVANE_BIN_DIR "/Orvane");
constexpr int startTimeout = 60000;

// Rows of a window's control bar with its buttons drawn, from the top of its content (pixels).
constexpr int barTop = 11;
constexpr int barBottom = 47;

// Windows come and go while the tree is walked; asking about one just gone is no failure.
int ignoreErrors(Display *, XErrorEvent *) { return 0; }

std::vector<unsigned long> cardinals(Display *display, Window window, const char *name, Atom type, long count)
{
    std::vector<unsigned long> values;
    const Atom property = XInternAtom(display, name, True);
    if (property == None)
        return values;
    Atom actual = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, count, False, type, &actual, &format, &items, &after, &data)
            == Success
        && data && format == 32)
        values.assign(reinterpret_cast<unsigned long *>(data), reinterpret_cast<unsigned long *>(data) + items);
    if (data)
        XFree(data);
    return values;
}

QString windowTitle(Display *display, Window window)
{
    const Atom name = XInternAtom(display, "_NET_WM_NAME", True);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", True);
    QString title;
    Atom actual = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    if (name != None
        && XGetWindowProperty(display, window, name, 0, 1024, False, utf8, &actual, &format, &items, &after, &data)
               == Success
        && data && format == 8)
        title = QString::fromUtf8(reinterpret_cast<char *>(data), int(items));
    if (data)
        XFree(data);
    return title;
}

// What the operator sees of one output's window.
struct Placed
{
    QRect client;      // the window's content on the screen
    QRect frame;       // with the window manager's decoration (the content alone without one)
    int stacking = -1; // place from the bottom among the screen's top-level windows
};

// The shown window titled `title` of process `pid`, if there is one.
bool findWindow(Display *display, qint64 pid, const QString &title, Placed &placed)
{
    const Window root = DefaultRootWindow(display);
    Window top = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &top, &parent, &children, &count))
        return false;
    std::vector<Window> tops(children, children + count);
    if (children)
        XFree(children);
    for (size_t i = 0; i < tops.size(); ++i) {
        // the top-level window is the output's own, or the frame a window manager put around it
        std::vector<Window> pending{tops[i]};
        while (!pending.empty()) {
            const Window w = pending.back();
            pending.pop_back();
            Window r = 0, p = 0, *kids = nullptr;
            unsigned int n = 0;
            if (XQueryTree(display, w, &r, &p, &kids, &n)) {
                pending.insert(pending.end(), kids, kids + n);
                if (kids)
                    XFree(kids);
            }
            const auto owner = cardinals(display, w, "_NET_WM_PID", XA_CARDINAL, 1);
            if (owner.size() != 1 || qint64(owner[0]) != pid || windowTitle(display, w) != title)
                continue;
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(display, w, &attributes) || attributes.map_state != IsViewable)
                continue;
            int x = 0, y = 0;
            Window child = 0;
            XTranslateCoordinates(display, w, root, 0, 0, &x, &y, &child);
            placed.client = QRect(x, y, attributes.width, attributes.height);
            const auto extents = cardinals(display, w, "_NET_FRAME_EXTENTS", XA_CARDINAL, 4);
            placed.frame = extents.size() == 4 ? placed.client.adjusted(-int(extents[0]), -int(extents[2]),
                                                                        int(extents[1]), int(extents[3]))
                                               : placed.client;
            placed.stacking = int(i);
            return true;
        }
    }
    return false;
}

} // namespace

class TestOutputs : public QObject
{
    Q_OBJECT

    Display *m_display = nullptr;
    std::map<int, std::unique_ptr<QProcess>> m_outputs; // by output number
    std::map<QProcess *, QByteArray> m_logs;

    QProcess *start(int box, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->start(program, {"--box", QString::number(box)});
        if (!process->waitForStarted(10000))
            return nullptr;
        QProcess *raw = process.get();
        if (m_outputs.count(box))
            stop(box);
        m_outputs[box] = std::move(process);
        return raw;
    }

    QByteArray log(QProcess *p)
    {
        m_logs[p] += p->readAllStandardError() + p->readAllStandardOutput();
        return m_logs[p];
    }

    static QString title(int box) { return QStringLiteral("Orvane --box %1").arg(box); }

    bool shown(int box, Placed &placed)
    {
        QProcess *p = m_outputs[box].get();
        return p && p->state() == QProcess::Running && findWindow(m_display, p->processId(), title(box), placed);
    }

    void waitForWindow(int box)
    {
        Placed placed;
        QDeadlineTimer deadline(startTimeout);
        while (!shown(box, placed)) {
            QVERIFY2(m_outputs[box]->state() == QProcess::Running, log(m_outputs[box].get()).constData());
            QVERIFY2(!deadline.hasExpired(), qPrintable("no window " + title(box)));
            QTest::qWait(100);
        }
    }

    void stop(int box)
    {
        auto found = m_outputs.find(box);
        if (found == m_outputs.end())
            return;
        QProcess *p = found->second.get();
        if (p->state() != QProcess::NotRunning) {
            p->terminate();
            if (!p->waitForFinished(10000)) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        m_logs.erase(p);
        m_outputs.erase(found);
    }

    // Output `box`'s control bar is covered by the frame of a window above it.
    QString covered(const std::map<int, Placed> &placed, int box)
    {
        const Placed &below = placed.at(box);
        const QRect bar(below.client.left(), below.client.top() + barTop, below.client.width(), barBottom - barTop);
        for (const auto &other : placed) {
            if (other.first != box && other.second.stacking > below.stacking && other.second.frame.intersects(bar))
                return QStringLiteral("the bar of output %1 at %2,%3 is under output %4 at %5,%6")
                    .arg(box)
                    .arg(bar.x())
                    .arg(bar.y())
                    .arg(other.first)
                    .arg(other.second.frame.x())
                    .arg(other.second.frame.y());
        }
        return QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "these tests need an X display");
        // one connection for the whole run keeps the X server from resetting between programs
        m_display = XOpenDisplay(nullptr);
        QVERIFY(m_display);
        XSetErrorHandler(ignoreErrors);
    }

    void cleanup()
    {
        while (!m_outputs.empty())
            stop(m_outputs.begin()->first);
    }

    void cleanupTestCase()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    // A second start of a running output would write the same configuration, queue file and
    // settings: it ends at once with status 3 and names the running program. After that program
    // is killed (its lock left behind), the next start takes over.
    void oneProgramPerOutput()
    {
        QProcess *first = start(2);
        QVERIFY(first);
        waitForWindow(2);
        const QString config = qEnvironmentVariable("XDG_DATA_HOME") + "/Quarnet/Orvane/output_config-2.json";
        QVERIFY(QFileInfo::exists(config));
        const QDateTime written = QFileInfo(config).lastModified();

        QProcess second;
        second.start(program, {"--box", "2"});
        QVERIFY(second.waitForFinished(startTimeout));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 3);
        const QString said = QString::fromLocal8Bit(second.readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("Output 2 is already running (process %1)\n").arg(first->processId())),
                 qPrintable(said));
        QCOMPARE(QFileInfo(config).lastModified(), written);

        // another output runs beside it
        QVERIFY(start(1));
        waitForWindow(1);

        // the first is killed, leaving its lock; the next start takes the output over
        first->kill();
        QVERIFY(first->waitForFinished(10000));
        QVERIFY(QFileInfo::exists(qEnvironmentVariable("XDG_DATA_HOME") + "/Quarnet/Orvane/output-2.lock"));
        QProcess *next = start(2);
        QVERIFY(next);
        waitForWindow(2);
        QVERIFY2(!log(next).contains("already running"), log(next).constData());
    }

    // Outputs 0 to 3 started one after the other on a 1920 x 1080 screen: no window covers the
    // control bar of another, and every title bar is on the screen.
    void outputsOpenOneBelowTheOther()
    {
        for (int box = 0; box < 4; ++box) {
            QVERIFY(start(box));
            waitForWindow(box);
        }
        std::map<int, Placed> placed;
        QString problem;
        // a window manager places windows after they are shown: wait for the places to settle
        QDeadlineTimer deadline(20000);
        do {
            QTest::qWait(200);
            problem.clear();
            placed.clear();
            for (int box = 0; box < 4 && problem.isEmpty(); ++box) {
                Placed p;
                if (!shown(box, p))
                    problem = "no window " + title(box);
                placed[box] = p;
            }
            for (int box = 0; box < 4 && problem.isEmpty(); ++box) {
                problem = covered(placed, box);
                if (problem.isEmpty() && placed[box].frame.top() < 0)
                    problem = QStringLiteral("the title of output %1 is above the screen").arg(box);
            }
        } while (!problem.isEmpty() && !deadline.hasExpired());
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        for (int box = 0; box < 4; ++box) {
            QCOMPARE(placed[box].client.size(), QSize(1600, 920));
            if (box > 0)
                QVERIFY(placed[box].client.top() > placed[box - 1].client.top());
        }
    }

    // Each trace line starts with the local time to the millisecond; a set QT_MESSAGE_PATTERN
    // is used as it is.
    void traceLinesCarryTheTime()
    {
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        QProcess *stamped = start(0);
        QVERIFY(stamped);
        waitForWindow(0);
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);
        static const QRegularExpression line(
            QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}) qml: Application Name: Orvane$"),
            QRegularExpression::MultilineOption);
        QTRY_VERIFY_WITH_TIMEOUT(line.match(QString::fromLocal8Bit(log(stamped))).hasMatch(), 10000);
        const QString stamp = line.match(QString::fromLocal8Bit(log(stamped))).captured(1);
        const QDateTime at = QDateTime::fromString(stamp, QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
        QVERIFY2(at >= before && at <= after, qPrintable(stamp));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_MESSAGE_PATTERN", "%{type} %{message}");
        QProcess *plain = start(1, env);
        QVERIFY(plain);
        waitForWindow(1);
        QTRY_VERIFY_WITH_TIMEOUT(log(plain).contains("\nwarning Application Name: Orvane\n"), 10000);
    }
};

QTEST_GUILESS_MAIN(TestOutputs)

#include "tst_outputs.moc"

// Outputs side by side, as an operator runs them on one desktop: the real program started with
// --box N under the test's display, in one home. Registered twice: on a bare X server and under
// a real window manager (openbox), which decorates, places and stacks the windows itself.
#include <QDateTime>
#include <QDir>
#include <QRect>
#include <QRegularExpression>
#include <QtTest>

#include <map>
#include <memory>

#include "../utils/orvaneprocess.h"
#include "../utils/x11windows.h"

namespace {

const QString program = OrvaneProcess::program();
constexpr int startTimeout = 60000;

// Rows of a window's control bar with its buttons drawn, from the top of its content (pixels).
constexpr int barTop = 11;
constexpr int barBottom = 47;

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
    for (const x11::ProcessWindow &w : x11::windowsOf(display, static_cast<unsigned long>(pid))) {
        if (!w.viewable || QString::fromStdString(w.title) != title)
            continue;
        placed.client = QRect(w.x, w.y, w.width, w.height);
        placed.frame = placed.client.adjusted(-int(w.frame[0]), -int(w.frame[2]), int(w.frame[1]), int(w.frame[3]));
        placed.stacking = w.stacking;
        return true;
    }
    return false;
}

} // namespace

class TestOutputs : public QObject
{
    Q_OBJECT

    Display *m_display = nullptr;
    std::map<int, std::unique_ptr<OrvaneProcess>> m_outputs; // by output number

    OrvaneProcess *start(int box, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        auto process = std::make_unique<OrvaneProcess>();
        if (!process->start(program, {"--box", QString::number(box)}, env, QDir::currentPath()))
            return nullptr;
        OrvaneProcess *raw = process.get();
        if (m_outputs.count(box))
            stop(box);
        m_outputs[box] = std::move(process);
        return raw;
    }

    static QByteArray log(OrvaneProcess *p) { return p->output().toLocal8Bit(); }

    static QString title(int box) { return QStringLiteral("Orvane --box %1").arg(box); }

    bool shown(int box, Placed &placed)
    {
        OrvaneProcess *p = m_outputs[box].get();
        return p && p->running() && findWindow(m_display, p->pid(), title(box), placed);
    }

    void waitForWindow(int box)
    {
        Placed placed;
        QDeadlineTimer deadline(startTimeout);
        while (!shown(box, placed)) {
            QVERIFY2(m_outputs[box]->running(), log(m_outputs[box].get()).constData());
            QVERIFY2(!deadline.hasExpired(), qPrintable("no window " + title(box)));
            QTest::qWait(100);
        }
    }

    void stop(int box)
    {
        auto found = m_outputs.find(box);
        if (found == m_outputs.end())
            return;
        found->second->stop();
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
        OrvaneProcess *first = start(2);
        QVERIFY(first);
        waitForWindow(2);
        const QString config = qEnvironmentVariable("XDG_DATA_HOME") + "/Quarnet/Orvane/output_config-2.json";
        QVERIFY(QFileInfo::exists(config));
        const QDateTime written = QFileInfo(config).lastModified();

        const OrvaneProcess::Finished second =
            OrvaneProcess::run(program, {"--box", "2"}, QProcessEnvironment::systemEnvironment(), startTimeout);
        QCOMPARE(second.code, 3);
        const QString said = second.err;
        QVERIFY2(said.contains(QStringLiteral("Output 2 is already running (process %1)\n").arg(first->pid())),
                 qPrintable(said));
        QCOMPARE(QFileInfo(config).lastModified(), written);

        // another output runs beside it
        QVERIFY(start(1));
        waitForWindow(1);

        // the first is killed, leaving its lock; the next start takes the output over
        first->kill();
        QVERIFY(first->waitForEnd(10000));
        QVERIFY(QFileInfo::exists(qEnvironmentVariable("XDG_DATA_HOME") + "/Quarnet/Orvane/output-2.lock"));
        OrvaneProcess *next = start(2);
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
        OrvaneProcess *stamped = start(0);
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
        OrvaneProcess *plain = start(1, env);
        QVERIFY(plain);
        waitForWindow(1);
        QTRY_VERIFY_WITH_TIMEOUT(log(plain).contains("\nwarning Application Name: Orvane\n"), 10000);
    }
};

QTEST_GUILESS_MAIN(TestOutputs)

#include "tst_outputs.moc"

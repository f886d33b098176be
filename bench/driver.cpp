// The benchmark driver: runs every measurement in a fresh temporary home, repeats it, and prints
// one table (figure, baseline of the same run, ratio; minimum / median / maximum over the runs),
// which it also writes as JSON.
#include "bench.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {

const QString orvane = QStringLiteral(ORVANE_BIN_DIR "/Orvane");
const QString bare = QStringLiteral(ORVANE_BENCH_BARE);

QString loadText()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(' ', 0, 2) : QString();
}

QString cpuModel()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("model name"))
            return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
    return QString();
}

// A fresh home for one run: HOME, XDG_* and logDir inside it, removed afterwards.
struct Home
{
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/orvane-bench.XXXXXX")};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    Home()
    {
        const QString root = dir.path();
        const QStringList names = {"HOME",           "XDG_DATA_HOME",   "XDG_CONFIG_HOME",
                                   "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "logDir"};
        const QStringList dirs = {"home", "data", "config", "cache", "runtime", "log"};
        for (int i = 0; i < names.size(); ++i) {
            QDir().mkpath(root + "/" + dirs[i]);
            env.insert(names[i], root + "/" + dirs[i]);
        }
        QFile::setPermissions(root + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QStringLiteral("ORVANE_TEST_TMP"), root);
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("QT_LOGGING_RULES"));
        env.remove(QStringLiteral("QML_IMPORT_TRACE"));
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    // The output's configuration file as the program writes it, with another layer count.
    void configure(int renderNumber)
    {
        const QString data = env.value("XDG_DATA_HOME") + "/Quarnet/Orvane";
        QDir().mkpath(data);
        QFile f(data + "/output_config.json");
        if (f.open(QIODevice::WriteOnly))
            f.write(
                QStringLiteral("{\n  \"boardEnabled\": true,\n  \"exitOnEject\": false,\n  \"installFonts\": false,\n"
                               "  \"traceMemInfo\": false,\n  \"directory\": \"Layers\",\n  \"renderNumber\": %1,\n"
                               "  \"cacheTime\": 10,\n  \"bufferSize\": 5,\n  \"board\": \"\"\n}\n")
                    .arg(renderNumber)
                    .toUtf8());
    }
};

// One in-process measurement (orvane-bench host MODE ...); its JSON result, or an empty object.
QJsonObject host(const QString &mode, const QStringList &args, int renderNumber = 0)
{
    Home home;
    if (renderNumber > 0)
        home.configure(renderNumber);
    QProcess p;
    p.setProcessEnvironment(home.env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString result = home.path("result.json");
    p.start(QCoreApplication::applicationFilePath(),
            QStringList{"host", mode, "--result", result, "--trace", home.path("trace.log")} + args);
    const bool finished = p.waitForFinished(30 * 60 * 1000);
    QFile f(result);
    if (!finished || p.exitCode() != 0 || !f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "host %s failed: %s\n", qPrintable(mode), p.readAll().right(2000).constData());
        QFile trace(home.path("trace.log"));
        if (trace.open(QIODevice::ReadOnly))
            std::fprintf(stderr, "trace: %s\n", trace.readAll().right(2000).constData());
        p.kill();
        p.waitForFinished();
        return {};
    }
    return QJsonDocument::fromJson(f.readAll()).object();
}

// Processes started together; each one's time from its start to its first frame shown (the
// first frame Qt's render loop reports as swapped, through its own logging category) and its
// resident size once every window is shown.
struct Started
{
    std::vector<double> ms;
    std::vector<double> kB;
    bool ok = true;
};

void stopAll(std::vector<std::unique_ptr<QProcess>> &procs)
{
    for (auto &p : procs) {
        p->terminate();
        if (!p->waitForFinished(5000)) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
}

Started startTogether(const QList<QPair<QString, QStringList>> &programs)
{
    Home home;
    home.env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.scenegraph.time.renderloop.debug=true"));
    std::vector<std::unique_ptr<QProcess>> procs;
    Started s;
    s.ms.assign(programs.size(), -1);
    QElapsedTimer clock;
    std::vector<qint64> started(programs.size());
    std::vector<QByteArray> output(programs.size());
    int shown = 0;
    QEventLoop loop;
    clock.start();
    for (int i = 0; i < programs.size(); ++i) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(home.env);
        p->setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(p.get(), &QProcess::readyRead, &loop, [&, i, raw = p.get()] {
            output[i] += raw->readAll();
            if (s.ms[i] < 0 && output[i].contains("Frame rendered with")) {
                s.ms[i] = (clock.nsecsElapsed() - started[i]) / 1e6;
                if (++shown == programs.size())
                    loop.quit();
            }
            output[i] = output[i].right(4000);
        });
        started[i] = clock.nsecsElapsed();
        p->start(programs[i].first, programs[i].second);
        procs.push_back(std::move(p));
    }
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (shown < programs.size())
        loop.exec();
    if (shown < programs.size()) {
        s.ok = false;
        for (size_t i = 0; i < procs.size(); ++i)
            std::fprintf(stderr, "%s showed no frame:\n%s\n", qPrintable(programs[int(i)].first),
                         output[i].constData());
    }
    // the resident size once start-up work has settled
    QEventLoop settle;
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);
    settle.exec();
    for (auto &p : procs)
        s.kB.push_back(residentKb(p->processId()));
    stopAll(procs);
    return s;
}

double median(const std::vector<double> &v) { return percentile(v, 50); }
double maxOf(const std::vector<double> &v) { return v.empty() ? NAN : *std::max_element(v.begin(), v.end()); }

// One row of the table: the figure and its baseline, one value of each per run.
struct Row
{
    QString id;
    QString figure;
    QString baseline;
    QString unit;
    std::vector<double> value;
    std::vector<double> base;
};

QString number(double x)
{
    if (std::isnan(x))
        return QStringLiteral("-");
    const double a = std::fabs(x);
    return QString::number(x, 'f', a >= 100 ? 0 : a >= 10 ? 1 : a >= 1 ? 2 : 3);
}

QString triple(const std::vector<double> &v)
{
    if (v.empty())
        return QStringLiteral("-");
    auto sorted = v;
    std::sort(sorted.begin(), sorted.end());
    return number(sorted.front()) + " / " + number(median(sorted)) + " / " + number(sorted.back());
}

std::vector<double> ratios(const Row &r)
{
    std::vector<double> out;
    for (size_t i = 0; i < std::min(r.value.size(), r.base.size()); ++i)
        if (r.base[i] > 0)
            out.push_back(r.value[i] / r.base[i]);
    return out;
}

QJsonObject stat(const std::vector<double> &v)
{
    auto s = v;
    std::sort(s.begin(), s.end());
    if (s.empty())
        return {};
    return {{"min", s.front()}, {"median", median(s)}, {"max", s.back()}, {"runs", int(s.size())}};
}

struct Config
{
    bool smoke = false;
    QString out;
    QStringList only; // groups of figures to run (startup, commands, ..., restart); all when empty
    int startRuns = 5;
    int commandRuns = 5;
    int commandIterations = 300;
    int growthRuns = 3;
    int renderRuns = 3;
    double renderSeconds = 10;
    int memoryRuns = 1;
    // Each command of the memory figure also moves the selection, which lays the panel texts out
    // again: about 11 ms a command on a loaded 2-core machine, so 100,000 commands alone would take
    // 18 minutes. --memory-checkpoints 10000,100000 measures the longer run.
    QString memoryCheckpoints = QStringLiteral("10000,30000");
    int previewRuns = 3;
    int previewClicks = 30;
    int videoRuns = 3;
    int videoStarts = 8;
    int templateRuns = 3;
    int templateCues = 10;
    int outputRuns = 3;
    double outputLateSeconds = 60;
    int webRuns = 3;
    int webPlays = 30;
    double programSeconds = 30;
};

// What the figures gather: their rows (in any order; the table sorts them by id), the problems
// the measurements reported, and whether one of them failed outright.
struct Results
{
    QList<Row> rows;
    QStringList problems;
    bool failed = false;
};

void progress(const char *what) { std::fprintf(stderr, "bench: %s\n", what); }

// The options of `orvane-bench run`; 0 when they are sound, else the exit status (2).
int readOptions(const QStringList &args, Config &c)
{
    QString memoryOption;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--smoke")
            c.smoke = true;
        else if (args[i] == "--out" && i + 1 < args.size())
            c.out = args[++i];
        else if (args[i] == "--only" && i + 1 < args.size())
            c.only = args[++i].split(',');
        else if (args[i] == "--memory-checkpoints" && i + 1 < args.size())
            memoryOption = args[++i];
        else if (args[i] != "run") {
            std::fprintf(stderr, "usage: orvane-bench run [--smoke] [--out DIR] [--memory-checkpoints N,M] "
                                 "[--only GROUP,...]\n");
            return 2;
        }
    }
    if (c.smoke) {
        c.startRuns = 1;
        c.commandRuns = 1;
        c.commandIterations = 12;
        c.growthRuns = 1;
        c.renderRuns = 1;
        c.renderSeconds = 1;
        c.memoryRuns = 1;
        c.memoryCheckpoints = QStringLiteral("100,400");
        c.previewRuns = 1;
        c.previewClicks = 3;
        c.videoRuns = 1;
        c.videoStarts = 1;
        c.templateRuns = 1;
        c.templateCues = 2;
        c.outputRuns = 1;
        c.outputLateSeconds = 2;
        c.webRuns = 1;
        c.webPlays = 3;
        c.programSeconds = 2;
    }
    // two increasing counts, so that growth between them can be seen
    if (!memoryOption.isEmpty()) {
        const QStringList counts = memoryOption.split(',');
        bool ok = counts.size() == 2;
        for (const QString &n : counts)
            ok = ok && n.toInt() > 0;
        if (!ok || counts[0].toInt() >= counts[1].toInt()) {
            std::fprintf(stderr, "--memory-checkpoints takes two increasing counts, such as 10000,100000\n");
            return 2;
        }
        c.memoryCheckpoints = memoryOption;
    }
    if (c.out.isEmpty())
        c.out = QStringLiteral("bench/out");
    return 0;
}

double sumMb(const std::vector<double> &kB)
{
    double t = 0;
    for (double x : kB)
        t += x;
    return t / 1024;
}

// 1 and 6: whole processes, the program and its baseline taking turns.
void startUpFigures(const Config &c, Results &res)
{
    progress("start-up (figures 1 and 6)");
    Row start{"1", "Start-up to first frame, 12 layers", "bare QML window", "ms", {}, {}};
    Row start2{"6a", "Start-up of 2 outputs (last first frame)", "one output", "ms", {}, {}};
    Row start4{"6b", "Start-up of 4 outputs (last first frame)", "one output", "ms", {}, {}};
    Row rss1{"6c", "Resident size of 1 output", "bare QML window", "MB", {}, {}};
    Row rss2{"6d", "Resident size of 2 outputs (sum)", "one output", "MB", {}, {}};
    Row rss4{"6e", "Resident size of 4 outputs (sum)", "one output", "MB", {}, {}};
    for (int run = 0; run < c.startRuns; ++run) {
        const Started b = startTogether({{bare, {}}});
        const Started one = startTogether({{orvane, {}}});
        const Started box1 = startTogether({{orvane, {"--box", "1"}}});
        const Started two = startTogether({{orvane, {"--box", "1"}}, {orvane, {"--box", "2"}}});
        const Started four = startTogether(
            {{orvane, {"--box", "1"}}, {orvane, {"--box", "2"}}, {orvane, {"--box", "3"}}, {orvane, {"--box", "4"}}});
        if (!(b.ok && one.ok && box1.ok && two.ok && four.ok)) {
            res.failed = true;
            break;
        }
        start.value.push_back(one.ms[0]);
        start.base.push_back(b.ms[0]);
        start2.value.push_back(maxOf(two.ms));
        start2.base.push_back(box1.ms[0]);
        start4.value.push_back(maxOf(four.ms));
        start4.base.push_back(box1.ms[0]);
        rss1.value.push_back(sumMb(box1.kB));
        rss1.base.push_back(sumMb(b.kB));
        rss2.value.push_back(sumMb(two.kB));
        rss2.base.push_back(sumMb(box1.kB));
        rss4.value.push_back(sumMb(four.kB));
        rss4.base.push_back(sumMb(box1.kB));
    }
    res.rows << start << start2 << start4 << rss1 << rss2 << rss4;
}

// 2 and 3 from one command run at 12 layers: Play, Cue, Eject All against their baselines.
struct CommandRows
{
    Row play{"2a", "Play on a loaded layer, median", "JSON round trip of its 8 records", "us", {}, {}};
    Row play99{"2b", "Play on a loaded layer, 99th percentile", "same, 99th percentile", "us", {}, {}};
    Row cue{"2c", "Cue on an unloaded layer, median", "JSON round trip of its 3 records", "us", {}, {}};
    Row cue99{"2d", "Cue on an unloaded layer, 99th percentile", "same, 99th percentile", "us", {}, {}};
    Row ejectOne{"2e", "Eject on a loaded layer, median", "JSON round trip of its 2 records", "us", {}, {}};
    Row eject99{"2f", "Eject on a loaded layer, 99th percentile", "same, 99th percentile", "us", {}, {}};
    // the share of a slow command that was work: the rest waited for a core
    Row playCpu99{"2g",
                  "Play on a loaded layer, 99th percentile of the window thread's CPU time",
                  "wall time, 99th percentile (2b)",
                  "us",
                  {},
                  {}};
    Row cueCpu99{"2h",
                 "Cue on an unloaded layer, 99th percentile of the window thread's CPU time",
                 "wall time, 99th percentile (2d)",
                 "us",
                 {},
                 {}};
    Row ejectAll{"3", "Eject All over 12 loaded layers, median", "12 x single Eject (median)", "us", {}, {}};

    void add(const QJsonObject &r)
    {
        const auto base = r.value("baseline").toObject();
        const double eject = median(fromJson(r.value("eject")));
        play.value.push_back(median(fromJson(r.value("play"))));
        play.base.push_back(median(fromJson(base.value("play"))));
        play99.value.push_back(percentile(fromJson(r.value("play")), 99));
        play99.base.push_back(percentile(fromJson(base.value("play")), 99));
        cue.value.push_back(median(fromJson(r.value("cue"))));
        cue.base.push_back(median(fromJson(base.value("cue"))));
        cue99.value.push_back(percentile(fromJson(r.value("cue")), 99));
        cue99.base.push_back(percentile(fromJson(base.value("cue")), 99));
        ejectOne.value.push_back(median(fromJson(r.value("eject"))));
        ejectOne.base.push_back(median(fromJson(base.value("eject"))));
        eject99.value.push_back(percentile(fromJson(r.value("eject")), 99));
        eject99.base.push_back(percentile(fromJson(base.value("eject")), 99));
        playCpu99.value.push_back(percentile(fromJson(r.value("playCpu")), 99));
        playCpu99.base.push_back(play99.value.back());
        cueCpu99.value.push_back(percentile(fromJson(r.value("cueCpu")), 99));
        cueCpu99.base.push_back(cue99.value.back());
        ejectAll.value.push_back(median(fromJson(r.value("ejectAll"))));
        ejectAll.base.push_back(r.value("layers").toInt() * eject);
    }
};

// 7 from command runs at 48 and 99 layers, against the run at 12 layers just before them.
struct GrowthRows
{
    Row grow48{"7a", "Play median, renderNumber 48", "renderNumber 12", "us", {}, {}};
    Row grow99{"7b", "Play median, renderNumber 99", "renderNumber 12", "us", {}, {}};
    Row grow99p{"7c", "Play 99th percentile, renderNumber 99", "renderNumber 12", "us", {}, {}};

    void add(const QJsonObject &r12, const QJsonObject &r48, const QJsonObject &r99)
    {
        const double play12 = median(fromJson(r12.value("play")));
        grow48.value.push_back(median(fromJson(r48.value("play"))));
        grow48.base.push_back(play12);
        grow99.value.push_back(median(fromJson(r99.value("play"))));
        grow99.base.push_back(play12);
        grow99p.value.push_back(percentile(fromJson(r99.value("play")), 99));
        grow99p.base.push_back(percentile(fromJson(r12.value("play")), 99));
    }
};

// 2, 3 and 7: the command path at 12, 48 and 99 layers, the runs interleaved so that each
// growth figure has the 12-layer run of the same moment as its baseline.
void commandFigures(const Config &c, Results &res)
{
    progress("command path (figures 2, 3 and 7)");
    CommandRows command;
    GrowthRows growth;
    const QStringList commandArgs{"--iterations", QString::number(c.commandIterations)};
    for (int run = 0; run < std::max(c.commandRuns, c.growthRuns); ++run) {
        const QJsonObject r = host("command", commandArgs, 12);
        if (r.isEmpty()) {
            res.failed = true;
            break;
        }
        for (const auto &p : r.value("problems").toArray())
            res.problems << "command: " + p.toString();
        if (run < c.commandRuns)
            command.add(r);
        if (run < c.growthRuns) {
            const QJsonObject r48 = host("command", commandArgs, 48);
            const QJsonObject r99 = host("command", commandArgs, 99);
            if (r48.isEmpty() || r99.isEmpty()) {
                res.failed = true;
                break;
            }
            for (const auto &p : r99.value("problems").toArray())
                res.problems << "command at 99 layers: " + p.toString();
            growth.add(r, r48, r99);
        }
    }
    res.rows << command.play << command.play99 << command.cue << command.cue99 << command.ejectOne << command.eject99
             << command.playCpu99 << command.cueCpu99 << command.ejectAll;
    res.rows << growth.grow48 << growth.grow99 << growth.grow99p;
}

// 9: a Play request's round trip over the control port against the in-process send of the
// same Play, in the same run.
void controlFigures(const Config &c, Results &res)
{
    progress("control port (figure 9)");
    Row port{"9a",
             "Play over the control port, request written to answer read, median",
             "in-process send of the same Play, median",
             "us",
             {},
             {}};
    Row port99{"9b", "Play over the control port, 99th percentile", "in-process send, 99th percentile", "us", {}, {}};
    for (int run = 0; run < c.commandRuns; ++run) {
        const QJsonObject r = host("control", {"--iterations", QString::number(c.commandIterations)}, 12);
        const auto overPort = fromJson(r.value("port"));
        for (const auto &p : r.value("problems").toArray())
            res.problems << "control: " + p.toString();
        if (overPort.empty()) {
            res.failed = true;
            break;
        }
        port.value.push_back(median(overPort));
        port.base.push_back(median(fromJson(r.value("send"))));
        port99.value.push_back(percentile(overPort, 99));
        port99.base.push_back(percentile(fromJson(r.value("send")), 99));
    }
    res.rows << port << port99;
}

// 4: frames with every placeholder shown, then with every layer hidden.
void renderingFigures(const Config &c, Results &res)
{
    progress("rendering (figure 4)");
    Row frame{"4a", "Frame interval, 12 placeholders shown, median", "every layer hidden", "ms", {}, {}};
    Row frame99{"4b", "Frame interval, 12 placeholders shown, 99th percentile", "every layer hidden", "ms", {}, {}};
    Row busy99{"4c", "Frame work (animate to swap), 99th percentile", "every layer hidden", "ms", {}, {}};
    Row busyBare{"4d",
                 "Frame work (animate to swap), 99th percentile, 12 placeholders shown",
                 "bare window, one rotating rectangle",
                 "ms",
                 {},
                 {}};
    // what the window adds to the drawing it cannot avoid: the same boxes through one texture view
    Row busyFloor{"4f",
                  "Frame work (animate to swap), 99th percentile, 12 placeholders shown",
                  "bare window, 12 rotating boxes through one preview-sized texture view",
                  "ms",
                  {},
                  {}};
    // a window where nothing visible changes swaps no frame but the clock's, once a second
    Row hiddenRate{"4e", "Frames swapped with every layer hidden", "the clock's tick", "per s", {}, {}};
    for (int run = 0; run < c.renderRuns; ++run) {
        const QStringList seconds{"--seconds", QString::number(c.renderSeconds)};
        const QJsonObject r = host("render", seconds);
        const QJsonObject b = host("bare-render", seconds);
        const QJsonObject f = host("bare-preview", seconds);
        if (r.isEmpty() || b.isEmpty() || f.isEmpty()) {
            res.failed = true;
            break;
        }
        if (r.value("shown").toInt() != 12 || r.value("shownAfterEjectAll").toInt() != 0)
            res.problems << QStringLiteral("render: %1 layers shown, %2 after Eject All")
                                .arg(r.value("shown").toInt())
                                .arg(r.value("shownAfterEjectAll").toInt());
        frame.value.push_back(median(fromJson(r.value("interval"))));
        frame.base.push_back(median(fromJson(r.value("hiddenInterval"))));
        frame99.value.push_back(percentile(fromJson(r.value("interval")), 99));
        frame99.base.push_back(percentile(fromJson(r.value("hiddenInterval")), 99));
        busy99.value.push_back(percentile(fromJson(r.value("busy")), 99));
        busy99.base.push_back(percentile(fromJson(r.value("hiddenBusy")), 99));
        busyBare.value.push_back(busy99.value.back());
        busyBare.base.push_back(percentile(fromJson(b.value("busy")), 99));
        busyFloor.value.push_back(busy99.value.back());
        busyFloor.base.push_back(percentile(fromJson(f.value("busy")), 99));
        hiddenRate.value.push_back(r.value("hiddenFramesPerSecond").toDouble());
        hiddenRate.base.push_back(1);
    }
    res.rows << frame << frame99 << busy99 << busyBare << hiddenRate << busyFloor;
}

// 5: resident size after start and after many operator commands.
void memoryFigures(const Config &c, Results &res)
{
    progress("memory (figure 5)");
    const QStringList checkpoints = c.memoryCheckpoints.split(',');
    Row mem1{"5a", "Resident size after " + checkpoints[0] + " commands", "after start", "MB", {}, {}};
    Row mem2{"5b", "Resident size after " + checkpoints[1] + " commands", "after start", "MB", {}, {}};
    for (int run = 0; run < c.memoryRuns; ++run) {
        const QJsonObject r = host("memory", {"--checkpoints", c.memoryCheckpoints});
        const QJsonArray points = r.value("points").toArray();
        if (points.size() != 3) {
            res.failed = true;
            break;
        }
        const double start = points[0].toObject().value("kB").toDouble() / 1024;
        mem1.value.push_back(points[1].toObject().value("kB").toDouble() / 1024);
        mem1.base.push_back(start);
        mem2.value.push_back(points[2].toObject().value("kB").toDouble() / 1024);
        mem2.base.push_back(start);
    }
    res.rows << mem1 << mem2;
}

// 8: from the click on Play to the first frame whose preview shows the layer.
void previewFigures(const Config &c, Results &res)
{
    progress("click to preview (figure 8)");
    Row preview{"8a", "Click on Play to layer shown in the preview, median", "one refresh period", "periods", {}, {}};
    Row previewMax{"8b", "Click on Play to layer shown in the preview, worst", "one refresh period", "periods", {}, {}};
    Row previewSwaps{"8c", "Click on Play to layer shown, median", "one swapped frame", "frames", {}, {}};
    Row preview99{
        "8d", "Click on Play to layer shown in the preview, 99th percentile", "one refresh period", "periods", {}, {}};
    for (int run = 0; run < c.previewRuns; ++run) {
        const QJsonObject r = host("preview", {"--iterations", QString::number(c.previewClicks)});
        const auto frames = fromJson(r.value("frames"));
        for (const auto &p : r.value("problems").toArray())
            res.problems << "preview: " + p.toString();
        if (frames.empty()) {
            res.failed = true;
            break;
        }
        // the screen's refresh, not the swaps: a swap of this window can take several refreshes
        const double period = 1000.0 / r.value("refreshHz").toDouble(60);
        std::vector<double> periods;
        for (double ms : fromJson(r.value("ms")))
            periods.push_back(ms / period);
        preview.value.push_back(median(periods));
        preview.base.push_back(1);
        preview99.value.push_back(percentile(periods, 99));
        preview99.base.push_back(1);
        previewMax.value.push_back(maxOf(periods));
        previewMax.base.push_back(1);
        previewSwaps.value.push_back(median(frames));
        previewSwaps.base.push_back(1);
    }
    res.rows << preview << previewMax << previewSwaps << preview99;
}

// 11a-11d: the program output (--output fakesink at 25 fps): the window's frame work with and
// without it, and what one output frame costs on the render and the clock thread.
void outputWorkFigures(const Config &c, Results &res)
{
    progress("program output: frame work (figure 11)");
    Row work{"11a", "Frame work, 12 placeholders, --output fakesink at 25 fps, median", "without --output", "ms", {},
             {}};
    Row work99{"11b",
               "Frame work, 12 placeholders, --output fakesink at 25 fps, 99th percentile",
               "without --output",
               "ms",
               {},
               {}};
    Row readback{"11c",
                 "Drawing and read-back of one output frame (the output's render thread), mean",
                 "frame work without --output, median",
                 "ms",
                 {},
                 {}};
    Row conversion{"11d",
                   "Conversion of one output frame to straight alpha (clock thread), mean",
                   "frame work without --output, median",
                   "ms",
                   {},
                   {}};
    const QStringList seconds{"--seconds", QString::number(c.renderSeconds)};
    for (int run = 0; run < c.outputRuns; ++run) {
        const QJsonObject with = host("render", seconds + QStringList{"--output", "fakesink"});
        const QJsonObject without = host("render", seconds);
        if (with.isEmpty() || without.isEmpty()) {
            res.failed = true;
            return;
        }
        const double baseWork = median(fromJson(without.value("busy")));
        work.value.push_back(median(fromJson(with.value("busy"))));
        work.base.push_back(baseWork);
        work99.value.push_back(percentile(fromJson(with.value("busy")), 99));
        work99.base.push_back(percentile(fromJson(without.value("busy")), 99));
        readback.value.push_back(with.value("readbackMs").toDouble());
        readback.base.push_back(baseWork);
        conversion.value.push_back(with.value("conversionMs").toDouble());
        conversion.base.push_back(baseWork);
    }
    res.rows << work << work99 << readback << conversion;
}

// 11e-11g: late output frames over a minute, and output frames from a Play to the first that
// shows the layer.
void outputTimingFigures(const Config &c, Results &res)
{
    progress("program output: late frames and delay (figure 11)");
    Row late{"11e",
             "Late output frames over " + number(c.outputLateSeconds) + " s at 25 fps, 12 placeholders shown",
             "every layer hidden",
             "%",
             {},
             {}};
    Row delay{"11f", "Play to the first output frame showing the layer, median", "the next frame", "frames", {}, {}};
    Row delayMax{"11g", "Play to the first output frame showing the layer, worst", "the next frame", "frames", {}, {}};
    for (int run = 0; run < c.outputRuns; ++run) {
        const QJsonObject d =
            host("outputDelay", {"--output", "fakesink", "--iterations", QString::number(c.previewClicks)});
        for (const auto &p : d.value("problems").toArray())
            res.problems << "output delay: " + p.toString();
        const auto frames = fromJson(d.value("frames"));
        if (frames.empty()) {
            res.failed = true;
            return;
        }
        delay.value.push_back(median(frames));
        delay.base.push_back(1);
        delayMax.value.push_back(maxOf(frames));
        delayMax.base.push_back(1);
    }
    // one long run: the goal is at most 1 % over a minute
    const QJsonObject l =
        host("outputLate", {"--output", "fakesink", "--seconds", QString::number(c.outputLateSeconds)});
    if (l.value("sent").toDouble() <= 0 || l.value("hiddenSent").toDouble() <= 0) {
        res.failed = true;
        return;
    }
    late.value.push_back(100 * l.value("late").toDouble() / l.value("sent").toDouble());
    late.base.push_back(100 * l.value("hiddenLate").toDouble() / l.value("hiddenSent").toDouble());
    Row lateHidden{"11h",
                   "Late output frames over " + number(c.outputLateSeconds)
                       + " s at 25 fps, 12 placeholders shown, the window hidden",
                   "the window shown",
                   "%",
                   {},
                   {}};
    Row cpuHidden{"11i", "CPU time of the process per output frame, the window hidden", "the window shown", "ms", {},
                  {}};
    if (l.value("windowHiddenSent").toDouble() > 0) {
        lateHidden.value.push_back(100 * l.value("windowHiddenLate").toDouble()
                                   / l.value("windowHiddenSent").toDouble());
        lateHidden.base.push_back(late.value.back());
        cpuHidden.value.push_back(l.value("windowHiddenCpuMsPerFrame").toDouble());
        cpuHidden.base.push_back(l.value("cpuMsPerFrame").toDouble());
    }
    res.rows << late << delay << delayMax << lateHidden << cpuHidden;
}

// 11m-11p: a clean feed window open (--output fakesink, 12 placeholders shown), the views drawing
// the output's textures against the same run with copies (no shared OpenGL context): what handing
// a frame to the views costs the clock thread, the feed window's work per frame on its render
// thread, and the process's CPU time per output frame.
void outputFeedFigures(const Config &c, Results &res)
{
    progress("program output: a feed window from shared textures against copies (figure 11)");
    Row publish{"11m", "Handing one output frame to the views (clock thread), mean", "copies", "ms", {}, {}};
    Row feed{"11n", "Feed window's sync and draw per frame (its render thread), median", "copies", "ms", {}, {}};
    Row cpu{"11o", "CPU time of the process per output frame, a feed window open", "copies", "ms", {}, {}};
    Row alone{"11p", "CPU time of the process per output frame, a feed window open, no --output", "copies", "ms", {},
              {}};
    const QStringList args{"--output", "fakesink", "--seconds", QString::number(c.renderSeconds)};
    const QStringList aloneArgs{"--output", "none", "--seconds", QString::number(c.renderSeconds)};
    for (int run = 0; run < c.outputRuns; ++run) {
        // without a pipeline nothing is read back for the shared views: what --program alone costs
        const QJsonObject sharedAlone = host("outputFeed", aloneArgs);
        const QJsonObject copiesAlone = host("outputFeed", aloneArgs + QStringList{"--views", "copies"});
        if (!sharedAlone.isEmpty() && !copiesAlone.isEmpty()) {
            alone.value.push_back(sharedAlone.value("cpuMsPerFrame").toDouble());
            alone.base.push_back(copiesAlone.value("cpuMsPerFrame").toDouble());
        }
        const QJsonObject shared = host("outputFeed", args);
        const QJsonObject copies = host("outputFeed", args + QStringList{"--views", "copies"});
        if (shared.isEmpty() || copies.isEmpty() || fromJson(shared.value("feedWorkMs")).empty()
            || fromJson(copies.value("feedWorkMs")).empty()) {
            res.failed = true;
            return;
        }
        if (!shared.value("sharesTextures").toBool() || copies.value("sharesTextures").toBool())
            res.problems << QStringLiteral("feed window: the shared run did not share or the copies run did");
        publish.value.push_back(shared.value("publishMs").toDouble());
        publish.base.push_back(copies.value("publishMs").toDouble());
        feed.value.push_back(median(fromJson(shared.value("feedWorkMs"))));
        feed.base.push_back(median(fromJson(copies.value("feedWorkMs"))));
        cpu.value.push_back(shared.value("cpuMsPerFrame").toDouble());
        cpu.base.push_back(copies.value("cpuMsPerFrame").toDouble());
    }
    res.rows << publish << feed << cpu << alone;
}

// The CPU time (user and system) the process `pid` has used so far, in ms.
double processCpuMs(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = f.readAll();
    // the fields after the command name, which is in parentheses and may hold blanks
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// One real program (build/bin/Orvane --output fakesink at 25 fps, every layer playing through the
// control port), with its window or --headless. The output's first minute (its start included)
// is left out: the frames sent and late after it, and the process's CPU time per frame sent.
struct ProgramRun
{
    double sent = 0;
    double late = 0;
    double cpuMsPerFrame = 0;
    bool ok = false;
};

ProgramRun runProgram(bool headless, double seconds, bool wholeRun)
{
    ProgramRun run;
    Home home;
    QProcessEnvironment env = home.env;
    if (headless) {
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    }
    QTcpServer probe;
    const quint16 port = probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
    probe.close();
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    QStringList args{"--control", QString::number(port), "--output", "fakesink"};
    if (headless)
        args << "--headless";
    p.start(QStringLiteral(ORVANE_BIN_DIR "/Orvane"), args);
    p.waitForStarted(10000);
    QString trace;
    const auto waitFor = [&](const std::function<bool()> &done, int ms) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms && p.state() == QProcess::Running) {
            p.waitForReadyRead(100);
            trace += QString::fromLocal8Bit(p.readAll());
        }
        trace += QString::fromLocal8Bit(p.readAll());
        return done();
    };
    QTcpSocket socket;
    const bool ready = waitFor(
        [&] {
            if (socket.state() != QAbstractSocket::ConnectedState) {
                socket.abort();
                socket.connectToHost(QHostAddress::LocalHost, port);
                if (!socket.waitForConnected(200))
                    return false;
            }
            socket.write("{\"do\":\"scenes\"}\n");
            return socket.waitForReadyRead(2000) && socket.readLine().contains("SCENE-09");
        },
        60000);
    if (ready) {
        for (int layer = 1; layer <= 12; ++layer) {
            socket.write(QStringLiteral("{\"do\":\"play\",\"layer\":%1,\"scene\":\"SCENE-0%2\"}\n")
                             .arg(layer)
                             .arg((layer - 1) % 9 + 1)
                             .toUtf8());
            socket.waitForReadyRead(5000);
            socket.readAll();
        }
        // the first minute's report, then the figures from there to the end
        if (wholeRun || waitFor([&] { return trace.contains(QLatin1String("in the last minute")); }, 120000)) {
            const double cpu = processCpuMs(p.processId());
            waitFor([] { return false; }, int(seconds * 1000));
            const double cpuEnd = processCpuMs(p.processId());
            p.terminate();
            waitFor([&] { return trace.contains(QLatin1String("at exit")); }, 20000);
            static const QRegularExpression atExit(QStringLiteral("Output frames sent (\\d+) late (\\d+) at exit"));
            const QRegularExpressionMatch m = atExit.match(trace);
            if (m.hasMatch() && cpu >= 0 && cpuEnd >= 0) {
                run.sent = m.captured(1).toDouble();
                run.late = m.captured(2).toDouble();
                run.cpuMsPerFrame = run.sent > 0 ? (cpuEnd - cpu) / run.sent : 0;
                run.ok = run.sent > 0;
            }
        }
    }
    if (!run.ok)
        std::fprintf(stderr, "program run (%s) failed: %s\n", headless ? "headless" : "windowed",
                     qPrintable(trace.right(2000)));
    p.kill();
    p.waitForFinished(5000);
    return run;
}

// 11j-11k: the real program headless against the same program with its window.
void headlessFigures(const Config &c, Results &res)
{
    progress("program output headless against windowed (figure 11)");
    Row late{"11j",
             "Late output frames, --headless, 12 placeholders shown, 25 fps, after the first minute",
             "with the window",
             "%",
             {},
             {}};
    Row cpu{"11k", "CPU time of the process per output frame, --headless", "with the window", "ms", {}, {}};
    // a smoke run does not wait for the first minute's report
    const ProgramRun windowed = runProgram(false, c.programSeconds, c.smoke);
    const ProgramRun headless = runProgram(true, c.programSeconds, c.smoke);
    if (!windowed.ok || !headless.ok) {
        res.failed = true;
        return;
    }
    late.value.push_back(100 * headless.late / headless.sent);
    late.base.push_back(100 * windowed.late / windowed.sent);
    cpu.value.push_back(headless.cpuMsPerFrame);
    cpu.base.push_back(windowed.cpuMsPerFrame);
    res.rows << late << cpu;
}

// One start of the real program with an output of small PNG frames at 25 fps: ms from the start
// to the first frame written (any frame), and to the first that shows something (the layers a
// restore put back); -1 for what did not come within 20 s.
struct FirstFrames
{
    double firstFrame = -1;
    double firstShown = -1;
};

FirstFrames startToFrames(bool restore)
{
    Home home;
    const QString data = home.env.value("XDG_DATA_HOME") + "/Quarnet/Orvane";
    QDir().mkpath(data);
    QDir().mkpath(home.path("frames"));
    if (restore) {
        // what a killed output had on air: every layer playing its scene
        QJsonArray layers;
        for (int layer = 1; layer <= 12; ++layer)
            layers.append(QJsonObject{{"layer", layer},
                                      {"scene", QStringLiteral("SCENE-0%1").arg((layer - 1) % 9 + 1)},
                                      {"data", ""},
                                      {"playing", true}});
        QFile f(data + "/onair.json");
        if (f.open(QIODevice::WriteOnly))
            f.write(QJsonDocument(QJsonObject{{"version", 1}, {"box", 0}, {"layers", layers}}).toJson());
    }
    QProcess p;
    p.setProcessEnvironment(home.env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString pngs = "videoconvert ! videoscale ! video/x-raw,format=RGBA,width=192,height=108 ! pngenc ! "
                         "multifilesink location="
                         + home.path("frames") + "/%05d.png";
    QStringList args{"--output", pngs};
    if (restore)
        args << "--restore";
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    p.start(orvane, args);
    FirstFrames r;
    QStringList seen;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000 && r.firstShown < 0 && p.state() != QProcess::NotRunning) {
        p.waitForFinished(20);
        p.readAll();
        const QDir frames(home.path("frames"));
        for (const QFileInfo &file : frames.entryInfoList(QDir::Files, QDir::Name)) {
            if (seen.contains(file.fileName()))
                continue;
            const QImage frame(file.filePath());
            if (frame.isNull())
                break; // still being written: read it at the next look
            seen << file.fileName();
            const double ms = double(file.lastModified().toMSecsSinceEpoch() - start);
            if (r.firstFrame < 0)
                r.firstFrame = ms;
            int shown = 0;
            for (int y = 0; y < frame.height(); ++y)
                for (int x = 0; x < frame.width(); ++x)
                    shown += qAlpha(frame.pixel(x, y)) > 0 ? 1 : 0;
            if (shown * 20 > frame.width() * frame.height()) {
                r.firstShown = ms;
                break;
            }
        }
        if (!restore && r.firstFrame >= 0)
            break;
    }
    p.kill();
    p.waitForFinished(5000);
    return r;
}

// 11l: a restart with --restore: from the program's start to the first output frame that shows
// the restored layers, against the same start without --restore to its first output frame.
void restartFigures(const Config &c, Results &res)
{
    progress("restart with --restore (figure 11)");
    Row restart{"11l",
                "Start with --restore to the first output frame showing the 12 restored layers",
                "start without --restore to its first output frame",
                "ms",
                {},
                {}};
    for (int run = 0; run < c.outputRuns; ++run) {
        const FirstFrames restored = startToFrames(true);
        const FirstFrames plain = startToFrames(false);
        if (restored.firstShown < 0 || plain.firstFrame < 0) {
            res.problems << QStringLiteral("restart: no frame showing the restored layers within 20 s");
            res.failed = true;
            return;
        }
        restart.value.push_back(restored.firstShown);
        restart.base.push_back(plain.firstFrame);
    }
    res.rows << restart;
}

// 12: the web page, from bench/web.py (headless Chromium pages): a Play clicked on one page to the
// tally lamp lit on a second, and the window's frame work with 4 pages connected against none.
void webFigures(const Config &c, Results &res)
{
    progress("web page (figure 12)");
    Row lamp{"12a", "Play clicked on a page to the lamp lit on a second page, median", "one frame period", "frames", {},
             {}};
    Row lampMax{
        "12b", "Play clicked on a page to the lamp lit on a second page, worst", "one frame period", "frames", {}, {}};
    Row work{"12c", "Frame work, 12 placeholders, 4 web pages connected, median", "no page connected", "ms", {}, {}};
    for (int run = 0; run < c.webRuns; ++run) {
        Home home;
        QProcess p;
        p.setProcessEnvironment(home.env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        const QString result = home.path("result.json");
        p.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(ORVANE_BENCH_WEB), "--bench", QCoreApplication::applicationFilePath(), "--bin",
                 QStringLiteral(ORVANE_BIN_DIR), "--plays", QString::number(c.webPlays), "--seconds",
                 QString::number(c.renderSeconds), "--result", result});
        const bool finished = p.waitForFinished(30 * 60 * 1000);
        QFile f(result);
        if (!finished || p.exitCode() != 0 || !f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "web figures failed: %s\n", p.readAll().right(3000).constData());
            res.failed = true;
            return;
        }
        const QJsonObject r = QJsonDocument::fromJson(f.readAll()).object();
        const auto periods = fromJson(r.value("lampPeriods"));
        const auto with = fromJson(r.value("pages4").toObject().value("busy"));
        const auto without = fromJson(r.value("pages0").toObject().value("busy"));
        if (periods.empty() || with.empty() || without.empty()) {
            res.failed = true;
            return;
        }
        lamp.value.push_back(median(periods));
        lamp.base.push_back(1);
        lampMax.value.push_back(maxOf(periods));
        lampMax.base.push_back(1);
        work.value.push_back(median(with));
        work.base.push_back(median(without));
    }
    res.rows << lamp << lampMax << work;
}

// The machine and the moment of the run, printed under the table.
QString machineText(const Config &c, const QString &loadBefore, const QDateTime &began)
{
    const QString revision = qEnvironmentVariable("ORVANE_BENCH_REVISION", QStringLiteral("unknown revision"));
    return QStringLiteral("%1, %2 cores, %3; load average %4 before, %5 after; %6, %8%7")
        .arg(QSysInfo::prettyProductName() + ", " + cpuModel())
        .arg(QThread::idealThreadCount())
        .arg(QSysInfo::kernelVersion())
        .arg(loadBefore, loadText(), began.toString(Qt::ISODate),
             c.smoke ? QStringLiteral(" (smoke run: the figures mean nothing)") : QString())
        .arg(revision);
}

// The table as markdown; `json` gets the same rows.
QString tableText(const QList<Row> &rows, QJsonArray &json)
{
    QString table;
    QTextStream t(&table);
    t << "| # | Figure | Value (min / median / max) | Baseline | Baseline value | Ratio | Unit |\n"
      << "|---|---|---|---|---|---|---|\n";
    for (const Row &r : rows) {
        t << "| " << r.id << " | " << r.figure << " | " << triple(r.value) << " | " << r.baseline << " | "
          << triple(r.base) << " | " << triple(ratios(r)) << " | " << r.unit << " |\n";
        json.append(QJsonObject{{"id", r.id},
                                {"figure", r.figure},
                                {"baseline", r.baseline},
                                {"unit", r.unit},
                                {"value", stat(r.value)},
                                {"baselineValue", stat(r.base)},
                                {"ratio", stat(ratios(r))},
                                {"runs", toJson(r.value)},
                                {"baselineRuns", toJson(r.base)}});
    }
    t.flush();
    return table;
}

// Prints the table and writes it as results.json and results.md; the exit status of the run.
int report(const Config &c, Results &res, const QString &machine)
{
    // by figure number, then letter: 10a after 9b
    const auto key = [](const Row &r) {
        int digits = 0;
        while (digits < r.id.size() && r.id[digits].isDigit())
            ++digits;
        return std::make_pair(r.id.left(digits).toInt(), r.id.mid(digits));
    };
    std::stable_sort(res.rows.begin(), res.rows.end(), [&](const Row &a, const Row &b) { return key(a) < key(b); });
    QJsonArray json;
    const QString table = tableText(res.rows, json);
    std::printf("%s\nMachine: %s\n", qPrintable(table), qPrintable(machine));
    for (const QString &p : res.problems)
        std::printf("problem: %s\n", qPrintable(p));

    QFile out(c.out + "/results.json");
    const QJsonObject doc{{"machine", machine},
                          {"smoke", c.smoke},
                          {"rows", json},
                          {"problems", QJsonArray::fromStringList(res.problems)},
                          {"complete", !res.failed}};
    if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(doc).toJson()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out.fileName()));
        return 1;
    }
    QFile md(c.out + "/results.md");
    if (md.open(QIODevice::WriteOnly))
        md.write((table + "\nMachine: " + machine + "\n").toUtf8());
    if (res.failed)
        std::fprintf(stderr, "bench: a measurement failed; the table is incomplete\n");
    return res.failed || !res.problems.isEmpty() ? 1 : 0;
}

} // namespace

// The clip of figure 10: one second of H.264 at 1280 x 720 in MP4, made with gst-launch-1.0.
QString makeVideoClip(const QString &path)
{
    QProcess gst;
    gst.start(QStringLiteral("gst-launch-1.0"),
              QStringLiteral("-q videotestsrc num-buffers=25 ! video/x-raw,format=I420,width=1280,height=720,"
                             "framerate=25/1 ! x264enc speed-preset=ultrafast ! h264parse ! mp4mux ! filesink")
                      .split(' ')
                  << QStringLiteral("location=") + path);
    return gst.waitForFinished(120000) && gst.exitCode() == 0 ? path : QString();
}

// 10: a video start on one layer against the other layers' frames.
void videoFigures(const Config &c, Results &res)
{
    progress("video start (figure 10)");
    Row gap{"10a", "Largest frame gap while a video starts, median of starts", "a placeholder starts instead", "ms", {},
            {}};
    Row worst{"10b", "Largest frame gap while a video starts, worst start", "a placeholder starts, worst", "ms", {},
              {}};
    Row held{"10c", "Play that starts a video: GUI thread held, median", "Play that starts a placeholder", "ms", {},
             {}};
    QTemporaryDir dir;
    const QString clip = makeVideoClip(dir.filePath(QStringLiteral("clip.mp4")));
    if (clip.isEmpty()) {
        res.problems << QStringLiteral("video: gst-launch-1.0 could not make the clip");
        res.failed = true;
        return;
    }
    for (int run = 0; run < c.videoRuns; ++run) {
        const QJsonObject r = host("video", {"--clip", clip, "--iterations", QString::number(c.videoStarts),
                                             "--seconds", QStringLiteral("1.5")});
        if (r.isEmpty()) {
            res.failed = true;
            break;
        }
        for (const QJsonValue &p : r.value("problems").toArray())
            res.problems << QStringLiteral("video: ") + p.toString();
        gap.value.push_back(median(fromJson(r.value("gap"))));
        gap.base.push_back(median(fromJson(r.value("baselineGap"))));
        worst.value.push_back(maxOf(fromJson(r.value("gap"))));
        worst.base.push_back(maxOf(fromJson(r.value("baselineGap"))));
        held.value.push_back(median(fromJson(r.value("heldMs"))));
        held.base.push_back(median(fromJson(r.value("baselineHeldMs"))));
    }
    res.rows << gap << worst << held;

    Row swapHeld{"10d",
                 "Play that gives a playing video layer another file: GUI thread held, worst",
                 "the same Play keeping the file, worst",
                 "ms",
                 {},
                 {}};
    Row swapGap{"10e", "Largest frame gap after that Play, worst", "the same Play keeping the file, worst", "ms", {},
                {}};
    for (int run = 0; run < c.videoRuns; ++run) {
        const QJsonObject r = host("videoSwap", {"--clip", clip, "--iterations", QString::number(c.videoStarts),
                                                 "--seconds", QStringLiteral("1")});
        if (r.isEmpty()) {
            res.failed = true;
            break;
        }
        for (const QJsonValue &p : r.value("problems").toArray())
            res.problems << QStringLiteral("video swap: ") + p.toString();
        swapHeld.value.push_back(maxOf(fromJson(r.value("heldMs"))));
        swapHeld.base.push_back(maxOf(fromJson(r.value("baselineHeldMs"))));
        swapGap.value.push_back(maxOf(fromJson(r.value("gap"))));
        swapGap.base.push_back(maxOf(fromJson(r.value("baselineGap"))));
    }
    res.rows << swapHeld << swapGap;
}

// 13: scene templates: their Cue, their frame work, and what their first Cue costs the frames.
void templateFigures(const Config &c, Results &res)
{
    progress("templates (figure 13)");
    Row first{"13a",
              "Cue of the built-in lower third, first (compiled), to its answer",
              "Cue of a placeholder, median",
              "ms",
              {},
              {}};
    Row later{"13b", "Cue of the built-in lower third, later, median", "Cue of a placeholder, median", "ms", {}, {}};
    Row held{"13c", "Cue of a template: GUI thread held, median", "Cue of a placeholder", "ms", {}, {}};
    Row work{"13d", "Frame work, every layer a lower third, median", "every layer a placeholder", "ms", {}, {}};
    Row gap{"13e", "Largest frame gap while a template is first cued", "the same window as long without", "ms", {}, {}};
    for (int run = 0; run < c.templateRuns; ++run) {
        const QJsonObject r = host("templates", {"--iterations", QString::number(c.templateCues), "--seconds",
                                                 QString::number(c.renderSeconds)});
        if (r.isEmpty()) {
            res.failed = true;
            break;
        }
        for (const QJsonValue &p : r.value("problems").toArray())
            res.problems << QStringLiteral("templates: ") + p.toString();
        const double placeholder = median(fromJson(r.value("placeholderCueMs")));
        first.value.push_back(r.value("firstCueMs").toDouble());
        first.base.push_back(placeholder);
        later.value.push_back(median(fromJson(r.value("laterCueMs"))));
        later.base.push_back(placeholder);
        held.value.push_back(median(fromJson(r.value("laterCueHeldMs"))));
        held.base.push_back(median(fromJson(r.value("placeholderCueHeldMs"))));
        work.value.push_back(median(fromJson(r.value("templateBusy"))));
        work.base.push_back(median(fromJson(r.value("placeholderBusy"))));
        gap.value.push_back(r.value("gap").toDouble());
        gap.base.push_back(r.value("baselineGap").toDouble());
    }
    res.rows << first << later << held << work << gap;
}

int runDriver(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Config c;
    if (const int status = readOptions(app.arguments(), c))
        return status;
    QDir().mkpath(c.out);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "orvane-bench needs an X display (bench/run.sh starts Xvfb)\n");
        return 2;
    }

    const QString loadBefore = loadText();
    const QDateTime began = QDateTime::currentDateTime();
    Results res;
    const std::vector<std::pair<QString, void (*)(const Config &, Results &)>> figures = {
        {"startup", startUpFigures},       {"commands", commandFigures},
        {"rendering", renderingFigures},   {"memory", memoryFigures},
        {"preview", previewFigures},       {"control", controlFigures},
        {"videos", videoFigures},          {"templates", templateFigures},
        {"outputWork", outputWorkFigures}, {"outputTiming", outputTimingFigures},
        {"outputFeed", outputFeedFigures}, {"web", webFigures},
        {"headless", headlessFigures},     {"restart", restartFigures}};
    for (const auto &figure : figures)
        if (c.only.isEmpty() || c.only.contains(figure.first))
            figure.second(c, res);
    return report(c, res, machineText(c, loadBefore, began));
}

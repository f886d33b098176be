#include "crashreport.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const int crashSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};

// Prepared before any crash: the handler may not allocate.
char reportDir[4096];
char fallbackDir[4096];
char markerFile[4096];
char markerTemp[4096];
char header[512];

// The thread writing a report; another thread crashing meanwhile waits for the process to end.
std::atomic<long> reportingThread{0};

// Room for the handler when the crash is a stack overflow.
alignas(16) char alternateStack[64 * 1024];

// A small text buffer for building lines without printf (which is not async-signal-safe).
struct Line
{
    char text[256];
    size_t size = 0;
    void add(const char *s)
    {
        while (*s && size < sizeof text - 1)
            text[size++] = *s++;
    }
    void number(unsigned long long v, int width = 1)
    {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = char('0' + v % 10);
            v /= 10;
        } while (v && n < int(sizeof digits));
        while (n < width && n < int(sizeof digits))
            digits[n++] = '0';
        while (n > 0 && size < sizeof text - 1)
            text[size++] = digits[--n];
    }
    void hex(unsigned long long v)
    {
        add("0x");
        char digits[16];
        int n = 0;
        do {
            digits[n++] = "0123456789abcdef"[v & 15];
            v >>= 4;
        } while (v);
        while (n > 0 && size < sizeof text - 1)
            text[size++] = digits[--n];
    }
    const char *c_str()
    {
        text[size] = 0;
        return text;
    }
};

void writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= size_t(n);
    }
}

void writeText(int fd, const char *text) { writeAll(fd, text, std::strlen(text)); }

const char *signalName(int sig)
{
    switch (sig) {
    case SIGSEGV:
        return "SIGSEGV (segmentation fault)";
    case SIGABRT:
        return "SIGABRT (abort)";
    case SIGBUS:
        return "SIGBUS (bus error)";
    case SIGFPE:
        return "SIGFPE (arithmetic error)";
    case SIGILL:
        return "SIGILL (illegal instruction)";
    }
    return "signal";
}

// UTC calendar date of a day count since 1970-01-01 (Howard Hinnant's civil_from_days): gmtime
// takes a lock and may not be called here.
void civilFromDays(long long z, long long &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = (long long)yoe + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
}

// "20261208T072553.123Z": sorts by time and holds no character a file name would mind.
void addTime(Line &line, const timespec &now, bool readable)
{
    const long long secs = now.tv_sec;
    long long days = secs / 86400, rest = secs % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    long long y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    line.number((unsigned long long)y, 4);
    if (readable)
        line.add("-");
    line.number(m, 2);
    if (readable)
        line.add("-");
    line.number(d, 2);
    line.add(readable ? " " : "T");
    line.number((unsigned long long)rest / 3600, 2);
    if (readable)
        line.add(":");
    line.number((unsigned long long)rest / 60 % 60, 2);
    if (readable)
        line.add(":");
    line.number((unsigned long long)rest % 60, 2);
    line.add(".");
    line.number((unsigned long long)now.tv_nsec / 1000000, 3);
    line.add(readable ? " UTC" : "Z");
}

// Opens a new report in dir; a second output crashing in the same millisecond gets "-2", "-3".
int openReport(const char *dir, const timespec &now, Line &path)
{
    for (int attempt = 1; attempt <= 9; ++attempt) {
        path = Line();
        path.add(dir);
        path.add("/crash-");
        addTime(path, now, false);
        if (attempt > 1) {
            path.add("-");
            path.number(unsigned(attempt));
        }
        path.add(".txt");
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void writeReport(int sig, const siginfo_t *info)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    Line path;
    int fd = openReport(reportDir, now, path);
    if (fd < 0 && fallbackDir[0])
        fd = openReport(fallbackDir, now, path);
    if (fd < 0)
        return;

    writeText(fd, header);
    Line line;
    line.add("Signal: ");
    line.add(signalName(sig));
    if (info && (sig == SIGSEGV || sig == SIGBUS || sig == SIGFPE || sig == SIGILL)) {
        line.add(" at address ");
        line.hex((unsigned long long)(uintptr_t)info->si_addr);
    }
    line.add("\nTime: ");
    addTime(line, now, true);
    line.add("\nBacktrace:\n");
    writeText(fd, line.c_str());
    void *frames[64];
    const int count = backtrace(frames, 64);
    backtrace_symbols_fd(frames, count, fd);
    close(fd);

    // The marker names the report for the next start of this output; written beside and renamed,
    // so the next start never reads half a name.
    const int marker = open(markerTemp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (marker < 0)
        return;
    writeText(marker, path.c_str());
    close(marker);
    rename(markerTemp, markerFile);
}

void onCrash(int sig, siginfo_t *info, void *)
{
    const long self = syscall(SYS_gettid);
    long expected = 0;
    if (reportingThread.compare_exchange_strong(expected, self)) {
        const int saved = errno;
        writeReport(sig, info);
        errno = saved;
    } else if (expected != self) {
        // another thread is writing its report and will end the process
        for (;;)
            pause();
    }
    // Back to the default action: returning re-runs the faulting instruction (or abort raises
    // again), and a signal sent from outside is raised once more, so the process ends by it.
    signal(sig, SIG_DFL);
    raise(sig);
}

bool copyPath(char *target, size_t size, const QString &path)
{
    const QByteArray bytes = QFile::encodeName(path);
    if (size_t(bytes.size()) >= size - 64) // room for "/crash-<time>-N.txt"
        return false;
    std::memcpy(target, bytes.constData(), size_t(bytes.size()) + 1);
    return true;
}

} // namespace

CrashReport::CrashReport(int box, const QString &logDir, const QString &dataDir, QObject *parent)
    : QObject(parent), m_box(box), m_dir(reportDirectory(logDir, dataDir)), m_dataDir(dataDir)
{
}

QString CrashReport::reportDirectory(const QString &logDir, const QString &dataDir)
{
    if (logDir.isEmpty())
        return dataDir;
    if (QDir::isRelativePath(logDir))
        return dataDir + QLatin1Char('/') + logDir;
    return QDir::cleanPath(logDir);
}

QString CrashReport::markerPath(int box, const QString &dataDir)
{
    const QString sBox = box != 0 ? QStringLiteral("-%1").arg(box) : QString();
    return dataDir + QStringLiteral("/last-crash") + sBox + QStringLiteral(".txt");
}

QString CrashReport::takePreviousReport()
{
    const QString marker = markerPath(m_box, m_dataDir);
    QFile file(marker);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QString report = QFile::decodeName(file.read(4096)).trimmed();
    file.close();
    if (!QFile::remove(marker))
        qWarning().noquote() << "Can't remove crash marker" << marker;
    return report;
}

void CrashReport::install()
{
    QDir().mkpath(m_dataDir);
    m_previous = takePreviousReport();

    // An unusable directory (missing, a file, read-only) sends the report to the data directory.
    const QFileInfo dir(m_dir);
    const QString usable = dir.isDir() && dir.isWritable() ? m_dir : m_dataDir;
    const QString marker = markerPath(m_box, m_dataDir);
    if (!copyPath(reportDir, sizeof reportDir, usable) || !copyPath(fallbackDir, sizeof fallbackDir, m_dataDir)
        || !copyPath(markerFile, sizeof markerFile, marker)
        || !copyPath(markerTemp, sizeof markerTemp, marker + QStringLiteral(".new"))) {
        qWarning().noquote() << "Crash reports are off: the path is too long:" << usable;
        return;
    }
    const QByteArray text = QStringLiteral("%1 %2 --box %3 (process %4) crashed\n")
                                .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion())
                                .arg(m_box)
                                .arg(QCoreApplication::applicationPid())
                                .toUtf8()
                                .left(sizeof header - 1);
    std::memcpy(header, text.constData(), size_t(text.size()) + 1);

    // backtrace() loads the unwinder on its first call, which may allocate: do that now.
    void *frame[1];
    backtrace(frame, 1);

    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);

    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = onCrash;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    for (int sig : crashSignals)
        sigaction(sig, &action, nullptr);
}

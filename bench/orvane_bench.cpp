// orvane-bench run [--smoke] [--out DIR]   the whole table (bench/run.sh calls this)
// orvane-bench host MODE --result FILE ... one in-process measurement, started by `run`
#include "bench.h"

#include <QFile>
#include <QRegularExpression>
#include <cmath>
#include <cstring>
#include <algorithm>

long residentKb(long long pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression line(QStringLiteral("^VmRSS:\\s+(\\d+)\\s+kB"),
                                         QRegularExpression::MultilineOption);
    const auto match = line.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return std::nan("");
    std::sort(v.begin(), v.end());
    const auto rank = static_cast<size_t>(std::ceil(p / 100.0 * v.size()));
    return v[std::min(v.size() - 1, rank > 0 ? rank - 1 : 0)];
}

QJsonArray toJson(const std::vector<double> &v)
{
    QJsonArray a;
    for (double x : v)
        a.append(x);
    return a;
}

std::vector<double> fromJson(const QJsonValue &v)
{
    std::vector<double> out;
    for (const auto &x : v.toArray())
        out.push_back(x.toDouble());
    return out;
}

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "host") == 0)
        return runHost(argc, argv);
    return runDriver(argc, argv);
}

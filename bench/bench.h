// Shared by the benchmark driver (which starts processes and prints the table) and the host
// (which loads the output window inside its own process and times it).
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <vector>

int runDriver(int argc, char *argv[]);
int runHost(int argc, char *argv[]);

// Resident set size of a process in kB, from /proc/<pid>/status; -1 when unreadable.
long residentKb(long long pid);

double percentile(std::vector<double> v, double p); // nearest rank; NaN when empty
QJsonArray toJson(const std::vector<double> &v);
std::vector<double> fromJson(const QJsonValue &v);

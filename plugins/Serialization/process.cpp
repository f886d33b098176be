#include "process.h"

#include <QProcess>
#include <QStringList>

qint64 Process::run(const QString &program, const QVariantList &arguments) const
{
    QStringList args;
    for (const QVariant &a : arguments)
        args << a.toString();
    qint64 pid = 0;
    if (program.isEmpty() || !QProcess::startDetached(program, args, QString(), &pid))
        return 0;
    return pid;
}

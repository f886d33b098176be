#include "outputlock.h"

#include <QDir>
#include <QFileInfo>

OutputLock::OutputLock(const QString &dir, int box) : m_path(dir + QLatin1Char('/') + fileName(box)), m_lock(m_path)
{
    // An output runs for days: a lock is never taken over for its age, only when its process is
    // gone (QLockFile would otherwise count a lock older than 30 seconds as stale).
    m_lock.setStaleLockTime(0);
}

QString OutputLock::fileName(int box)
{
    return box == 0 ? QStringLiteral("output.lock") : QStringLiteral("output-%1.lock").arg(box);
}

OutputLock::Outcome OutputLock::take()
{
    m_holder = 0;
    if (!QFileInfo(QFileInfo(m_path).absolutePath()).isDir())
        return Outcome::Unavailable;
    // tryLock removes a stale lock (its process gone, or the number reused by another program)
    // by itself and takes it
    if (m_lock.tryLock(0))
        return Outcome::Taken;
    if (m_lock.error() != QLockFile::LockFailedError)
        return Outcome::Unavailable;
    QString host, app;
    if (!m_lock.getLockInfo(&m_holder, &host, &app))
        m_holder = 0;
    return Outcome::HeldElsewhere;
}

#pragma once
// Why a video cannot play. The player says only "Cannot play stream of type: <unknown>" when a
// decoder is missing; the check reads the file once more with GStreamer's own discovery, on a
// thread of its own, and names the missing plug-in (or the file's fault).
#include <QObject>
#include <QString>
#include <QUrl>

class VideoCheck : public QObject
{
    Q_OBJECT

public:
    explicit VideoCheck(QObject *parent = nullptr);

    // Checks `file` away from the GUI thread; checked() answers on the caller's thread.
    Q_INVOKABLE void check(const QUrl &file);

    // The check itself, blocking: "" when the installed plug-ins play the file, else what stops
    // it, such as "missing plug-in: H.264 (High Profile) decoder". `timeoutMs` bounds the read.
    static QString problem(const QUrl &file, int timeoutMs = 5000);

signals:
    void checked(const QUrl &file, const QString &problem);
};

#include "videocheck.h"

#include <QFutureWatcher>
#include <QStringList>
#include <QtConcurrent/QtConcurrentRun>

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

VideoCheck::VideoCheck(QObject *parent) : QObject(parent) { }

void VideoCheck::check(const QUrl &file)
{
    // the watcher is a child: a check still running when this object goes answers nobody
    auto *watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, file] {
        emit checked(file, watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run([file] { return problem(file); }));
}

QString VideoCheck::problem(const QUrl &file, int timeoutMs)
{
    if (!file.isLocalFile())
        return QStringLiteral("not a local file");
    gst_init(nullptr, nullptr);
    GError *error = nullptr;
    GstDiscoverer *discoverer = gst_discoverer_new(GstClockTime(timeoutMs) * GST_MSECOND, &error);
    if (!discoverer) {
        const QString text = error ? QString::fromUtf8(error->message) : QStringLiteral("no discoverer");
        g_clear_error(&error);
        return text;
    }
    const QByteArray uri = file.toEncoded();
    GstDiscovererInfo *info = gst_discoverer_discover_uri(discoverer, uri.constData(), &error);
    QString text;
    switch (info ? gst_discoverer_info_get_result(info) : GST_DISCOVERER_ERROR) {
    case GST_DISCOVERER_OK:
        break;
    case GST_DISCOVERER_MISSING_PLUGINS: {
        // installer details read "gstreamer|1.0|<application>|<description>|<detail>"
        QStringList missing;
        if (const gchar **details = gst_discoverer_info_get_missing_elements_installer_details(info)) {
            for (const gchar **d = details; *d; ++d) {
                const QString description = QString::fromUtf8(*d).section(QLatin1Char('|'), 3, 3);
                if (!description.isEmpty() && !missing.contains(description))
                    missing << description;
            }
        }
        text = QStringLiteral("missing plug-in: ")
               + (missing.isEmpty() ? QStringLiteral("unknown") : missing.join(QStringLiteral(", ")));
        break;
    }
    case GST_DISCOVERER_TIMEOUT:
        text = QStringLiteral("no answer from the file within %1 ms").arg(timeoutMs);
        break;
    default:
        text = error ? QString::fromUtf8(error->message) : QStringLiteral("cannot be read");
        break;
    }
    g_clear_error(&error);
    if (info)
        gst_discoverer_info_unref(info);
    g_object_unref(discoverer);
    return text;
}

// Saves one real frame of the program output showing a template, as a PNG: the output window's
// document (from the source tree) runs in this process with a data directory whose SCENE-01 names
// the template and its data; the window plays SCENE-01 on layer 1 as the operator would, and the
// frame comes out of a real GStreamer pipeline (pngenc) fed by the program output. It is saved over
// a grey backdrop, as the output is transparent where no layer draws.
// Usage: templateframe <out.png> <template_name> <template_params as JSON> [ms after the Play]
//        (run by scripts/template-frames.sh under a display)
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "../../app/identity.h"
#include "programframes.h"

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: templateframe <out.png> <template_name> <template_params> [ms]\n");
        return 2;
    }
    setOrvaneIdentity();
    const QString out = QString::fromLocal8Bit(argv[1]);
    const int after = argc > 4 ? std::atoi(argv[4]) : 4000;

    QTemporaryDir data;
    const QJsonDocument params = QJsonDocument::fromJson(QByteArray(argv[3]));
    if (!data.isValid() || params.isNull()) {
        std::fprintf(stderr, "templateframe: no data directory, or the data is not JSON\n");
        return 1;
    }
    QDir(data.path()).mkpath(QStringLiteral("SCENE-01"));
    QJsonObject container{
        {"graphics_id", "SCENE-01"},
        {"title", "SCENE-01"},
        {"template_name", QString::fromLocal8Bit(argv[2])},
        {"duration", 0},
        {"duration_unlimited", true},
        {"audio", true},
        {"tc_in", 0},
        {"template_params", params.isArray() ? QJsonValue(params.array()) : QJsonValue(params.object())}};
    QFile file(data.filePath(QStringLiteral("SCENE-01/SCENE-01.gfxc")));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(container).toJson()) <= 0)
        return 1;
    file.close();

    QTemporaryDir frames;
    std::unique_ptr<ProgramOutput> output = programframes::pngOutput(frames, "templateframe");
    if (!output)
        return 1;
    int code = 1;
    {
        QQmlApplicationEngine engine;
        QObject *window = programframes::loadWindow(engine, output.get());
        if (!window)
            return 1;
        window->setProperty("dataUrl", QUrl::fromLocalFile(data.path()).toString());
        QTimer::singleShot(1500, window, [window, after, &app] {
            programframes::play(window, 1, 0);
            QTimer::singleShot(after, &app, &QCoreApplication::quit);
        });
        app.exec();
        output->finish();
        // the output is transparent where no layer draws: the picture shows it over a backdrop
        const QImage frame = programframes::lastFrame(frames);
        if (!frame.isNull()) {
            QImage picture(frame.size(), QImage::Format_RGB32);
            QPainter painter(&picture);
            QLinearGradient backdrop(0, 0, frame.width(), frame.height());
            backdrop.setColorAt(0, QColor("#4a5560"));
            backdrop.setColorAt(1, QColor("#1c2228"));
            painter.fillRect(picture.rect(), backdrop);
            painter.drawImage(0, 0, frame);
            painter.end();
            QFile::remove(out + ".part");
            if (picture.save(out + ".part", "PNG"))
                code = std::rename(qPrintable(out + ".part"), qPrintable(out)) == 0 ? 0 : 1;
        }
    }
    return code;
}

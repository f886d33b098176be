// Saves one real frame of the program output, with its alpha, as a PNG: the output window's
// document (from the source tree) runs in this process with layers 2, 5 and 8 playing, and the
// frame comes out of a real GStreamer pipeline (pngenc) fed by the program output.
// Usage: outputframe <out.png>      (run by scripts/output-frame.sh under a display)
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "../../app/identity.h"
#include "programframes.h"

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: outputframe <out.png>\n");
        return 2;
    }
    setOrvaneIdentity();
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir frames;
    std::unique_ptr<ProgramOutput> output = programframes::pngOutput(frames, "outputframe");
    if (!output)
        return 1;
    int code = 1;
    {
        QQmlApplicationEngine engine;
        QObject *window = programframes::loadWindow(engine, output.get());
        if (!window)
            return 1;
        QTimer::singleShot(1500, window, [window] {
            for (int layer : {2, 5, 8})
                programframes::play(window, layer, layer - 1);
        });
        // a few frames later, with the boxes turned a little
        QTimer::singleShot(4200, &app, &QCoreApplication::quit);
        app.exec();
        output->finish();
        const QImage frame = programframes::lastFrame(frames);
        if (!frame.isNull()) {
            QFile::remove(out + ".part");
            if (frame.save(out + ".part", "PNG"))
                code = std::rename(qPrintable(out + ".part"), qPrintable(out)) == 0 ? 0 : 1;
        }
    }
    return code;
}

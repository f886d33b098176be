#pragma once
// What the picture tools share: the program output writing PNG frames into a folder, and the
// output window's document (from the source tree) loaded in this process with that output.
#include <QDir>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QTemporaryDir>
#include <QUrl>
#include <QVariant>

#include <cstdio>
#include <memory>

#include "programoutput.h"

namespace programframes {

// Frames as frame-NNNNN.png in `frames`, 2 a second; null with the reason on standard error.
inline std::unique_ptr<ProgramOutput> pngOutput(const QTemporaryDir &frames, const char *tool)
{
    QString error;
    std::unique_ptr<ProgramOutput> output = ProgramOutput::create(
        {"videoconvert ! pngenc ! multifilesink location=" + frames.filePath("frame-%05d.png")}, 2, 1, &error);
    if (!output || !frames.isValid()) {
        std::fprintf(stderr, "%s: %s\n", tool, qPrintable(error));
        return nullptr;
    }
    return output;
}

// The window, or null when the document did not load.
inline QObject *loadWindow(QQmlApplicationEngine &engine, ProgramOutput *output)
{
    engine.addImportPath(QStringLiteral(ORVANE_PLUGINS_DIR));
    engine.addImportPath(QStringLiteral(ORVANE_QML_DIR));
    engine.setInitialProperties({{QStringLiteral("programOutput"), QVariant::fromValue<QObject *>(output)}});
    engine.load(QUrl::fromLocalFile(QStringLiteral(ORVANE_QML_DIR "/main.qml")));
    return engine.rootObjects().isEmpty() ? nullptr : engine.rootObjects().first();
}

// The operator's Play of scene `index` (from 0) on layer `layer` (from 1), as the button sends it.
inline void play(QObject *window, int layer, int index)
{
    window->setProperty("currentLayer", layer - 1);
    window->setProperty("currentIndex", index);
    QMetaObject::invokeMethod(window, "send", Q_ARG(QVariant, QStringLiteral("DSK_Play")), Q_ARG(QVariant, QVariant()));
}

// The newest frame written into `frames`; a null image when none was.
inline QImage lastFrame(const QTemporaryDir &frames)
{
    const QStringList written = QDir(frames.path()).entryList({"frame-*.png"}, QDir::Files, QDir::Name);
    return written.isEmpty() ? QImage() : QImage(frames.filePath(written.last()));
}

} // namespace programframes

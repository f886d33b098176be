#pragma once
// The output window loaded in the test's own process, as the program loads it, from the QML
// sources and the built plug-ins. Set initial properties and image providers on the engine first.
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTest>
#include <QUrl>

// As the program sets it before its application object (this runs before the test's own): the
// windows share the program output's textures, so its views draw from them as they do on air.
inline const bool mainWindowSharesContexts = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    return true;
}();

// The window's document loaded, without waiting for it to show: the root object, or null when the
// document did not load (the engine's warnings say why).
inline QObject *loadMainDocument(QQmlApplicationEngine &engine)
{
    engine.addImportPath(QStringLiteral(ORVANE_BIN_DIR "/plugins"));
    engine.addImportPath(QStringLiteral(ORVANE_SOURCE_DIR "/qml"));
    engine.load(QUrl::fromLocalFile(QStringLiteral(ORVANE_SOURCE_DIR "/qml/main.qml")));
    return engine.rootObjects().value(0);
}

// The window once it is shown; null when the document did not load or the window never showed.
inline QQuickWindow *loadMainWindow(QQmlApplicationEngine &engine)
{
    auto *window = qobject_cast<QQuickWindow *>(loadMainDocument(engine));
    if (window && !QTest::qWaitForWindowExposed(window))
        return nullptr;
    return window;
}

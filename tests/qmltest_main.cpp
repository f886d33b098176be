// Qt Quick Test runner: the program's application identity and import paths (the QML sources
// first, then plugins/ of the build), so a test document sees what the program's documents see.
#include <QCoreApplication>
#include <QQmlEngine>
#include <QtQuickTest>
#include "utils/orvanetest.h"
#include "videoplayback.h"

class Setup : public QObject
{
    Q_OBJECT

    // made before the application object, as the program makes it: layers play videos the same way
    VideoPlayback m_videoPlayback;

public slots:
    void applicationAvailable() { setOrvaneIdentity(); }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral(ORVANE_PLUGINS_DIR));
        engine->addImportPath(QStringLiteral(ORVANE_QML_DIR));
    }
};

QUICK_TEST_MAIN_WITH_SETUP(orvane, Setup)

#include "qmltest_main.moc"

// The configuration editor end to end on the program's own window document: a double click on
// the background opens it, a valid edit and "Save and Exit" write the configuration, store the
// selection and quit, and the window created next runs on the new configuration.
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <memory>
#include "../utils/mainwindow.h"
#include "../utils/orvanetest.h"

class TestEditor : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QQmlApplicationEngine> m_engine;

    QQuickWindow *start()
    {
        m_engine = std::make_unique<QQmlApplicationEngine>();
        return loadMainWindow(*m_engine);
    }

    static QString configPath()
    {
        return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/output_config.json";
    }

    static QByteArray readConfig()
    {
        QFile file(configPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase() { setOrvaneIdentity(); }

    void saveAndExitTakesEffectAtTheNextStart()
    {
        QQuickWindow *window = start();
        QVERIFY(window);
        QCOMPARE(window->property("renderNumber").toInt(), 12);
        QTRY_VERIFY(window->contentItem()->width() > 0);
        window->setProperty("currentLayer", 2);
        window->setProperty("currentIndex", 1);
        QCOMPARE(window->property("currentName").toString(), QStringLiteral("SCENE-02"));
        QSignalSpy quit(m_engine.get(), &QQmlEngine::quit);

        // a double click on the background, where no control is
        QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(800, 600));
        auto *dialog = window->findChild<QQuickWindow *>(QStringLiteral("aboutDialog"));
        QVERIFY(dialog);
        QTRY_VERIFY(dialog->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(dialog));

        auto *edit = dialog->findChild<QObject *>(QStringLiteral("configText"));
        QVERIFY(edit);
        const QString text = edit->property("text").toString();
        QVERIFY(text.contains("\"renderNumber\": 12"));
        edit->setProperty("text", QString(text).replace("\"renderNumber\": 12", "\"renderNumber\": 4"));
        QCOMPARE(dialog->property("changed").toBool(), true);

        auto *repeater = dialog->property("buttonRepeater").value<QQuickItem *>();
        QVERIFY(repeater);
        QQuickItem *button = nullptr;
        QVERIFY(QMetaObject::invokeMethod(repeater, "itemAt", Q_RETURN_ARG(QQuickItem *, button), Q_ARG(int, 0)));
        QVERIFY(button);
        QCOMPARE(button->property("text").toString(), QStringLiteral("Save and Exit"));
        const QPointF centre = button->mapToScene(QPointF(button->width() / 2, button->height() / 2));
        QTest::mouseClick(dialog, Qt::LeftButton, Qt::NoModifier, centre.toPoint());

        QTRY_COMPARE(quit.count(), 1);
        QVERIFY(!dialog->isVisible());
        QVERIFY2(readConfig().contains("\"renderNumber\": 4"), readConfig().constData());
        // the running window never takes the new value
        QCOMPARE(window->property("renderNumber").toInt(), 12);

        m_engine.reset();
        {
            QSettings settings;
            QCOMPARE(settings.value("Output/currentLayer").toInt(), 2);
            QCOMPARE(settings.value("Output/currentName").toString(), QStringLiteral("SCENE-02"));
        }

        window = start();
        QVERIFY(window);
        QCOMPARE(window->property("renderNumber").toInt(), 4);
        QCOMPARE(window->property("currentLayer").toInt(), 2);
        m_engine.reset();
    }
};

QTEST_MAIN(TestEditor)

#include "tst_editor.moc"

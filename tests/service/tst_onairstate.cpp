// The on-air state file on its own: layers whose scene or number is gone do not come back, a
// change that alters nothing writes nothing, and a file that cannot be used restores nothing, is
// listed and is kept (the round trip through the real program: tst_service.cpp).
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "onairstate.h"

static QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class TestOnAirState : public QObject
{
    Q_OBJECT

private slots:
    void goneScenesAndLayersStayOff()
    {
        QTemporaryDir dir;
        {
            OnAirState state(2, dir.path());
            state.start(false);
            QSignalSpy written(&state, &OnAirState::written);
            state.setLayer(3, "SCENE-02", QJsonArray{1}, true);
            state.setLayer(5, "SCENE-03", QString(), false);
            state.setLayer(9, "SCENE-01", QString(), true);
            state.setLayer(3, "SCENE-02", QJsonArray{1}, true); // a fade's frames alter nothing
            QVERIFY(state.flush() && state.flush());
            QCOMPARE(written.count(), 1);
        }
        OnAirState again(2, dir.path());
        again.start(true);
        const QVariantMap plan = again.takePlan({"SCENE-01", "SCENE-02"}, 8);
        QCOMPARE(plan["layers"].toList().size(), 1);
        QCOMPARE(plan["problems"].toStringList(),
                 QStringList({"Layer 5 showed SCENE-03 before the restart, which no longer exists: not restored",
                              "Layer 9 showed SCENE-01 before the restart, but there are 8 layers now: not restored"}));
    }

    void unusableFileRestoresNothingAndIsKept_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("why");
        const QByteArray head = "{\"version\":1,\"layers\":[{\"layer\":1,\"scene\":\"SCENE-01\",\"playing\":";
        const QByteArray deep =
            QByteArray(OnAirState::maxDataDepth + 1, '[') + QByteArray(OnAirState::maxDataDepth + 1, ']');
        QTest::newRow("not JSON") << QByteArray("on air: layer 1") << "not JSON";
        QTest::newRow("truncated") << head + "tr"
                                   << "not JSON";
        QTest::newRow("layers an object") << QByteArray("{\"version\":1,\"layers\":{}}") << "layers is not a list";
        QTest::newRow("layer as text") << head + "true},{\"layer\":\"2\"}]}"
                                       << "entry 2 of layers: layer is not";
        QTest::newRow("playing as text") << head + "\"yes\"}]}"
                                         << "playing is not true or false";
        QTest::newRow("layer twice") << head + "true}," + head.mid(23) + "true}]}"
                                     << "layer 1 is named twice";
        QTest::newRow("deep data") << head + "true,\"data\":" + deep + "}]}"
                                   << "data nests deeper than 64";
        QTest::newRow("huge") << head + "true}]}" + QByteArray(OnAirState::maxFileSize, ' ') << "larger than 8388608";
        QTest::newRow("a directory") << QByteArray() << "Can't read the on-air state file";
    }

    void unusableFileRestoresNothingAndIsKept()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString path = dir.filePath("onair.json");
        QFile file(path);
        QVERIFY(text.isEmpty() ? QDir().mkdir(path) : file.open(QIODevice::WriteOnly) && file.write(text) > 0);
        file.close();
        OnAirState state(0, dir.path());
        state.start(true);
        const QVariantMap plan = state.takePlan({"SCENE-01"}, 12);
        QVERIFY(plan["layers"].toList().isEmpty());
        const QString problem = plan["problems"].toStringList().join('|');
        QVERIFY2(problem.contains(why) && problem.contains(path), qPrintable(problem));
        state.setLayer(2, "SCENE-01", QString(), true);
        if (text.isEmpty()) { // what cannot be read is not written over either
            QVERIFY(!state.flush() && QFileInfo(path).isDir());
            return;
        }
        QVERIFY(problem.endsWith(QStringLiteral("kept as '%1.bad': nothing is restored from it").arg(path)));
        QVERIFY(contents(path + ".bad") == text);
        QVERIFY(state.flush()); // what is on air from now on is kept again
        QCOMPARE(QJsonDocument::fromJson(contents(path))["layers"].toArray().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestOnAirState)
#include "tst_onairstate.moc"

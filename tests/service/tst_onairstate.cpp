// The on-air state file on its own: a file that cannot be used restores nothing, is listed and is
// kept; a good one gives each layer the Cue and Play that put it back (restoring through the real
// program: tst_service.cpp).
#include <QJsonArray>
#include <QJsonDocument>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

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
        QTest::newRow("layer as text") << head + "true},{\"layer\":\"2\"}]}"
                                       << "entry 2 of layers: layer is not";
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

    // The scene's own Cue with the data that was on air, and for a layer that played a Play at
    // once, without a fade, addressed to its layer; a scene that is gone is listed, not restored.
    void restorePlanPutsBackEachLayersCueAndPlay()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("onair.json"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"version":1,"layers":[{"layer":1,"scene":"S1","data":{"name":"Ann"},"playing":true},
            {"layer":2,"scene":"S2","playing":true},{"layer":3,"scene":"S1","playing":false},
            {"layer":4,"scene":"GONE","playing":true}]})");
        file.close();
        OnAirState state(0, dir.path());
        state.start(true);
        const auto cue = [](int id, const QString &scene) {
            return QVariantMap{
                {"_id", id}, {"type", "DSK_Cue"}, {"params", QVariantMap{{"graphics_id", scene}, {"dsk_data", "old"}}}};
        };
        const QVariantMap play{
            {"_id", 6}, {"type", "DSK_Play"}, {"params", QVariantMap{{"time", 500}, {"transition_duration", 20}}}};
        const QVariantMap plan = state.restorePlan({QVariantMap{{"DSK_Cue", cue(5, "S1")}, {"DSK_Play", play}},
                                                    QVariantMap{{"DSK_Cue", cue(7, "S2")}, {"DSK_Play", "junk"}}},
                                                   12);
        const QVariantList layers = plan["layers"].toList();
        QCOMPARE(layers.size(), 3);
        const QVariantMap one = layers[0].toMap(), two = layers[1].toMap(), three = layers[2].toMap();
        QCOMPARE(one["cue"].toMap()["params"].toMap()["dsk_data"], QVariant(QVariantMap{{"name", "Ann"}}));
        QCOMPARE(one["play"].toMap()["_id"].toInt(), 6);
        const QVariantMap again = one["play"].toMap()["params"].toMap(); // its stored Play, at once
        QCOMPARE(two["play"].toMap()["_id"].toInt(), 7);                 // no Play record kept: the Cue's id
        QCOMPARE(again["time"].toInt() + again["transition_duration"].toInt(), 0);
        QCOMPARE(again["layer_id"].toInt(), 1);
        QVERIFY(three["cue"].isValid() && three["play"].isNull());
        const QStringList problems = plan["problems"].toStringList();
        QVERIFY2(problems.join('|').contains("Layer 4 showed GONE"), qPrintable(problems.join('|')));
        QCOMPARE(problems.last(), QStringLiteral("Restored 3 layers after a restart"));
    }

    // A watched layer keeps its scene with the data of its newest Cue, or its template's fields as
    // they are on air (an update changes them without a Cue), and nothing once it is unloaded.
    void watchedLayerKeepsWhatIsOnAir()
    {
        QTemporaryDir dir;
        OnAirState state(0, dir.path());
        state.start(false);
        QQmlEngine engine;
        QQmlComponent make(&engine);
        make.setData(R"(import QtQml 2.0
            QtObject {
                property int index: 2; property bool isLoaded: true; property string name: "S1"
                property bool visible: true
                property var queues: [{js: {type: "DSK_Cue", params: {dsk_data: "old"}}},
                                      {js: {type: "DSK_Cue", params: {dsk_data: {who: "Ann"}}}},
                                      {js: {type: "DSK_Play", params: {}}}]
                property QtObject graphic: QtObject { property bool hasTemplate: false; property var fields }
            })",
                     QUrl());
        std::unique_ptr<QObject> render(make.create());
        QVERIFY2(render, qPrintable(make.errorString()));
        const auto kept = [&state, &dir] {
            state.flush();
            return QJsonDocument::fromJson(contents(dir.filePath("onair.json")))["layers"][0].toObject();
        };
        state.watchLayer(render.get());
        QCOMPARE(
            kept(),
            QJsonObject({{"layer", 2}, {"scene", "S1"}, {"data", QJsonObject{{"who", "Ann"}}}, {"playing", true}}));
        QObject *graphic = render->property("graphic").value<QObject *>();
        graphic->setProperty("fields", QVariant::fromValue(engine.evaluate("({who: 'Bo', title: 'Guest'})")));
        graphic->setProperty("hasTemplate", true);
        QCOMPARE(kept()["data"].toObject(), QJsonObject({{"who", "Bo"}, {"title", "Guest"}}));
        render->setProperty("isLoaded", false);
        QVERIFY(kept().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOnAirState)
#include "tst_onairstate.moc"

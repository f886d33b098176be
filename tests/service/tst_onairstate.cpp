// The on-air state file on its own: what goes in comes back for the scenes and layers that still
// exist, a change that alters nothing writes nothing, a start without --restore forgets the last
// run, and a file that cannot be used restores nothing, is listed and is kept.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "onairstate.h"

namespace {

const QStringList scenes{"SCENE-01", "SCENE-02", "SCENE-03"};

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(text), text.size());
}

QByteArray layersWith(const QByteArray &entry) { return "{\"version\":1,\"layers\":[" + entry + "]}"; }

} // namespace

class TestOnAirState : public QObject
{
    Q_OBJECT

private slots:
    void whatWasOnAirComesBack()
    {
        QTemporaryDir dir;
        {
            OnAirState state(2, dir.path());
            state.start(false);
            QSignalSpy written(&state, &OnAirState::written);
            const QJsonObject data{{"title", "Hello"}, {"rows", QJsonArray{1, 2}}};
            state.setLayer(3, "SCENE-02", data, true);
            state.setLayer(5, "SCENE-03", QString(), false);
            state.setLayer(7, "SCENE-01", QString(), true);
            state.setLayer(9, "SCENE-01", QString(), true);
            state.clearLayer(7);
            QVERIFY(state.flush());
            QCOMPARE(written.count(), 1);
            // the frames of a fade change nothing: nothing is written
            state.setLayer(3, "SCENE-02", data, true);
            QVERIFY(state.flush());
            QCOMPARE(written.count(), 1);
        }
        QCOMPARE(OnAirState::fileName(2), QStringLiteral("onair-2.json"));
        QVERIFY(QFile::exists(dir.filePath("onair-2.json")));

        OnAirState again(2, dir.path());
        again.start(true);
        // SCENE-03 is gone, and the window has 8 layers now
        const QVariantMap plan = again.takePlan({"SCENE-01", "SCENE-02"}, 8);
        QCOMPARE(plan.value("layers").toList(),
                 QVariantList({QVariantMap{{"layer", 3},
                                           {"scene", "SCENE-02"},
                                           {"data", QVariantMap{{"title", "Hello"}, {"rows", QVariantList{1, 2}}}},
                                           {"playing", true}}}));
        QCOMPARE(plan.value("problems").toStringList(),
                 QStringList({"Layer 5 showed SCENE-03 before the restart, which no longer exists: not restored",
                              "Layer 9 showed SCENE-01 before the restart, but there are 8 layers now: not restored"}));
        // given once; the file now says what is on air after the restore: nothing yet
        QVERIFY(again.takePlan(scenes, 12).value("layers").toList().isEmpty());
        QVERIFY(again.flush());
        QCOMPARE(QJsonDocument::fromJson(contents(dir.filePath("onair-2.json"))).object().value("layers").toArray(),
                 QJsonArray());
    }

    void startWithoutRestoreForgetsTheLastRun()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("onair.json");
        write(path, layersWith("{\"layer\":1,\"scene\":\"SCENE-01\",\"playing\":true}"));
        OnAirState state(0, dir.path());
        state.start(false);
        QVERIFY(!state.restoring());
        QCOMPARE(QJsonDocument::fromJson(contents(path)).object().value("layers").toArray(), QJsonArray());
    }

    void unusableFileRestoresNothingAndIsKept_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("why");
        const QByteArray good = "{\"layer\":1,\"scene\":\"SCENE-01\",\"playing\":true}";
        QTest::newRow("not JSON") << QByteArray("on air: layer 1") << "not JSON";
        QTest::newRow("truncated") << layersWith(good).chopped(3) << "not JSON";
        QTest::newRow("empty") << QByteArray() << "not JSON";
        QTest::newRow("a list") << QByteArray("[]") << "not a JSON object";
        QTest::newRow("no version") << QByteArray("{\"layers\":[]}") << "version is not 1";
        QTest::newRow("layers an object") << QByteArray("{\"version\":1,\"layers\":{}}") << "layers is not a list";
        QTest::newRow("layer as text") << layersWith(good
                                                     + ",{\"layer\":\"2\",\"scene\":\"SCENE-01\",\"playing\":true}")
                                       << "entry 2 of layers: layer is not a whole number";
        QTest::newRow("layer 2.5") << layersWith("{\"layer\":2.5,\"scene\":\"SCENE-01\",\"playing\":true}")
                                   << "layer is not a whole number";
        QTest::newRow("scene a number") << layersWith("{\"layer\":1,\"scene\":5,\"playing\":true}")
                                        << "scene is not a name";
        QTest::newRow("playing as text") << layersWith("{\"layer\":1,\"scene\":\"SCENE-01\",\"playing\":\"yes\"}")
                                         << "playing is not true or false";
        QTest::newRow("layer twice") << layersWith(good + "," + good) << "layer 1 is named twice";
        const int tooDeep = OnAirState::maxDataDepth + 1;
        const QByteArray deep = QByteArray(tooDeep, '[') + QByteArray(tooDeep, ']');
        QTest::newRow("deep data") << layersWith("{\"layer\":1,\"scene\":\"SCENE-01\",\"playing\":true,\"data\":" + deep
                                                 + "}")
                                   << "data nests deeper than 64";
        QTest::newRow("deeper than the parser") << QByteArray(5000, '[') << "not JSON";
        QTest::newRow("huge") << layersWith(good).append(QByteArray(OnAirState::maxFileSize, ' '))
                              << "larger than 8388608 bytes";
    }

    void unusableFileRestoresNothingAndIsKept()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString path = dir.filePath("onair-3.json");
        write(path + ".bad", "an older one");
        write(path, text);
        OnAirState state(3, dir.path());
        state.start(true);
        const QVariantMap plan = state.takePlan(scenes, 12);
        QVERIFY(plan.value("layers").toList().isEmpty());
        const QStringList problems = plan.value("problems").toStringList();
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.first().startsWith(QStringLiteral("On-air state file '%1' is not usable (").arg(path))
                     && problems.first().contains(why)
                     && problems.first().endsWith(
                         QStringLiteral("), kept as '%1.bad': nothing is restored from it").arg(path)),
                 qPrintable(problems.first()));
        QVERIFY(contents(path + ".bad") == text);
        // and what is on air from now on is kept again
        state.setLayer(2, "SCENE-02", QString(), true);
        QVERIFY(state.flush());
        QCOMPARE(QJsonDocument::fromJson(contents(path)).object().value("layers").toArray().size(), 1);
    }

    // A file that cannot be read is neither restored nor written over.
    void unreadableFileIsLeftAlone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("onair.json");
        QVERIFY(QDir().mkpath(path + "/inside"));
        OnAirState state(0, dir.path());
        state.start(true);
        const QVariantMap plan = state.takePlan(scenes, 12);
        QVERIFY(plan.value("layers").toList().isEmpty());
        QCOMPARE(plan.value("problems").toStringList(),
                 QStringList(QStringLiteral("Can't read the on-air state file '%1' (a directory): nothing is restored "
                                            "from it, and it is left as it is")
                                 .arg(path)));
        state.setLayer(1, "SCENE-01", QString(), true);
        QVERIFY(!state.flush());
        QVERIFY(QDir(path + "/inside").exists());
        QVERIFY(!QFile::exists(path + ".bad"));
    }
};

QTEST_GUILESS_MAIN(TestOnAirState)
#include "tst_onairstate.moc"

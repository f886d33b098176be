// The control port's table of verbs: the keys each verb takes, what they must hold and the texts
// a client is told, and the checked request the window is handed.
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include "controlverbs.h"

namespace {

QJsonObject parsed(const QByteArray &json) { return QJsonDocument::fromJson(json).object(); }

// seven layers: the count in the text is the window's, whatever it is
const ControlVerbs::Window window{7, {"OPEN", "CLOSE"}};

} // namespace

class TestControlVerbs : public QObject
{
    Q_OBJECT

private slots:
    void faults_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("error");
        const QString layers = "layer is not a whole number from 1 to 7";
        for (const char *layer : {"0", "8", "2.5", "\"4\"", "null", "true"})
            QTest::newRow(layer) << ("{\"do\":\"cue\",\"layer\":" + QByteArray(layer) + "}") << layers;
        QTest::newRow("select layer") << QByteArray("{\"do\":\"select\",\"layer\":8}") << layers;
        QTest::newRow("update layer") << QByteArray("{\"do\":\"update\",\"layer\":0,\"data\":{}}") << layers;
        QTest::newRow("scene") << QByteArray("{\"do\":\"play\",\"scene\":\"open\"}") << "scene names no scene";
        QTest::newRow("scene number") << QByteArray("{\"do\":\"select\",\"scene\":1}") << "scene names no scene";
        QTest::newRow("record list") << QByteArray("{\"do\":\"stop\",\"record\":[]}") << "record is not an object";
        QTest::newRow("record null") << QByteArray("{\"do\":\"eject\",\"record\":null}") << "record is not an object";
        QTest::newRow("trigger") << QByteArray("{\"do\":\"continue\",\"trigger\":5}") << "trigger is not text";
        QTest::newRow("data text") << QByteArray("{\"do\":\"play\",\"data\":\"x\"}") << "data is not an object";
        QTest::newRow("data null") << QByteArray("{\"do\":\"cue\",\"data\":null}") << "data is not an object";
        QTest::newRow("update without data")
            << QByteArray("{\"do\":\"update\",\"layer\":2}") << "data is not an object";
        QTest::newRow("nothing to select")
            << QByteArray("{\"do\":\"select\",\"record\":{}}") << "nothing to select: give layer or scene";
        QTest::newRow("layer before scene") << QByteArray("{\"do\":\"status\",\"scene\":\"x\",\"layer\":9}") << layers;
        QTest::newRow("unknown") << QByteArray("{\"do\":\"Play\"}") << "unknown do";
    }

    void faults()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, error);
        const ControlVerbs::Checked checked = ControlVerbs::check(parsed(request), window);
        QCOMPARE(checked.error, error);
        QVERIFY(checked.request.isEmpty());
    }

    // A good request comes out with its verb's keys only, and a command to a layer with its type.
    void checkedRequests()
    {
        const ControlVerbs::Checked play = ControlVerbs::check(
            parsed("{\"do\":\"play\",\"id\":4,\"layer\":7,\"scene\":\"CLOSE\",\"record\":{\"a\":1},\"trigger\":\"\","
                   "\"data\":[{\"name\":\"n\",\"value\":1}],\"pad\":\"x\"}"),
            window);
        QCOMPARE(play.error, QString());
        QCOMPARE(play.request,
                 parsed("{\"do\":\"play\",\"command\":\"DSK_Play\",\"layer\":7,\"scene\":\"CLOSE\","
                        "\"record\":{\"a\":1},\"trigger\":\"\",\"data\":[{\"name\":\"n\",\"value\":1}]}"));
        // keys a verb does not take are not looked at
        QCOMPARE(
            ControlVerbs::check(parsed("{\"do\":\"status\",\"data\":5,\"command\":\"DSK_Eject\"}"), window).request,
            parsed("{\"do\":\"status\",\"command\":\"DSK_GetStatus\"}"));
        QCOMPARE(ControlVerbs::check(parsed("{\"do\":\"select\",\"scene\":\"OPEN\",\"trigger\":1}"), window).request,
                 parsed("{\"do\":\"select\",\"scene\":\"OPEN\"}"));
        QCOMPARE(ControlVerbs::check(parsed("{\"do\":\"update\",\"data\":{\"name\":\"A\"}}"), window).request,
                 parsed("{\"do\":\"update\",\"data\":{\"name\":\"A\"}}"));

        QCOMPARE(ControlVerbs::sideOf(QJsonValue("subscribe")), ControlVerbs::Side::Connection);
        QCOMPARE(ControlVerbs::sideOf(QJsonValue("scenes")), ControlVerbs::Side::Port);
        QCOMPARE(ControlVerbs::sideOf(QJsonValue("ejectAll")), ControlVerbs::Side::Window);
        QVERIFY(!ControlVerbs::sideOf(QJsonValue(5)));
    }
};

QTEST_MAIN(TestControlVerbs)

#include "tst_controlverbs.moc"

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
    // The texts of the other keys are checked end to end (tst_controlport).
    void faults_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("error");
        const QString layers = "layer is not a whole number from 1 to 7";
        QTest::newRow("layer") << QByteArray("{\"do\":\"update\",\"layer\":8,\"data\":{}}") << layers;
        QTest::newRow("layer before scene") << QByteArray("{\"do\":\"status\",\"scene\":\"x\",\"layer\":9}") << layers;
        QTest::newRow("data text") << QByteArray("{\"do\":\"play\",\"data\":\"x\"}") << "data is not an object";
        QTest::newRow("data null") << QByteArray("{\"do\":\"cue\",\"data\":null}") << "data is not an object";
        QTest::newRow("update without data")
            << QByteArray("{\"do\":\"update\",\"layer\":2}") << "data is not an object";
        QTest::newRow("scene without scene") << QByteArray("{\"do\":\"scene\",\"layer\":2}") << "scene names no scene";
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

        QCOMPARE(ControlVerbs::sideOf(QJsonValue("scenes")), ControlVerbs::Side::Port);
        QVERIFY(!ControlVerbs::sideOf(QJsonValue("Play")));
    }
};

QTEST_MAIN(TestControlVerbs)

#include "tst_controlverbs.moc"

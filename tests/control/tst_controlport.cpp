// The control port end to end: the real program started with --control under the test's display,
// in a fresh home, driven through real sockets as automation and scripts drive it. Every request
// type with the guids it reports, the operator's selection kept, events for replies, problems and
// tally, bad requests, tokens, the limits and a client that never reads. The options that end
// the start are tested with the rest of the command line (tests/app/tst_programoptions.cpp).
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/socket.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "../utils/orvaneprocess.h"
#include "lineclient.h"

namespace {

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

QJsonObject error(const QJsonValue &id, const QString &text) { return {{"id", id}, {"ok", false}, {"error", text}}; }

QJsonArray guids(const QJsonObject &answer) { return answer.value("guids").toArray(); }

// The types of the commands with these guids, from the reply events of their layer.
QStringList typesOf(LineClient &c, const QJsonArray &list)
{
    QStringList types;
    for (const QJsonValue &g : list) {
        const QJsonObject e =
            c.event([&](const QJsonObject &o) { return o.value("event") == "reply" && o.value("guid") == g; });
        types << e.value("reply").toObject().value("type").toString();
    }
    return types;
}

} // namespace

class TestControlPort : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    OrvaneProcess m_program;
    quint16 m_port = 0;

    QByteArray output() { return m_program.output().toUtf8(); }

    // The program with the control port on a free port, in a fresh home, once its scenes are built.
    // `data`: a data directory for the output's configuration, else the default one
    void start(const QStringList &extra = {}, const QByteArray &token = QByteArray(), const QString &data = QString())
    {
        m_port = freePort();
        QVERIFY(m_port);
        const QString base = qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath());
        m_home = std::make_unique<QTemporaryDir>(base + "/controlport-XXXXXX");
        if (!data.isEmpty()) {
            QVERIFY(QDir().mkpath(m_home->path() + "/data/Quarnet/Orvane"));
            QFile config(m_home->path() + "/data/Quarnet/Orvane/output_config.json");
            QVERIFY(config.open(QIODevice::WriteOnly));
            config.write(QJsonDocument(QJsonObject{{"directory", data}}).toJson());
        }
        QProcessEnvironment env = OrvaneProcess::environment(m_home->path());
        env.remove("ORVANE_CONTROL_TOKEN");
        if (!token.isEmpty())
            env.insert("ORVANE_CONTROL_TOKEN", QString::fromUtf8(token));
        QVERIFY(m_program.start(QStringLiteral(ORVANE_BIN_DIR "/Orvane"),
                                QStringList{"--control", QString::number(m_port)} + extra, env));
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 30000 && m_program.running()) {
            LineClient probe(m_port);
            if (probe.connected()) {
                if (!token.isEmpty())
                    probe.ask("{\"do\":\"hello\",\"token\":\"" + token + "\"}");
                if (probe.ask("{\"do\":\"scenes\"}").value("scenes").toArray().size() == 9) {
                    // the clock reads 0 until its first beat (200 ms), and a Stop dispatched at
                    // time 0 never hides its layer: let it beat first
                    QTest::qWait(1000);
                    return;
                }
            }
            QTest::qWait(100);
        }
        QFAIL(output().right(3000).constData());
    }

    QJsonObject layerState(LineClient &c, int layer)
    {
        return c.ask("{\"do\":\"state\"}").value("layers").toArray().at(layer - 1).toObject();
    }

private slots:
    void cleanup() { m_program.kill(); }

    void everyRequest()
    {
        start();
        LineClient c(m_port);
        QVERIFY(c.connected());
        QCOMPARE(c.ask("{\"do\":\"hello\",\"id\":1}"), QJsonObject({{"id", 1}, {"ok", true}}));
        QCOMPARE(c.ask("{\"do\":\"subscribe\",\"id\":2}"), QJsonObject({{"id", 2}, {"ok", true}}));
        const QJsonObject scenes = c.ask("{\"do\":\"scenes\",\"id\":3}");
        QCOMPARE(scenes.value("scenes").toArray().first().toString(), QStringLiteral("SCENE-01"));
        QCOMPARE(scenes.value("scenes").toArray().last().toString(), QStringLiteral("SCENE-09"));

        // the operator's selection: as the selectors, and the same after every command
        QCOMPARE(c.ask("{\"do\":\"select\",\"layer\":2,\"scene\":\"SCENE-04\"}").value("ok").toBool(), true);
        const QJsonObject selected{{"layer", 2}, {"scene", "SCENE-04"}};
        QJsonObject state = c.ask("{\"do\":\"state\",\"id\":4}");
        QCOMPARE(state.value("box").toInt(), 0);
        QCOMPARE(state.value("current").toObject(), selected);
        QCOMPARE(state.value("layers").toArray().size(), 12);
        QCOMPARE(state.value("layers").toArray().at(2).toObject(), QJsonObject({{"layer", 3},
                                                                                {"scene", QJsonValue::Null},
                                                                                {"active", false},
                                                                                {"loaded", false},
                                                                                {"onAir", false},
                                                                                {"status", QJsonValue::Null}}));

        // Play on an unloaded layer: Cue, Play; on a loaded one: Eject, Cue, Play
        QJsonObject a = c.ask("{\"do\":\"play\",\"layer\":3,\"scene\":\"SCENE-02\",\"id\":5}");
        QCOMPARE(a.value("id").toInt(), 5);
        QCOMPARE(guids(a).size(), 2);
        QCOMPARE(typesOf(c, guids(a)), QStringList({"DSK_Cue", "DSK_Play"}));
        QCOMPARE(c.event([](const QJsonObject &o) { return o.value("event") == "tally"; }),
                 QJsonObject({{"event", "tally"}, {"layer", 3}, {"onAir", true}}));
        QCOMPARE(layerState(c, 3), QJsonObject({{"layer", 3},
                                                {"scene", "SCENE-02"},
                                                {"active", true},
                                                {"loaded", true},
                                                {"onAir", true},
                                                {"status", "Play"}}));
        a = c.ask("{\"do\":\"play\",\"layer\":3,\"scene\":\"SCENE-05\"}");
        QCOMPARE(typesOf(c, guids(a)), QStringList({"DSK_Eject", "DSK_Cue", "DSK_Play"}));
        QCOMPARE(guids(a).at(0).toInt() + 2, guids(a).at(2).toInt());
        // the Eject takes the picture off air, the Play puts it back
        const auto tally = [](const QJsonObject &o) { return o.value("event") == "tally"; };
        QCOMPARE(c.event(tally), QJsonObject({{"event", "tally"}, {"layer", 3}, {"onAir", false}}));
        QCOMPARE(c.event(tally), QJsonObject({{"event", "tally"}, {"layer", 3}, {"onAir", true}}));
        QCOMPARE(layerState(c, 3).value("scene").toString(), QStringLiteral("SCENE-05"));
        QCOMPARE(c.ask("{\"do\":\"state\"}").value("current").toObject(), selected);

        // Cue on unloaded and loaded layers; Status and Stop only where something is loaded
        QCOMPARE(typesOf(c, guids(c.ask("{\"do\":\"cue\",\"layer\":6,\"scene\":\"SCENE-07\"}"))),
                 QStringList({"DSK_Cue"}));
        QCOMPARE(typesOf(c, guids(c.ask("{\"do\":\"cue\",\"layer\":6,\"scene\":\"SCENE-07\"}"))),
                 QStringList({"DSK_Eject", "DSK_Cue"}));
        QCOMPARE(guids(c.ask("{\"do\":\"status\",\"layer\":9}")), QJsonArray());
        QCOMPARE(guids(c.ask("{\"do\":\"stop\",\"layer\":9}")), QJsonArray());
        QCOMPARE(guids(c.ask("{\"do\":\"status\",\"layer\":6}")).size(), 1);
        QCOMPARE(guids(c.ask("{\"do\":\"stop\",\"layer\":3,\"scene\":\"SCENE-05\"}")).size(), 1);
        // the Stop takes the layer off air when it falls due, and nothing else changed on air
        const QJsonObject stopped = c.event(tally);
        QVERIFY2(stopped == QJsonObject({{"event", "tally"}, {"layer", 3}, {"onAir", false}}),
                 QJsonDocument(stopped).toJson(QJsonDocument::Compact));
        QVERIFY(std::none_of(c.events.begin(), c.events.end(), tally));

        // Continue writes its trigger into the scene's stored record first
        QCOMPARE(guids(c.ask("{\"do\":\"continue\",\"layer\":6,\"scene\":\"SCENE-07\",\"trigger\":\"T-7\"}")).size(),
                 1);
        QTRY_VERIFY(output().contains("command DSK_Continue { \"_id\": 7, \"type\": \"DSK_Continue\", \"params\": { "
                                      "\"layer_id\": 6, \"head_id\": 1, \"trigger_id\": \"T-7\""));
        // a record of the client's own instead of the stored one
        a = c.ask(
            "{\"do\":\"play\",\"layer\":5,\"scene\":\"SCENE-01\",\"record\":{\"type\":\"DSK_Play\","
            "\"params\":{\"time\":0,\"transition_type\":\"Fade\",\"transition_duration\":0,\"marker\":\"R-1\"}}}");
        QCOMPARE(typesOf(c, guids(a)), QStringList({"DSK_Cue", "DSK_Play"}));
        QTRY_VERIFY(output().contains("\"marker\": \"R-1\""));
        // the Play shows its layer; the Stop after it goes off air when it falls due
        QCOMPARE(c.event(tally), QJsonObject({{"event", "tally"}, {"layer", 5}, {"onAir", true}}));
        QCOMPARE(guids(c.ask("{\"do\":\"stop\",\"layer\":5,\"scene\":\"SCENE-01\"}")).size(), 1);
        QCOMPARE(c.event(tally), QJsonObject({{"event", "tally"}, {"layer", 5}, {"onAir", false}}));

        // data of the request's own: its Cue carries it instead of the scene's, once
        const QByteArray cue6 = "\"layer_id\": 6, \"head_id\": 1, \"enable_audio\": \"True\", \"dsk_data\": ";
        int from = output().size();
        QCOMPARE(guids(c.ask("{\"do\":\"cue\",\"layer\":6,\"scene\":\"SCENE-03\",\"data\":{\"name\":\"Ada\"}}")).size(),
                 2);
        QTRY_VERIFY(output().indexOf(cue6 + "{ \"name\": \"Ada\" }", from) > 0);
        from = output().size();
        QCOMPARE(guids(c.ask("{\"do\":\"cue\",\"layer\":6,\"scene\":\"SCENE-03\"}")).size(), 2);
        QTRY_VERIFY(output().indexOf(cue6 + "\"\"", from) > 0);

        // a record the layer refuses: a numbered problem, as in the list and Errors.txt
        a = c.ask("{\"do\":\"play\",\"layer\":7,\"record\":{\"params\":{}}}");
        QCOMPARE(guids(a).size(), 2);
        const QJsonObject problem = c.event([](const QJsonObject &o) { return o.value("event") == "problem"; });
        QCOMPARE(problem.value("status").toString(), QStringLiteral("Error"));
        QCOMPARE(problem.value("text").toString(), QStringLiteral("Error Layer7  SCENE-04: Bad command: no type"));
        QFile log(m_home->path() + "/log/Errors.txt");
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains(QByteArray::number(problem.value("number").toInt()) + ". "
                                       + problem.value("text").toString().toUtf8() + "\n"));

        // without layer and scene: the operator's current ones
        a = c.ask("{\"do\":\"cue\"}");
        QCOMPARE(typesOf(c, guids(a)), QStringList({"DSK_Cue"}));
        QCOMPARE(layerState(c, 2).value("scene").toString(), QStringLiteral("SCENE-04"));
        QCOMPARE(guids(c.ask("{\"do\":\"eject\",\"layer\":6}")).size(), 1);
        QCOMPARE(layerState(c, 6).value("loaded").toBool(), false);

        // Eject All over the running layers 2, 3, 5, 6 and 7
        a = c.ask("{\"do\":\"ejectAll\",\"id\":9}");
        QCOMPARE(typesOf(c, guids(a)), QStringList({"DSK_Eject", "DSK_Eject", "DSK_Eject", "DSK_Eject", "DSK_Eject"}));
        state = c.ask("{\"do\":\"state\"}");
        for (const QJsonValue &layer : state.value("layers").toArray()) {
            QCOMPARE(layer.toObject().value("loaded").toBool(), false);
            QCOMPARE(layer.toObject().value("onAir").toBool(), false);
        }
        QCOMPARE(state.value("current").toObject(), selected);

        // every request was traced with its peer
        QVERIFY(QRegularExpression("control 127\\.0\\.0\\.1:\\d+ \\{\"id\":9,\"do\":\"ejectAll\"\\}")
                    .match(QString::fromUtf8(output()))
                    .hasMatch());
    }

    // A scene playing the built-in lower third: the request's data reaches its fields, and update
    // gives the loaded template new data at once.
    void templatesTakeTheRequestsData()
    {
        const QString data = qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath()) + "/template-scenes";
        QVERIFY(QDir().mkpath(data + "/SCENE-03"));
        QFile container(data + "/SCENE-03/SCENE-03.gfxc");
        QVERIFY(container.open(QIODevice::WriteOnly));
        container.write(R"({"graphics_id": "SCENE-03", "template_name": "lower-third",
                            "template_params": [{"name": "name", "value": "Ada"}]})");
        container.close();
        start({}, QByteArray(), data);
        LineClient c(m_port);
        QVERIFY(c.connected());
        // what a form shows for the scene: its container's data, then as it is on air on a layer
        const auto fields = [&c](const char *request) {
            QVariantMap values;
            for (const QJsonValue &f : c.ask(request).value("fields").toArray())
                values.insert(f["name"].toString(), f["value"].toVariant());
            return values;
        };
        QCOMPARE(fields("{\"do\":\"scene\",\"scene\":\"SCENE-03\"}"), QVariantMap({{"name", "Ada"}}));
        QCOMPARE(c.ask("{\"do\":\"update\",\"layer\":2,\"data\":{\"name\":\"Bo\"}}"),
                 error(QJsonValue::Null, "no template on layer 2"));
        QCOMPARE(guids(c.ask("{\"do\":\"play\",\"layer\":2,\"scene\":\"SCENE-03\","
                             "\"data\":{\"name\":\"Bo\",\"shoeSize\":42}}"))
                     .size(),
                 2);
        // the template has the request's data, not the scene's: its unknown field is traced
        QTRY_VERIFY_WITH_TIMEOUT(output().contains("lower-third.gfx of SCENE-03: no field shoeSize"), 20000);
        QJsonObject updated;
        QTRY_VERIFY_WITH_TIMEOUT(
            (updated = c.ask("{\"do\":\"update\",\"layer\":2,\"data\":{\"title\":\"Guest\"}}")).value("ok").toBool(),
            20000);
        QVERIFY2(updated == QJsonObject({{"id", QJsonValue::Null}, {"ok", true}}),
                 QJsonDocument(updated).toJson(QJsonDocument::Compact));
        QVERIFY(output().contains("layer2 template update SCENE-03 taken=true"));
        const QVariantMap onAir = fields("{\"do\":\"scene\",\"scene\":\"SCENE-03\",\"layer\":2}");
        QVERIFY2(onAir.value("name") == "Bo" && onAir.value("title") == "Guest", qPrintable(onAir.keys().join(',')));
    }

    void badRequests()
    {
        start();
        LineClient c(m_port);
        QVERIFY(c.connected());
        QVERIFY(c.ask("{\"do\":\"play\",\"layer\":4,\"scene\":\"SCENE-03\"}").value("ok").toBool());
        const QJsonObject before = c.ask("{\"do\":\"state\"}");
        const QString layers = "layer is not a whole number from 1 to 12";
        const std::vector<std::pair<QByteArray, QJsonObject>> bad = {
            {"not json", error(QJsonValue::Null, "not JSON")},
            {"[\"play\"]", error(QJsonValue::Null, "not an object")},
            {"{\"layer\":1,\"id\":1}", error(1, "missing do")},
            {"{\"do\":\"jump\",\"id\":2}", error(2, "unknown do")},
            {"{\"do\":\"play\",\"layer\":0,\"id\":3}", error(3, layers)},
            {"{\"do\":\"play\",\"layer\":13,\"id\":4}", error(4, layers)},
            {"{\"do\":\"cue\",\"layer\":2.5,\"id\":5}", error(5, layers)},
            {"{\"do\":\"eject\",\"layer\":\"4\",\"id\":6}", error(6, layers)},
            {"{\"do\":\"select\",\"layer\":null,\"id\":7}", error(7, layers)},
            {"{\"do\":\"play\",\"scene\":\"SCENE-10\",\"id\":8}", error(8, "scene names no scene")},
            {"{\"do\":\"select\",\"scene\":3,\"id\":9}", error(9, "scene names no scene")},
            {"{\"do\":\"play\",\"record\":[],\"id\":10}", error(10, "record is not an object")},
            {"{\"do\":\"play\",\"record\":\"x\",\"id\":11}", error(11, "record is not an object")},
            {"{\"do\":\"stop\",\"record\":null,\"id\":12}", error(12, "record is not an object")},
            {"{\"do\":\"continue\",\"trigger\":5,\"id\":13}", error(13, "trigger is not text")},
            {"{\"do\":\"select\",\"id\":14}", error(14, "nothing to select: give layer or scene")},
        };
        for (const auto &entry : bad) {
            const QJsonObject answer = c.ask(entry.first);
            QVERIFY2(answer == entry.second, entry.first + " -> " + QJsonDocument(answer).toJson());
            QCOMPARE(c.ask("{\"do\":\"state\"}"), before);
        }
        // 64 KiB and one byte more: dropped, the connection still usable
        QByteArray line = "{\"do\":\"ejectAll\",\"pad\":\"\"}";
        line.insert(line.size() - 2, QByteArray(64 * 1024 - line.size() + 1, 'x'));
        QCOMPARE(c.ask(line), error(QJsonValue::Null, "line too long"));
        QCOMPARE(c.ask("{\"do\":\"state\"}"), before);
        QCOMPARE(guids(c.ask("{\"do\":\"eject\",\"layer\":4}")).size(), 1);
    }

    void tokensAndConnections()
    {
        // reachable from other machines: a token, and a hello with it first
        start({"--control-bind", "0.0.0.0"}, "orvane-test-token");
        LineClient c(m_port);
        QVERIFY(c.connected());
        QCOMPARE(c.ask("{\"do\":\"play\",\"layer\":1,\"id\":1}"), error(1, "unauthorized"));
        QCOMPARE(c.ask("{\"do\":\"hello\",\"token\":\"orvane-test-token\",\"id\":2}"),
                 QJsonObject({{"id", 2}, {"ok", true}}));
        QCOMPARE(c.ask("{\"do\":\"state\",\"id\":3}").value("ok").toBool(), true);
        LineClient guesser(m_port);
        QVERIFY(guesser.connected());
        for (const char *token : {"orvane", "ORVANE-TEST-TOKEN", "orvane-test-token "})
            QCOMPARE(guesser.ask(QByteArray("{\"do\":\"hello\",\"token\":\"") + token + "\"}"),
                     error(QJsonValue::Null, "unauthorized"));
        QVERIFY(guesser.closedByServer());
        QVERIFY(!output().contains("orvane-test-token"));

        // 16 at once; the 17th gets one line and is closed
        std::vector<std::unique_ptr<LineClient>> clients;
        for (int i = 1; i < 16; ++i) {
            clients.push_back(std::make_unique<LineClient>(m_port));
            QVERIFY(clients.back()->connected());
        }
        LineClient seventeenth(m_port);
        QVERIFY(seventeenth.connected());
        QCOMPARE(seventeenth.object(), error(QJsonValue::Null, "too many connections"));
        QVERIFY(seventeenth.closedByServer());
        QCOMPARE(c.ask("{\"do\":\"state\",\"id\":4}").value("ok").toBool(), true);
    }

    void clientThatNeverReads()
    {
        start();
        // a subscriber that never reads, with a small receive buffer so its output waits soon
        const int stalled = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(stalled >= 0);
        const int small = 4096;
        ::setsockopt(stalled, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(m_port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(stalled, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        const QByteArray subscribe = "{\"do\":\"subscribe\"}\n";
        QCOMPARE(::write(stalled, subscribe.constData(), size_t(subscribe.size())), ssize_t(subscribe.size()));

        // commands keep flowing from another client, answered one after another; each Play's
        // replies carry its record's long _id back to the subscriber
        LineClient c(m_port);
        QVERIFY(c.connected());
        const QByteArray play = "{\"do\":\"play\",\"layer\":1,\"record\":{\"_id\":\"" + QByteArray(50000, 'i')
                                + "\",\"type\":\"DSK_Play\",\"params\":{\"time\":0}},\"id\":";
        int plays = 0;
        for (; plays < 500 && !output().contains("disconnected: more than 1 MiB of output waiting"); ++plays) {
            const QJsonObject a = c.ask(play + QByteArray::number(plays) + "}");
            QCOMPARE(a.value("id").toInt(), plays);
            QCOMPARE(guids(a).size(), plays == 0 ? 2 : 3);
        }
        QVERIFY2(output().contains("disconnected: more than 1 MiB of output waiting"),
                 qPrintable(QString::number(plays)));
        ::close(stalled);
        QCOMPARE(c.ask("{\"do\":\"state\",\"id\":\"after\"}").value("layers").toArray().size(), 12);
    }
};

QTEST_MAIN(TestControlPort)

#include "tst_controlport.moc"

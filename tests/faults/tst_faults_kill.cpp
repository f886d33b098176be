// A kill at any moment of a write leaves every stored file whole: its old or its new version,
// valid JSON, never truncated. The writes are the program's own: the window's save functions
// through the host services (orvane-faultwriter), and the real program migrating an older
// configuration at start-up. The kill times come from a seed printed at the start.
#include "faults.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtTest>

#include <csignal>
#include <sys/types.h>
#include "../utils/orvaneprocess.h"
#include "../utils/orvanetest.h"

class TestFaultsKill : public QObject
{
    Q_OBJECT

    QRandomGenerator m_random;

    static QString dataDir() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }

    static QByteArray contents(const QString &file)
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
    }

    static QJsonDocument parsed(const QByteArray &data, QString *why)
    {
        QJsonParseError error{};
        QJsonDocument doc = QJsonDocument::fromJson(data, &error);
        if (doc.isNull())
            *why = QStringLiteral("not JSON (%1 bytes): %2").arg(data.size()).arg(error.errorString());
        return doc;
    }

    void killAt(QProcess &child, int ms)
    {
        QTest::qWait(ms);
        // only the child itself: a pid of 0 would be this whole process group
        const qint64 pid = child.processId();
        QVERIFY2(pid > 0 && child.state() == QProcess::Running, "the child ended before its kill");
        ::kill(static_cast<pid_t>(pid), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
    }

private slots:
    void initTestCase()
    {
        setOrvaneIdentity();
        const quint32 seed = qEnvironmentVariableIsSet("ORVANE_FAULT_SEED")
                                 ? qEnvironmentVariableIntValue("ORVANE_FAULT_SEED")
                                 : QRandomGenerator::system()->generate();
        m_random.seed(seed);
        qInfo("kill times from ORVANE_FAULT_SEED=%u", seed);
        QDir().mkpath(dataDir());
    }

    void killWhileWriting_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("file");
        QTest::newRow("configuration (editor)") << "config"
                                                << "output_config.json";
        QTest::newRow("queue file") << "queue"
                                    << "queue.json";
        QTest::newRow("scene container") << "container"
                                         << "Layers/SCENE-01/SCENE-01.gfxc";
    }

    void killWhileWriting()
    {
        QFETCH(QString, mode);
        QFETCH(QString, file);
        const QString path = dataDir() + "/" + file;
        const QString padding = faults::padding();
        const QByteArray versions[2] = {faults::containerText(0).toUtf8(), faults::containerText(1).toUtf8()};
        for (int round = 0; round < 10; ++round) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QStringLiteral(ORVANE_FAULTWRITER), {mode});
            QVERIFY(child.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine() || child.state() != QProcess::Running, 30000);
            QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));
            killAt(child, m_random.bounded(250));
            if (QTest::currentTestFailed())
                return;

            const QByteArray data = contents(path);
            const QString at = QStringLiteral("%1, round %2").arg(file).arg(round);
            if (mode == QLatin1String("container")) {
                // written as typed: byte for byte one of the two texts
                QVERIFY2(data == versions[0] || data == versions[1],
                         qPrintable(at + QStringLiteral(": %1 bytes, neither version").arg(data.size())));
                continue;
            }
            QString why;
            const QJsonDocument doc = parsed(data, &why);
            QVERIFY2(!doc.isNull(), qPrintable(at + ": " + why));
            QJsonObject versioned;
            if (mode == QLatin1String("config")) {
                QVERIFY2(doc.isObject(), qPrintable(at));
                versioned = doc.object();
            } else {
                // the nine scene queues, seven members each; the Play of the first is the edit
                QVERIFY2(doc.isArray(), qPrintable(at));
                QCOMPARE(doc.array().size(), 63);
                versioned = doc.array().at(1).toObject();
                QCOMPARE(versioned.value("type").toString(), QStringLiteral("DSK_Play"));
            }
            const int version = versioned.value("version").toInt(-1);
            QVERIFY2(version == 0 || version == 1, qPrintable(at));
            QCOMPARE(versioned.value("padding").toString().size(), padding.size());
        }
    }

    // The real program migrates an older configuration at start, saving after every step; a
    // kill at any point leaves a whole file of one of those steps.
    void killDuringMigration()
    {
        const QString path = dataDir() + "/output_config.json";
        const QString padding = faults::padding();
        const QSet<QString> known = {"noboard",    "nopreview",    "dynamic",     "project",      "padding",
                                     "directory",  "boardEnabled", "exitOnEject", "renderNumber", "cacheTime",
                                     "bufferSize", "installFonts", "traceMemInfo"};
        int migrated = 0;
        for (int round = 0; round < 10; ++round) {
            QJsonObject old{{"noboard", true},      {"nopreview", 1},        {"dynamic", 1},
                            {"project", "x/y.prj"}, {"directory", "Layers"}, {"padding", padding}};
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(QJsonDocument(old).toJson());
            out.close();

            OrvaneProcess program;
            QVERIFY(program.start(OrvaneProcess::program(), QStringList(), QProcessEnvironment::systemEnvironment(),
                                  QDir::currentPath()));
            killAt(*program.process(), 100 + m_random.bounded(900));
            if (QTest::currentTestFailed())
                return;

            QString why;
            const QJsonDocument doc = parsed(contents(path), &why);
            QVERIFY2(!doc.isNull(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(why)));
            QVERIFY(doc.isObject());
            const QJsonObject config = doc.object();
            for (const QString &key : config.keys())
                QVERIFY2(known.contains(key), qPrintable(key));
            QCOMPARE(config.value("padding").toString().size(), padding.size());
            // noboard turns into boardEnabled in one write
            QVERIFY(config.contains("noboard") != config.contains("boardEnabled"));
            if (config.contains("traceMemInfo"))
                ++migrated;
        }
        qInfo("%d of 10 kills came after the whole migration", migrated);
    }
};

QTEST_GUILESS_MAIN(TestFaultsKill)

#include "tst_faults_kill.moc"

// The videos folder the media list reads: --videos over everything, the window's own folder when
// it exists, the user's videos folder otherwise; and what --videos accepts on the command line.
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "programoptions.h"
#include "videofolder.h"

class TestVideoFolder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp{QDir(qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath())).filePath("folder-XXXXXX")};

    QUrl folder(const QString &name) const { return QUrl::fromLocalFile(m_tmp.filePath(name) + "/"); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        for (const char *name : {"option", "window", "users"})
            QVERIFY(QDir().mkpath(m_tmp.filePath(name)));
        QFile file(m_tmp.filePath("file.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    void choose_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("why");
        QTest::newRow("--videos over both") << "option"
                                            << "window"
                                            << "option"
                                            << "(--videos)";
        QTest::newRow("--videos missing: chosen all the same") << "gone"
                                                               << "window"
                                                               << "gone"
                                                               << "(--videos)";
        QTest::newRow("the window's folder when it exists") << ""
                                                            << "window"
                                                            << "window"
                                                            << "";
        QTest::newRow("the user's folder when it is missing") << ""
                                                              << "none"
                                                              << "users"
                                                              << "(the user's videos folder: ";
        QTest::newRow("the user's folder when it is a file") << ""
                                                             << "file.txt"
                                                             << "users"
                                                             << "(the user's videos folder: ";
    }

    void choose()
    {
        QFETCH(QString, option);
        QFETCH(QString, window);
        QFETCH(QString, chosen);
        QFETCH(QString, why);
        const VideoFolder videos(option.isEmpty() ? QUrl() : folder(option), m_tmp.filePath("users"));
        const QVariantMap result = videos.choose(folder(window));
        QCOMPARE(result.value("folder").toUrl(), folder(chosen));
        const QString trace = result.value("trace").toString();
        QVERIFY2(trace.startsWith("Videos folder " + m_tmp.filePath(chosen) + "/"), qPrintable(trace));
        if (why.isEmpty())
            QCOMPARE(trace, "Videos folder " + m_tmp.filePath(chosen) + "/");
        else
            QVERIFY2(trace.contains(why), qPrintable(trace));
        if (chosen == "users")
            QVERIFY2(trace.contains(folder(window).toString()), qPrintable(trace));
    }

    // Without a folder of its own, the chooser takes the platform's videos folder of the user.
    void usersFolderOfThePlatform()
    {
        const VideoFolder videos;
        QCOMPARE(videos.usersFolder(), QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
        QVERIFY(!videos.usersFolder().isEmpty());
        QCOMPARE(videos.choose(folder("none")).value("folder").toUrl(),
                 QUrl::fromLocalFile(videos.usersFolder() + "/"));
    }

    void folderUrl_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QUrl>("url");
        const QUrl show = QUrl::fromLocalFile("/data/show/");
        QTest::newRow("path") << "/data/show" << show;
        QTest::newRow("path with slash") << "/data/show/" << show;
        QTest::newRow("file: URL") << "file:///data/show" << show;
        QTest::newRow("file: URL with dots") << "file:///data/other/../show/" << show;
        QTest::newRow("relative path") << "clips" << QUrl::fromLocalFile(QDir::current().filePath("clips") + "/");
        QTest::newRow("empty") << "" << QUrl();
        QTest::newRow("blank") << "  " << QUrl();
        QTest::newRow("http") << "http://media.example/show" << QUrl();
        QTest::newRow("ftp") << "ftp://media.example/show" << QUrl();
    }

    void folderUrl()
    {
        QFETCH(QString, text);
        QFETCH(QUrl, url);
        QCOMPARE(VideoFolder::folderUrl(text), url);
    }

    void option_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QUrl>("videos");
        QTest::newRow("absent") << QStringList{"--box", "2"} << -1 << QUrl();
        QTest::newRow("path") << QStringList{"--videos", "/data/show"} << -1 << QUrl::fromLocalFile("/data/show/");
        QTest::newRow("file: URL") << QStringList{"--videos", "file:///data/show/"} << -1
                                   << QUrl::fromLocalFile("/data/show/");
        QTest::newRow("with --box") << QStringList{"--box", "3", "--videos", "/data/show"} << -1
                                    << QUrl::fromLocalFile("/data/show/");
        QTest::newRow("http") << QStringList{"--videos", "http://media.example/show"} << 2 << QUrl();
        QTest::newRow("empty") << QStringList{"--videos", ""} << 2 << QUrl();
        QTest::newRow("no value") << QStringList{"--videos"} << 2 << QUrl();
    }

    // A folder that does not exist is a good value: the media list then lists nothing.
    void option()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QUrl, videos);
        ProgramOptions options;
        const ProgramOptions::Outcome outcome = options.parse(args);
        QCOMPARE(outcome.exitCode, exitCode);
        QCOMPARE(options.videos(), videos);
        QCOMPARE(options.property("videos").toUrl(), videos);
        if (exitCode == 2)
            QVERIFY2(outcome.err.contains("--videos"), qPrintable(outcome.err));
    }

    void usageNamesTheOption() { QVERIFY(ProgramOptions::usage().contains("--videos DIR")); }
};

QTEST_GUILESS_MAIN(TestVideoFolder)
#include "tst_videofolder.moc"

// Which file of the page's folder a request target names: nothing outside the folder, however
// the name is written.
#include "pagefiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPageFiles : public QObject
{
    Q_OBJECT

private slots:
    void onlyThePagesFiles()
    {
        QTemporaryDir dir;
        const QString page = dir.path() + "/page";
        QVERIFY(QDir().mkpath(page + "/img"));
        for (const QString &name : {page + "/index.html", page + "/page.js", page + "/img/a b.png", page + "/.secret",
                                    dir.path() + "/outside.txt"}) {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(dir.path() + "/outside.txt", page + "/link.txt"));
        QVERIFY(QFile::link(dir.path(), page + "/up"));
        QVERIFY(QFile::link(page + "/page.js", page + "/inside.js"));
        const PageFiles files(page);

        QCOMPARE(files.resolve("/"), page + "/index.html");
        QCOMPARE(files.resolve("/page.js?v=2#x"), page + "/page.js");
        QCOMPARE(files.resolve("/img/a%20b.png"), page + "/img/a b.png");
        QCOMPARE(files.resolve("//page.js"), page + "/page.js");
        QCOMPARE(files.resolve("/inside.js"), page + "/page.js"); // a link within the folder
        for (const QByteArray &target :
             {QByteArray("/../outside.txt"), QByteArray("/img/../../outside.txt"), QByteArray("/%2e%2e/outside.txt"),
              QByteArray("/%2E%2E%2Foutside.txt"), QByteArray("/img/%2e%2e/%2e%2e/outside.txt"),
              QByteArray("/..%5coutside.txt"), QByteArray("/link.txt"), QByteArray("/up/outside.txt"),
              QByteArray("/.secret"), QByteArray("/img"), QByteArray("/missing.html"), QByteArray("/page.js%00.html"),
              QByteArray("/%ff.html"), QByteArray(dir.path().toUtf8() + "/outside.txt"), QByteArray("outside.txt"),
              QByteArray("*"), QByteArray("http://host/page.js")})
            QVERIFY2(files.resolve(target).isEmpty(), target.constData());

        QVERIFY(PageFiles(dir.path() + "/none").resolve("/").isEmpty());
        QCOMPARE(PageFiles::contentType("a/page.JS"), QByteArray("text/javascript; charset=utf-8"));
    }
};

QTEST_GUILESS_MAIN(TestPageFiles)
#include "tst_pagefiles.moc"

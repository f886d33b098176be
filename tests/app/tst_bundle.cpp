// The resource bundle compiled from the same collection as the program: exactly the documents
// the program loads, the one-line module files, and the controls style file.
#include <QDirIterator>
#include <QFile>
#include <QSettings>
#include <QtTest>

int qInitResources_qml();
int qCleanupResources_qml();

namespace {

QByteArray contents(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return in.readAll();
}

QStringList bundleFiles()
{
    QStringList files;
    QDirIterator it(":/", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (!file.startsWith(":/qt-project.org/"))
            files << file.mid(1);
    }
    files.sort();
    return files;
}

} // namespace

class BundleTest : public QObject
{
    Q_OBJECT

private slots:
    void holdsExactlyTheProgramsFiles()
    {
        QStringList expected{"/main.qml",
                             "/MixerRender.qml",
                             "/qtquickcontrols2.conf",
                             "/common/qmldir",
                             "/common/Debug.qml",
                             "/common/ConfigLoader.qml",
                             "/common/MixerDialog.qml",
                             "/common/DialogButton.qml",
                             "/common/MixerButton.qml",
                             "/common/MixerComboBox.qml",
                             "/common/MixerMenuBar.qml",
                             "/common/PreserveAspectFit.qml",
                             "/common/VendorInfo.qml",
                             "/TimeScheduler/qmldir",
                             "/TimeScheduler/TimeScheduler.qml",
                             "/MixerThemeManager/qmldir",
                             "/MixerThemeManager/MixerThemeManager.qml",
                             "/MixerThemeManager/MixerTheme.qml",
                             "/MixerThemeManager/StyledImageDesc.qml"};
        expected.sort();
        QCOMPARE(bundleFiles(), expected);
        for (const QString &file : expected)
            QVERIFY2(!contents(":" + file).isEmpty(), qPrintable(file));
    }

    void registeredUnderTheNameQml()
    {
        QVERIFY(QFile::exists(":/main.qml"));
        QCOMPARE(qCleanupResources_qml(), 1);
        QVERIFY(!QFile::exists(":/main.qml"));
        QCOMPARE(qInitResources_qml(), 1);
        QVERIFY(QFile::exists(":/main.qml"));
    }

    void moduleFilesAreOneLiners()
    {
        const QList<QPair<QString, QString>> modules{
            {":/common/qmldir", "singleton Debug 1.0 Debug.qml"},
            {":/TimeScheduler/qmldir", "singleton TimeScheduler 1.0 TimeScheduler.qml"},
            {":/MixerThemeManager/qmldir", "singleton MixerThemeManager 1.0 MixerThemeManager.qml"}};
        for (const auto &module : modules) {
            const QString text = QString::fromUtf8(contents(module.first));
            QStringList lines = text.split(QRegularExpression("\r?\n"));
            lines.removeAll(QString());
            QCOMPARE(lines, QStringList{module.second});
        }
    }

    void controlsStyleIsMaterialDarkWithCrLf()
    {
        const QByteArray raw = contents(":/qtquickcontrols2.conf");
        QVERIFY(raw.contains("\r\n"));
        QCOMPARE(raw.count('\n'), raw.count("\r\n"));
        QCOMPARE(raw.count('\r'), raw.count("\r\n"));

        QSettings conf(":/qtquickcontrols2.conf", QSettings::IniFormat);
        QCOMPARE(conf.status(), QSettings::NoError);
        QStringList keys = conf.allKeys();
        keys.sort();
        QCOMPARE(keys, (QStringList{"Controls/Style", "Material/Accent", "Material/Primary", "Material/Theme",
                                    "Universal/Theme"}));
        QCOMPARE(conf.value("Controls/Style").toString(), QString("Material"));
        QCOMPARE(conf.value("Universal/Theme").toString(), QString("Dark"));
        QCOMPARE(conf.value("Material/Theme").toString(), QString("Dark"));
        QCOMPARE(conf.value("Material/Primary").toString(), QString("Grey"));
        QCOMPARE(conf.value("Material/Accent").toString(), QString("White"));
    }

    void pluginsDirectoryBesideTheProgram()
    {
        // Each module directory names a library that is really there.
        for (const QString &module :
             {QStringLiteral("Serialization"), QStringLiteral("TavroBoxPlayer"), QStringLiteral("VideoAlpha")}) {
            const QString dir = QStringLiteral(ORVANE_BIN_DIR "/plugins/") + module;
            const QString qmldir = QString::fromUtf8(contents(dir + "/qmldir"));
            QVERIFY2(qmldir.contains("module " + module + "\n"), qPrintable(qmldir));
            const QRegularExpressionMatch plugin = QRegularExpression("(?m)^plugin (\\S+)").match(qmldir);
            QVERIFY2(plugin.hasMatch(), qPrintable(qmldir));
            QVERIFY2(QFile::exists(dir + "/lib" + plugin.captured(1) + ".so"), qPrintable(dir));
        }
    }
};

QTEST_GUILESS_MAIN(BundleTest)

#include "tst_bundle.moc"

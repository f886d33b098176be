// The Serialization service exactly as the documents call it: real files in a temporary
// directory, including the ways a write can fail.
#include "serialization.h"
#include "servicetest.h"
#include "../../utils/orvanetest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJSEngine>
#include <QJSValueIterator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool put(const QString &file, const QByteArray &data)
{
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(data) == data.size();
}

// Root writes into any directory whatever its mode; taking the override capabilities out of this
// thread's effective set lets a read-only directory refuse root as it refuses the operator.
class WithoutFileOverride
{
public:
    WithoutFileOverride()
    {
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        m_active = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutFileOverride()
    {
        if (m_active)
            syscall(SYS_capset, &m_header, m_saved);
    }
    bool active() const { return m_active || geteuid() != 0; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] = {};
    bool m_active = false;
};

// Files may not grow beyond `bytes` while this lives: the same failure a full disk gives a writer
// part-way through its data.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

} // namespace

class SerializationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        setOrvaneIdentity();
        QVERIFY(m_tmp.isValid());
        // Outside the isolated runner the data directory must still land in the temporary one.
        if (qEnvironmentVariableIsEmpty("ORVANE_TEST_TMP"))
            qputenv("XDG_DATA_HOME", QFile::encodeName(m_tmp.filePath("data")));
        m_dataHome = qEnvironmentVariable("XDG_DATA_HOME");
        QDir(m_dataHome + "/Quarnet/Orvane").removeRecursively();
    }

    void dataDirectoryIsCreatedPerUser()
    {
        const QString expected = m_dataHome + "/Quarnet/Orvane";
        QVERIFY(!QFileInfo::exists(expected));
        Serialization s(&m_engine);
        QCOMPARE(s.applicationDataDirPath(), expected);
        QVERIFY(s.applicationDataDirPath().endsWith("/Orvane"));
        QVERIFY(QFileInfo(expected).isDir());
        QCOMPARE(s.property("applicationDataDirPath").toString(), expected);
    }

    void pathFormsNameTheSameFile()
    {
        Serialization s(&m_engine);
        const QString file = m_tmp.filePath("forms.txt");
        QVERIFY(file.startsWith('/'));
        const QString fourSlashes = "file:///" + file;
        const QString threeSlashes = "file://" + file;
        QVERIFY(fourSlashes.startsWith("file:////"));

        QVERIFY(s.writeToTextFile(fourSlashes, "four"));
        QCOMPARE(contents(file), QByteArray("four"));
        QCOMPARE(s.readTextFile(file), QString("four"));
        QCOMPARE(s.readTextFile(threeSlashes), QString("four"));
        QVERIFY(s.writeToTextFile(threeSlashes, "three"));
        QCOMPARE(s.readTextFile(fourSlashes), QString("three"));
        QVERIFY(s.writeToTextFile(file, "-plain", true));
        QCOMPARE(s.readTextFile(fourSlashes), QString("three-plain"));
        for (const QString &form : {file, fourSlashes, threeSlashes})
            QVERIFY2(s.isFileExists(form), qPrintable(form));
        QVERIFY(!s.isFileExists("file:///" + m_tmp.filePath("absent.txt")));
        QVERIFY(!s.isFileExists(m_tmp.filePath("absent.txt")));

        // Directories count as existing, in either form.
        QVERIFY(s.isFileExists("file://" + m_tmp.path()));
        QVERIFY(s.isFileExists(m_tmp.path()));
        QVERIFY(!s.isFileExists(""));

        QVERIFY(s.writeToJsonFile("file:///" + m_tmp.filePath("forms.json"), m_engine.evaluate("({a: 1})")));
        QCOMPARE(s.readFromJsonFile(m_tmp.filePath("forms.json")).property("a").toInt(), 1);
        QCOMPARE(s.readFromJsonFile("file://" + m_tmp.filePath("forms.json")).property("a").toInt(), 1);
    }

    void relativePathsLiveInTheDataDirectory()
    {
        Serialization s(&m_engine);
        const QString data = s.applicationDataDirPath();
        // Whatever the working directory, a relative path names a file of the data directory.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_tmp.path()));
        const bool wrote = s.writeToTextFile("relative.txt", "here");
        QVERIFY(QDir(m_tmp.filePath("Layers")).mkpath("."));
        const bool layersSeen = s.isFileExists("Layers");
        QVERIFY(QDir::setCurrent(before));

        QVERIFY(wrote);
        QCOMPARE(contents(data + "/relative.txt"), QByteArray("here"));
        QVERIFY(!QFileInfo::exists(m_tmp.filePath("relative.txt")));
        QVERIFY2(!layersSeen, "a relative directory was looked up in the working directory");
        QVERIFY(QDir(data).mkpath("Layers"));
        QVERIFY(s.isFileExists("Layers"));
        QCOMPARE(s.readTextFile("relative.txt"), QString("here"));
        QCOMPARE(s.readTextFile("file:relative.txt"), QString("here"));
    }

    // The default data directory and scene folders are made on first use: one level at a time,
    // relative to the data directory, never through a missing parent or over a file.
    void directoriesAreMadeOneLevelAtATime()
    {
        Serialization s(&m_engine);
        const QString data = s.applicationDataDirPath();
        QDir(data + "/Made").removeRecursively();
        QVERIFY(!s.isDirectory("Made"));
        QVERIFY(s.makeDirectory("Made"));
        QVERIFY(QFileInfo(data + "/Made").isDir());
        QVERIFY(s.isDirectory("Made"));
        QVERIFY(s.isDirectory("file://" + data + "/Made"));
        QVERIFY2(s.makeDirectory("Made"), "an existing directory is fine");
        QVERIFY(s.makeDirectory("file:///" + data + "/Made/SCENE-01"));
        QVERIFY(QFileInfo(data + "/Made/SCENE-01").isDir());

        // a missing parent is not made
        QVERIFY(!s.makeDirectory(m_tmp.filePath("no/such/parent")));
        QVERIFY(!QFileInfo::exists(m_tmp.filePath("no")));
        QVERIFY(!s.isDirectory(m_tmp.filePath("no")));

        // a file in the way stays a file
        const QString file = m_tmp.filePath("plain-file");
        QVERIFY(s.writeToTextFile(file, "kept"));
        QVERIFY(!s.makeDirectory(file));
        QVERIFY(!s.isDirectory(file));
        QCOMPARE(contents(file), QByteArray("kept"));
        QVERIFY(!s.makeDirectory(file + "/inside"));
        QVERIFY(!s.makeDirectory(""));
        QVERIFY(!s.isDirectory(""));

        // a parent without write permission
        const QString locked = m_tmp.filePath("locked");
        QVERIFY(QDir().mkpath(locked));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
        const bool root = QFileInfo(locked).isWritable();
        if (!root)
            QVERIFY(!s.makeDirectory(locked + "/child"));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void readFromJsonFileOnMissingEmptyAndInvalid()
    {
        Serialization s(&m_engine);
        QVERIFY(!s.readFromJsonFile(m_tmp.filePath("missing.json")).toBool());

        const QString empty = m_tmp.filePath("empty-object.json");
        QVERIFY(put(empty, "{}"));
        const QJSValue object = s.readFromJsonFile(empty);
        QVERIFY(object.isObject());
        QVERIFY(object.toBool());
        QJSValueIterator it(object);
        QVERIFY(!it.hasNext());

        const QString array = m_tmp.filePath("array.json");
        QVERIFY(put(array, "[1, \"two\"]"));
        const QJSValue list = s.readFromJsonFile(array);
        QVERIFY(list.isArray());
        QCOMPARE(list.property("length").toInt(), 2);
        QCOMPARE(list.property(1).toString(), QString("two"));

        for (const QByteArray &bad :
             {QByteArray("{\"a\": "), QByteArray(""), QByteArray("not json"), QByteArray("{'a': 1}")}) {
            const QString file = m_tmp.filePath("invalid.json");
            QVERIFY(put(file, bad));
            const QJSValue value = s.readFromJsonFile(file);
            QVERIFY2(!value.toBool(), bad.constData());
            QVERIFY2(!value.isError(), bad.constData());
        }
        // A directory is not a readable file.
        QVERIFY(!s.readFromJsonFile(m_tmp.path()).toBool());
    }

    void jsonKeepsKeyOrderAndLayout()
    {
        Serialization s(&m_engine);
        const QString file = m_tmp.filePath("order.json");
        const QJSValue value = m_engine.evaluate("({zeta: 1, alpha: {b: true, a: null}, mid: [3, \"x\"]})");
        QVERIFY(s.writeToJsonFile(file, value));
        QCOMPARE(contents(file), QByteArray("{\n"
                                            "  \"zeta\": 1,\n"
                                            "  \"alpha\": {\n"
                                            "    \"b\": true,\n"
                                            "    \"a\": null\n"
                                            "  },\n"
                                            "  \"mid\": [\n"
                                            "    3,\n"
                                            "    \"x\"\n"
                                            "  ]\n"
                                            "}"));

        m_engine.globalObject().setProperty("loaded", s.readFromJsonFile(file));
        QCOMPARE(m_engine.evaluate("Object.keys(loaded).join()").toString(), QString("zeta,alpha,mid"));
        QCOMPARE(m_engine.evaluate("Object.keys(loaded.alpha).join()").toString(), QString("b,a"));

        // A value that is not JSON leaves the file as it was.
        for (const char *script :
             {"undefined", "(function () {})", "(function () { var c = {}; c.self = c; return c })()"}) {
            QVERIFY2(!s.writeToJsonFile(file, m_engine.evaluate(script)), script);
            QCOMPARE(s.readFromJsonFile(file).property("zeta").toInt(), 1);
        }
    }

    void textFilesAppendAndReplace()
    {
        Serialization s(&m_engine);
        const QString file = m_tmp.filePath("log/Errors.txt");
        QVERIFY(QDir(m_tmp.path()).mkpath("log"));
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(s.writeToTextFile(file, "first\n", true));
        QCOMPARE(contents(file), QByteArray("first\n"));
        QVERIFY(s.writeToTextFile(file, "second\n", true));
        QCOMPARE(contents(file), QByteArray("first\nsecond\n"));
        QVERIFY(s.writeToTextFile(file, "replaced"));
        QCOMPARE(contents(file), QByteArray("replaced"));
        QVERIFY(s.writeToTextFile(file, ""));
        QCOMPARE(contents(file), QByteArray(""));

        const QString text = QString::fromUtf8("Grüße ✓ \"quoted\"\r\n");
        QVERIFY(s.writeToTextFile(file, text));
        QCOMPARE(s.readTextFile(file), text);
        QVERIFY(s.readTextFile(m_tmp.filePath("log/absent.txt")).isEmpty());
        QVERIFY(!s.writeToTextFile(m_tmp.filePath("no-such-dir/Errors.txt"), "x", true));
        QVERIFY(!QFileInfo::exists(m_tmp.filePath("no-such-dir")));
    }

    void failedReplacingWriteKeepsTheOldFile()
    {
        Serialization s(&m_engine);
        const QByteArray old("{\n  \"old\": true\n}");

        // Missing directory: nothing is created.
        QVERIFY(!s.writeToTextFile(m_tmp.filePath("gone/file.json"), "new"));
        QVERIFY(!s.writeToJsonFile(m_tmp.filePath("gone/file.json"), m_engine.evaluate("({})")));
        QVERIFY(!QFileInfo::exists(m_tmp.filePath("gone")));

        // A regular file where the directory should be.
        QVERIFY(put(m_tmp.filePath("notadir"), "plain"));
        QVERIFY(!s.writeToTextFile(m_tmp.filePath("notadir/file.json"), "new"));
        QVERIFY(!s.writeToTextFile("file:///" + m_tmp.filePath("notadir/file.json"), "new", true));
        QCOMPARE(contents(m_tmp.filePath("notadir")), QByteArray("plain"));

        // The target is a directory.
        QVERIFY(QDir(m_tmp.path()).mkpath("adir"));
        QVERIFY(!s.writeToTextFile(m_tmp.filePath("adir"), "new"));
        QVERIFY(QFileInfo(m_tmp.filePath("adir")).isDir());

        // Read-only directory holding the old file.
        const QString roDir = m_tmp.filePath("readonly");
        const QString roFile = roDir + "/output_config.json";
        QVERIFY(QDir(m_tmp.path()).mkpath("readonly"));
        QVERIFY(put(roFile, old));
        QVERIFY(QFile::setPermissions(roDir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                                                 | QFile::ReadOther | QFile::ExeOther));
        bool roText = true, roJson = true, guarded = false;
        {
            WithoutFileOverride noOverride;
            guarded = noOverride.active();
            roText = s.writeToTextFile(roFile, "new");
            roJson = s.writeToJsonFile(roFile, m_engine.evaluate("({fresh: 1})"));
        }
        QVERIFY(QFile::setPermissions(roDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY2(guarded, "cannot take away root's override of file modes");
        QVERIFY(!roText);
        QVERIFY(!roJson);
        QCOMPARE(contents(roFile), old);
        QCOMPARE(QDir(roDir).entryList(QDir::Files | QDir::Hidden), QStringList{"output_config.json"});

        // Full disk part-way through the new text.
        const QString fullDir = m_tmp.filePath("full");
        const QString fullFile = fullDir + "/queue.json";
        QVERIFY(QDir(m_tmp.path()).mkpath("full"));
        QVERIFY(put(fullFile, old));
        const QString big(256 * 1024, QLatin1Char('x'));
        m_engine.globalObject().setProperty("big", big);
        const QJSValue bigValue = m_engine.evaluate("({big: big})");
        bool fullText = true, fullJson = true, limited = false;
        {
            FileSizeLimit limit(16 * 1024);
            limited = limit.active();
            fullText = s.writeToTextFile(fullFile, big);
            fullJson = s.writeToJsonFile(fullFile, bigValue);
        }
        QVERIFY(limited);
        QVERIFY(!fullText);
        QVERIFY(!fullJson);
        QCOMPARE(contents(fullFile), old);
        QCOMPARE(QDir(fullDir).entryList(QDir::Files | QDir::Hidden), QStringList{"queue.json"});

        // With room again the same write goes through.
        QVERIFY(s.writeToTextFile(fullFile, big));
        QCOMPARE(contents(fullFile).size(), big.size());
    }

    void successfulWritesLeaveNoTemporaryFiles()
    {
        Serialization s(&m_engine);
        QVERIFY(QDir(m_tmp.path()).mkpath("clean"));
        const QString dir = m_tmp.filePath("clean");
        for (int i = 0; i < 3; ++i) {
            QVERIFY(s.writeToJsonFile(dir + "/a.json", m_engine.evaluate(QString("({n: %1})").arg(i))));
            QVERIFY(s.writeToTextFile(dir + "/b.txt", QString::number(i)));
            QVERIFY(s.writeToTextFile(dir + "/c.txt", QString::number(i), true));
        }
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{"a.json", "b.txt", "c.txt"}));
        QCOMPARE(s.readFromJsonFile(dir + "/a.json").property("n").toInt(), 2);
        QCOMPARE(contents(dir + "/c.txt"), QByteArray("012"));
    }

    void environment()
    {
        Serialization s(&m_engine);
        qputenv("ORVANE_PROBE_VALUE", "a b/ü");
        QCOMPARE(s.getEnv("ORVANE_PROBE_VALUE"), QString::fromUtf8("a b/ü"));
        qunsetenv("ORVANE_PROBE_VALUE");
        QVERIFY(s.getEnv("ORVANE_PROBE_VALUE").isEmpty());
        QVERIFY(s.getEnv("").isEmpty());
        QCOMPARE(s.getEnv("logDir"), qEnvironmentVariable("logDir"));
    }

    void memoryRoundTrip()
    {
        Serialization s(&m_engine);
        const QJSValue value = m_engine.evaluate("({b: 1, a: [1, \"x\", {c: null}], d: \"é\"})");
        const QString stored = s.writeToMemory(value);
        QCOMPARE(stored, QString::fromUtf8("{\"b\":1,\"a\":[1,\"x\",{\"c\":null}],\"d\":\"é\"}"));
        const QJSValue back = s.readFromMemory(stored);
        QVERIFY(back.isObject());
        QCOMPARE(s.writeToMemory(back), stored);
        QCOMPARE(s.writeToMemory(m_engine.evaluate("[]")), QString("[]"));
        QVERIFY(!s.readFromMemory("").toBool());
        QVERIFY(!s.readFromMemory("{broken").toBool());
    }

private:
    QTemporaryDir m_tmp{testRoot() + "/serialization-XXXXXX"};
    QString m_dataHome;
    QJSEngine m_engine;
};

QTEST_GUILESS_MAIN(SerializationTest)

#include "tst_serialization.moc"

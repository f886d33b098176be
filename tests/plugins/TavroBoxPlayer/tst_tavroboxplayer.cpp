// The player plugin as the program's engine sees it: the shipped library under bin/plugins,
// loaded by import, by Qt's plugin loader and through its exported entry point.
#include <QCoreApplication>
#include <QJsonObject>
#include <QLibrary>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPluginLoader>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlExtensionPlugin>
#include <QScopedPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString pluginDir = QStringLiteral(ORVANE_BIN_DIR "/plugins");
const QString libraryFile = QStringLiteral(ORVANE_BIN_DIR "/plugins/TavroBoxPlayer/libTavroBoxPlayer.so");

struct Captured
{
    QtMsgType type;
    QString text;
    QString file;
    int line;
    QString function;
    QString category;
};
QList<Captured> captured;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    captured.append({type, text, QString::fromUtf8(context.file), context.line, QString::fromUtf8(context.function),
                     QString::fromUtf8(context.category)});
}

const QMetaObject *playerMetaObject(const QObject *object)
{
    const QMetaObject *mo = object->metaObject();
    while (mo && qstrcmp(mo->className(), "TavroBoxPlayer") != 0)
        mo = mo->superClass();
    return mo;
}

} // namespace

class TavroBoxPlayerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(libraryFile), qPrintable(libraryFile));
        m_engine.addImportPath(pluginDir);
    }

    void newPlayerIsNamedDefaultNameSilently()
    {
        QScopedPointer<QObject> player(create(QStringLiteral("TavroBoxPlayer {}")));
        QVERIFY(player);
        QCOMPARE(player->property("name").toString(), QString("Default Name"));

        QScopedPointer<QObject> named(create(QStringLiteral("TavroBoxPlayer { name: 'Layer 1' }")));
        QVERIFY(named);
        QCOMPARE(named->property("name").toString(), QString("Layer 1"));
    }

    void setNameEmitsOnlyOnRealChanges()
    {
        QScopedPointer<QObject> player(create(QStringLiteral("TavroBoxPlayer {}")));
        QVERIFY(player);
        QSignalSpy changed(player.data(), SIGNAL(nameChanged()));
        QVERIFY(changed.isValid());

        QVERIFY(player->setProperty("name", QString("Default Name")));
        QCOMPARE(changed.count(), 0);
        player->setProperty("name", QString(""));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(player->property("name").toString(), QString(""));
        player->setProperty("name", QString(""));
        QCOMPARE(changed.count(), 1);
        player->setProperty("name", QString("Player"));
        QCOMPARE(changed.count(), 2);
        player->setProperty("name", QString("player"));
        QCOMPARE(changed.count(), 3);
        player->setProperty("name", QString("PLAYER"));
        QCOMPARE(changed.count(), 4);
        player->setProperty("name", QString("PLAYER"));
        QCOMPARE(changed.count(), 4);
        QCOMPARE(player->property("name").toString(), QString("PLAYER"));

        // Handlers read the new value: the signal comes after the assignment.
        QStringList seen;
        connect(player.data(), SIGNAL(nameChanged()), this, SLOT(recordName()));
        m_seen = &seen;
        player->setProperty("name", QString("after"));
        m_seen = nullptr;
        QCOMPARE(seen, QStringList{"after"});
    }

    void printMessageWritesOneQuotedDebugLine()
    {
        QScopedPointer<QObject> player(create(QStringLiteral("TavroBoxPlayer {}")));
        QVERIFY(player);
        const QStringList texts{"hello", "", "say \"hi\"", "back\\slash", "tab\there"};
        const QStringList expected{"Message from C++: \"hello\"", "Message from C++: \"\"",
                                   "Message from C++: \"say \\\"hi\\\"\"", "Message from C++: \"back\\\\slash\"",
                                   "Message from C++: \"tab\\there\""};
        captured.clear();
        const QtMessageHandler previous = qInstallMessageHandler(capture);
        for (const QString &text : texts)
            QMetaObject::invokeMethod(player.data(), "printMessage", Q_ARG(QString, text));
        qInstallMessageHandler(previous);

        QCOMPARE(captured.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(captured[i].text, expected[i]);
            QCOMPARE(captured[i].type, QtDebugMsg);
            QCOMPARE(captured[i].category, QString("default"));
            // The message points at the line that wrote it.
            QVERIFY2(captured[i].file.endsWith("TavroBoxPlayer.cpp"), qPrintable(captured[i].file));
            QVERIFY(captured[i].line > 0);
            QVERIFY2(captured[i].function.contains("printMessage"), qPrintable(captured[i].function));
        }

        // From a document the method is called like any other.
        captured.clear();
        qInstallMessageHandler(capture);
        QScopedPointer<QObject> fromQml(
            create(QStringLiteral("import QtQml 2.12\nTavroBoxPlayer { Component.onCompleted: printMessage(name) }")));
        qInstallMessageHandler(previous);
        QVERIFY(fromQml);
        QCOMPARE(captured.size(), 1);
        QCOMPARE(captured[0].text, QString("Message from C++: \"Default Name\""));
        QCOMPARE(captured[0].type, QtDebugMsg);
    }

    void metaObjectHasExactlyTheTwoMethodsAndOneProperty()
    {
        QScopedPointer<QObject> player(create(QStringLiteral("TavroBoxPlayer {}")));
        QVERIFY(player);
        const QMetaObject *mo = playerMetaObject(player.data());
        QVERIFY(mo);
        QCOMPARE(mo->superClass(), &QObject::staticMetaObject);
        QCOMPARE(mo->methodCount() - mo->methodOffset(), 2);
        const QMetaMethod first = mo->method(mo->methodOffset());
        const QMetaMethod second = mo->method(mo->methodOffset() + 1);
        QCOMPARE(first.methodSignature(), QByteArray("nameChanged()"));
        QCOMPARE(first.methodType(), QMetaMethod::Signal);
        QCOMPARE(first.access(), QMetaMethod::Public);
        QCOMPARE(second.methodSignature(), QByteArray("printMessage(QString)"));
        QCOMPARE(second.methodType(), QMetaMethod::Method);
        QCOMPARE(second.access(), QMetaMethod::Public);
        QCOMPARE(second.parameterNames(), QList<QByteArray>{"message"});
        QCOMPARE(second.returnType(), int(QMetaType::Void));

        QCOMPARE(mo->propertyCount() - mo->propertyOffset(), 1);
        const QMetaProperty name = mo->property(mo->propertyOffset());
        QCOMPARE(QByteArray(name.name()), QByteArray("name"));
        QCOMPARE(name.userType(), int(QMetaType::QString));
        QVERIFY(name.isReadable());
        QVERIFY(name.isWritable());
        QVERIFY(name.isDesignable());
        QVERIFY(name.isScriptable());
        QVERIFY(name.isStored());
        QVERIFY(name.hasNotifySignal());
        QCOMPARE(name.notifySignal().methodSignature(), QByteArray("nameChanged()"));
    }

    void pluginMetadataAndInstance()
    {
        QPluginLoader loader(libraryFile);
        const QJsonObject meta = loader.metaData();
        QCOMPARE(meta.value("IID").toString(), QString("org.qt-project.Qt.QQmlExtensionInterface"));
        QCOMPARE(meta.value("className").toString(), QString("QmlPlugin"));
        QVERIFY(meta.value("MetaData").toObject().isEmpty());

        QLibrary library(libraryFile);
        QVERIFY2(library.load(), qPrintable(library.errorString()));
        using Instance = QObject *(*)();
        const auto instance = reinterpret_cast<Instance>(library.resolve("qt_plugin_instance"));
        QVERIFY(instance);
        QVERIFY(library.resolve("qt_plugin_query_metadata"));
        QObject *first = instance();
        QVERIFY(first);
        QCOMPARE(instance(), first);
        QCOMPARE(loader.instance(), first);

        QCOMPARE(QByteArray(first->metaObject()->className()), QByteArray("QmlPlugin"));
        const QMetaObject *mo = first->metaObject();
        QCOMPARE(mo->methodCount(), mo->methodOffset());
        QCOMPARE(mo->propertyCount(), mo->propertyOffset());
        QCOMPARE(first->parent(), nullptr);
        auto *plugin = qobject_cast<QQmlExtensionPlugin *>(first);
        QVERIFY(plugin);

        // The type goes under whatever identifier it is given.
        plugin->registerTypes("Orvane.Test.Players");
        QScopedPointer<QObject> player(create(QStringLiteral("TavroBoxPlayer {}"), "Orvane.Test.Players 1.0"));
        QVERIFY(player);
        QCOMPARE(player->property("name").toString(), QString("Default Name"));
        QVERIFY(!createOrNull(QStringLiteral("TavroBoxPlayer {}"), "Orvane.Test.Players 2.0"));
    }

public slots:
    void recordName()
    {
        if (m_seen)
            m_seen->append(sender()->property("name").toString());
    }

private:
    QObject *createOrNull(const QString &body, const QString &import)
    {
        QQmlComponent component(&m_engine);
        component.setData(QString("import %1\n%2\n").arg(import, body).toUtf8(), QUrl("file:///player-test.qml"));
        return component.isReady() ? component.create() : nullptr;
    }

    QObject *create(const QString &body, const QString &import = QStringLiteral("TavroBoxPlayer 1.0"))
    {
        QQmlComponent component(&m_engine);
        component.setData(QString("import %1\n%2\n").arg(import, body).toUtf8(), QUrl("file:///player-test.qml"));
        if (!component.isReady()) {
            qWarning().noquote() << component.errorString();
            return nullptr;
        }
        return component.create();
    }

    QQmlEngine m_engine;
    QStringList *m_seen = nullptr;
};

QTEST_GUILESS_MAIN(TavroBoxPlayerTest)

#include "tst_tavroboxplayer.moc"

// The trace functions against their worked examples: exact lines, in order, and nothing more.
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlExpression>
#include <QtTest>

namespace {
QStringList captured;
void capture(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtWarningMsg)
        captured << msg;
}
} // namespace

class TestDebug : public QObject
{
    Q_OBJECT

    QQmlEngine engine;
    QObject *host = nullptr;

    // Evaluates `code` in a document that imports the trace singleton; returns what it printed.
    QStringList run(const QString &code, QVariant *result = nullptr)
    {
        captured.clear();
        QQmlExpression expr(qmlContext(host), host, code);
        QtMessageHandler previous = qInstallMessageHandler(capture);
        const QVariant value = expr.evaluate();
        qInstallMessageHandler(previous);
        if (expr.hasError())
            qWarning() << expr.error().toString();
        if (result)
            *result = value;
        return captured;
    }

private slots:
    void initTestCase()
    {
        QQmlComponent component(&engine);
        component.setData("import QtQml 2.12\nimport \"../qml/common\"\n"
                          "QtObject { property var debug: Debug }",
                          QUrl::fromLocalFile(QStringLiteral(ORVANE_SOURCE_DIR "/tests/host.qml")));
        host = component.create();
        QVERIFY2(host, qPrintable(component.errorString()));
    }

    void workedExamples()
    {
        QCOMPARE(run("Debug.p('config', {a: 1, b: {c: 2}})"),
                 QStringList({"------config [object]", ".a:1", ".b:[object]", ".b.c:2"}));
        QCOMPARE(run("Debug.p('n', 5)"), QStringList({"------n 5", ":5"}));
        QCOMPARE(run("Debug.p('n', 0)"), QStringList({"------n ", ":0"}));
        QCOMPARE(run("Debug.p('text')"), QStringList({"------text "}));
    }

    void headerAndNestedForm()
    {
        QVariant result;
        QCOMPARE(run("Debug.p()", &result), QStringList({":undefined"}));
        QVERIFY(!result.isValid());
        QCOMPARE(run("Debug.p('')"), QStringList({"------ ", ":undefined"}));
        QCOMPARE(run("Debug.p('msg', null) === null", &result), QStringList({"------msg "}));
        QVERIFY(result.toBool());
        QCOMPARE(run("Debug.p('o', {a: 1}, 0)"), QStringList({"------o [object]", ":[object Object]"}));
        QCOMPARE(run("Debug.p('v', 7).toString()", &result), QStringList({"------v 7", ":7"}));
        QCOMPARE(result.toString(), QStringLiteral("7"));
    }

    void argumentShift()
    {
        QVariant result;
        // An object alone is traced at depth 2 and returned.
        QCOMPARE(run("var o = {a: {b: {c: 1}}}; Debug.p(o) === o", &result),
                 QStringList({"------[object]", ".a:[object]", ".a.b:[object Object]"}));
        QVERIFY(result.toBool());
        // ... with a depth as second argument, one level deeper.
        QCOMPARE(run("Debug.p({a: {b: {c: 1}}}, 3)"),
                 QStringList({"------[object]", ".a:[object]", ".a.b:[object]", ".a.b.c:1"}));
        // ... and the filter moves to the third place.
        QCOMPARE(run("Debug.p({ab: 1, c: 2}, 2, 'b')"), QStringList({"------[object]", ".ab:1"}));
    }

    void membersAndFilter()
    {
        QCOMPARE(run("Debug.p('u', {_hidden: 1, a: {_x: 2, y: 3}})"),
                 QStringList({"------u [object]", ".a:[object]", ".a.y:3"}));
        // Members that fail the filter are not printed, but their own members are still visited.
        QCOMPARE(run("Debug.p('f', {ax: {q: 1}, b: {a: 2}, c: 3}, 2, 'a')"),
                 QStringList({"------f [object]", ".ax:[object]", ".ax.q:1", ".b.a:2"}));
        QCOMPARE(run("Debug.p('l', [5, 6])"), QStringList({"------l 5,6", ".0:5", ".1:6"}));
        // parent and style are listed but never expanded.
        QCOMPARE(run("Debug.p('o', {parent: {x: 1}, style: {y: 2}})"),
                 QStringList({"------o [object]", ".parent:[object Object]", ".style:[object Object]"}));
    }

    void functionsAndValueTypes()
    {
        const char *withFunctions = "({f: function () {}, onXChanged: function () {}, n: 1})";
        QCOMPARE(run(QString("Debug.p('o', %1)").arg(withFunctions)), QStringList({"------o [object]", ".n:1"}));
        QCOMPARE(run(QString("Debug.pf('o', %1)").arg(withFunctions)),
                 QStringList({"------o [object]", ".f()", ".n:1"}));
        QCOMPARE(run("Debug.p('pt', Qt.point(1, 2))"), QStringList({"------pt QPointF(1, 2)"}));
        const QStringList expanded = run("Debug.pf('pt', Qt.point(1, 2))");
        QVERIFY(expanded.contains(".x:1"));
        QVERIFY(expanded.contains(".y:2"));
    }

    void dumpText()
    {
        QVariant text;
        QVERIFY(run("Debug.dump('config', {a: 1, b: {c: 2}})", &text).isEmpty());
        QCOMPARE(text.toString(), QStringLiteral("------config [object]\n.a:1\n.b:[object Object]\n.b.c:2"));
        run("Debug.dump('pt', Qt.point(1, 2))", &text);
        QCOMPARE(text.toString(), QStringLiteral("------pt QPointF(1, 2)\n:QPointF(1, 2)"));
        run("Debug.dump('o', {p: Qt.size(3, 4)})", &text);
        QCOMPARE(text.toString(), QStringLiteral("------o [object]\n.p:QSizeF(3, 4)\n.p:QSizeF(3, 4)"));
        run("Debug.dumpf('o', {f: function () {}})", &text);
        QCOMPARE(text.toString(), QStringLiteral("------o [object]\n.f()"));
        run("Debug.dump('x', null)", &text);
        QCOMPARE(text.toString(), QStringLiteral("------x "));
        // the worker appends to the text built so far
        run("Debug._dump('x', 1, undefined, undefined, undefined, false, 'PRE')", &text);
        QCOMPARE(text.toString(), QStringLiteral("PRE------x 1\n:1"));
    }

    void differences()
    {
        QCOMPARE(run("var d = Debug.dump('c', {a: 1, b: 2}); Debug.dif(d, d)"), QStringList());
        QCOMPARE(run("Debug.dif(Debug.dump('c', {a: 1, b: 3}), Debug.dump('c', {a: 1, b: 2}))"),
                 QStringList({"------c [object]", ".b:3  (2)"}));
        // Values are compared only up to their first ":".
        QCOMPARE(run("Debug.dif(Debug.dump('c', {t: '12:45'}), Debug.dump('c', {t: '12:30'}))"),
                 QStringList({"------c [object]"}));
        // A new member has no old value; a line without ":" is always printed; old-only lines are not.
        QCOMPARE(run("Debug.dif('\\n.a:1\\n.n:2\\nplain', '\\n.a:1\\n.gone:5\\nplain')"),
                 QStringList({".n:2", "plain"}));
    }
};

QTEST_GUILESS_MAIN(TestDebug)
#include "tst_debug.moc"

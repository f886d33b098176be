// A scene's data as a template takes it: the forms its data comes in, each value made fit for the
// property that takes it (never a URL to fetch), and the scene's container read only by a plain
// name.
#include <QColor>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "templatefields.h"

class TestTemplateFields : public QObject
{
    Q_OBJECT

private slots:
    void fromDataTakesListsObjectsAndText()
    {
        QString problem;
        QStringList order;
        const QVariantList list{QVariantMap{{"name", "title"}, {"value", "Guest"}}, QVariantMap{{"value", 1}},
                                QVariantMap{{"name", "name"}, {"value", "Ann"}},
                                QVariantMap{{"name", "title"}, {"value", "Host"}}};
        QCOMPARE(TemplateFields::fromData(list, &problem, &order), QVariantMap({{"title", "Host"}, {"name", "Ann"}}));
        QCOMPARE(order, QStringList({"title", "name"}));      // the list's order, each name once
        QVERIFY2(problem.contains("1"), qPrintable(problem)); // the entry without a name
        problem.clear();
        QCOMPARE(TemplateFields::fromData(QString(R"({"b": 2, "a": 1})"), &problem, &order),
                 QVariantMap({{"a", 1}, {"b", 2}}));
        QCOMPARE(order, QStringList({"a", "b"}));
        QVERIFY(problem.isEmpty());
        QVERIFY(TemplateFields::fromData(42, &problem).isEmpty() && !problem.isEmpty());
    }

    void convertFitsEachKind()
    {
        const QUrl base(QStringLiteral("file:///templates/lower-third/"));
        const auto fit = [&base](QVariant value, int type) {
            return TemplateFields::convert(value, type, base) ? value : QVariant(QStringLiteral("refused"));
        };
        QCOMPARE(fit(" 42 ", QMetaType::Int), QVariant(42));
        QCOMPARE(fit("4x2", QMetaType::Int), QVariant("refused"));
        QCOMPARE(fit("TRUE", QMetaType::Bool), QVariant(true));
        QCOMPARE(fit("yes", QMetaType::Bool), QVariant("refused"));
        QCOMPARE(fit("#f2a900", QMetaType::QColor), QVariant(QColor("#f2a900")));
        QCOMPARE(fit("not a colour", QMetaType::QColor), QVariant("refused"));
        QCOMPARE(fit(QVariantList{1}, QMetaType::QString), QVariant("refused"));
        QCOMPARE(fit("logo.png", QMetaType::QUrl), QVariant(QUrl("file:///templates/lower-third/logo.png")));
        QCOMPARE(fit("http://example.com/logo.png", QMetaType::QUrl), QVariant("refused"));
    }

    void containerIsReadByAPlainNameOnly()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("S1"));
        QFile file(dir.filePath("S1/S1.gfxc"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"graphics_id": "S1", "template_params": [{"name": "name", "value": "Ann"}]})");
        file.close();
        const QJsonObject container = TemplateFields::container(dir.path(), "S1");
        QCOMPARE(container["graphics_id"].toString(), QStringLiteral("S1"));
        for (const QString &hostile :
             QStringList{"../S1", "S1/..", "..", "S1%2f..", "", QStringLiteral("S1") + QChar(0)})
            QVERIFY2(!TemplateFields::isPlainName(hostile) && TemplateFields::container(dir.path(), hostile).isEmpty(),
                     qPrintable(hostile));
        // a Cue's own data wins over the container's
        QCOMPARE(TemplateFields::cueData(container, QVariant()), container["template_params"].toVariant());
        QCOMPARE(TemplateFields::cueData(container, QVariantMap{{"name", "Bo"}}),
                 QVariant(QVariantMap{{"name", "Bo"}}));
    }
};

QTEST_GUILESS_MAIN(TestTemplateFields)
#include "tst_templatefields.moc"

#include "AppFont.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QTest>

// The fixed-pitch font's fallbacks: Lucida Console, then LucidaTypewriter at
// a smaller size, then the B&H face; fixed pitch in every case.
class TestAppFont : public QObject
{
    Q_OBJECT

private slots:
    void choosesTheFirstFamilyTheSystemHas_data()
    {
        QTest::addColumn<QStringList>("available");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixelSize");
        QTest::newRow("Lucida Console") << QStringList({"Lucida Console", "LucidaTypewriter"}) << "Lucida Console" << 11;
        QTest::newRow("LucidaTypewriter") << QStringList({"LucidaTypewriter"}) << "LucidaTypewriter" << 10;
        QTest::newRow("neither") << QStringList() << "B&H LucidaTypewriter" << 11;
    }
    void choosesTheFirstFamilyTheSystemHas()
    {
        QFETCH(QStringList, available);
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        QStringList asked;
        ChooseAppFont([&](const QFont &font) {
            asked << font.family();
            return available.contains(font.family());
        });
        QCOMPARE(AppFont().family(), family);
        QCOMPARE(AppFont().pixelSize(), pixelSize);
        QVERIFY(AppFont().fixedPitch());
        QCOMPARE(AppFont().styleHint(), QFont::TypeWriter);
        QVERIFY(!asked.contains("B&H LucidaTypewriter"));
    }

    void systemMatcherGivesAMonospacedFace()
    {
        ChooseAppFont();
        QVERIFY(AppFont().fixedPitch());
        QVERIFY(AppFont().pixelSize() == 10 || AppFont().pixelSize() == 11);
        // Columns of the hex view and the log line up only when every
        // character is equally wide.
        const QFontMetrics metrics(AppFont());
        QVERIFY2(metrics.horizontalAdvance('i') == metrics.horizontalAdvance('W'),
                 qPrintable(QFontInfo(AppFont()).family()));
    }
};

QTEST_MAIN(TestAppFont)
#include "tst_appfont.moc"

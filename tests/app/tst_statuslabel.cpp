#include "StatusLabel.h"

#include <QTest>

// The connection label: every state text padded to the longest one, so the
// label's width never changes with the state it shows.
class TestStatusLabel : public QObject
{
    Q_OBJECT

private slots:
    void padsEveryTextToTheLongest_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("padded");
        QTest::newRow("longest last") << QStringList({"ab", "abcd"}) << QStringList({"ab  ", "abcd"});
        QTest::newRow("longest first") << QStringList({"abcd", "a", ""}) << QStringList({"abcd", "a   ", "    "});
        QTest::newRow("connection states")
            << QStringList({"USB Not connected", "USB connected (1.1)", "USB connected (2.0)"})
            << QStringList({"USB Not connected  ", "USB connected (1.1)", "USB connected (2.0)"});
    }
    void padsEveryTextToTheLongest()
    {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, padded);
        CStatusLabel label;
        for (const QString &text : texts)
            label.AddText(text);
        QCOMPARE(label.Texts(), padded);
        // The first text added is shown, already padded to the final width.
        QCOMPARE(label.State(), 0);
        QCOMPARE(label.text(), padded.front());
        for (int i = 0; i < padded.size(); ++i) {
            label.SetState(i);
            QCOMPARE(label.text().size(), padded.back().size());
        }
    }

    void ignoresStatesOutsideTheList()
    {
        CStatusLabel label;
        label.SetState(0);
        QCOMPARE(label.State(), -1);
        QVERIFY(label.text().isEmpty());
        label.AddText("one");
        label.AddText("two");
        label.SetState(1);
        label.SetState(2);
        label.SetState(-1);
        QCOMPARE(label.State(), 1);
        QCOMPARE(label.text(), QStringLiteral("two"));
    }

    void clearForgetsTheTexts()
    {
        CStatusLabel label;
        label.AddText("a long state text");
        label.Clear();
        QCOMPARE(label.State(), -1);
        QVERIFY(label.Texts().isEmpty());
        QVERIFY(label.text().isEmpty());
        // New texts start over: no padding to the width of the old ones.
        label.AddText("x");
        QCOMPARE(label.text(), QStringLiteral("x"));
    }
};

QTEST_MAIN(TestStatusLabel)
#include "tst_statuslabel.moc"

#include "UiText.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include <memory>

// The UI text table: built-in English texts, language files and the
// re-labelling of registered widgets.
class TestUiText : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    int m_fileCount = 0;

    QString WriteLanguageFile(const QByteArray &content)
    {
        const QString path = m_dir.filePath(QStringLiteral("XRTest%1.txt").arg(++m_fileCount));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void cleanup() { g_uiText.LoadLanguage(QString()); }

    void builtinTexts_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::newRow("first") << 0 << "File";
        QTest::newRow("leading blanks") << 32 << "   Speed: ";
        QTest::newRow("trailing double blank") << 57 << "Are you sure you want to program?  ";
        QTest::newRow("trailing blank") << 68 << "Command unknown ";
        QTest::newRow("inner double blank") << 73 << "Incompatible  adapter(top module) detected.";
        QTest::newRow("CR LF") << 81 << "Usage: initusb\r\n Reinit the USB port.";
        QTest::newRow("blank before CR LF") << 98
                                            << "Usage: script \r\nDisplay all the script files\r\n script file\r\n Display script";
        QTest::newRow("LF only") << 135 << "Usage: devices\n Display all the devices";
        QTest::newRow("typo kept") << 149 << "Duplcaite found";
        QTest::newRow("typo kept 2") << 183 << "ID detection error, check pin connetion!!";
        QTest::newRow("last") << 190 << "Copy source badblock";
        QTest::newRow("reserved") << 25 << "";
        QTest::newRow("reserved 144") << 144 << "";
        QTest::newRow("past the end") << UI_TEXT_COUNT << "";
        QTest::newRow("negative") << -1 << "";
        QTest::newRow("far out") << 100000 << "";
    }
    void builtinTexts()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QCOMPARE(g_uiText.Text(index), text);
        QCOMPARE(Text(index), text);
    }

    void builtinTableHas191TextsWith13Reserved()
    {
        QCOMPARE(UI_TEXT_BASE_COUNT, 191);
        int used = 0;
        for (int i = 0; i < UI_TEXT_BASE_COUNT; ++i)
            used += CUiText::BuiltinText(i).isEmpty() ? 0 : 1;
        QCOMPARE(used, 178);
        QCOMPARE(g_uiText.LoadedCount(), 0);
    }

    // Added texts follow the original table in ascending order, each at an
    // index of its own, and are found by that index.
    void addedTextsFollowTheTableInOrder()
    {
        int count = 0;
        const AddedUiText *added = AddedUiTexts(&count);
        int previous = UI_TEXT_BASE_COUNT - 1;
        for (int i = 0; i < count; ++i) {
            QVERIFY2(added[i].index > previous && added[i].index < UI_TEXT_COUNT, added[i].text);
            QVERIFY(added[i].text && *added[i].text);
            QCOMPARE(QString::fromLatin1(BuiltinUiText(added[i].index)), QString::fromLatin1(added[i].text));
            previous = added[i].index;
        }
        QCOMPARE(QString::fromLatin1(BuiltinUiText(UI_TEXT_COUNT)), QString());
        QCOMPARE(QString::fromLatin1(BuiltinUiText(-1)), QString());
    }

    void twoTextsInOneExpression()
    {
        // The table's lookup hands out a reference to one shared result; the
        // global helper copies, so both texts survive.
        QCOMPARE(Text(0) + "/" + Text(1), QStringLiteral("File/Exit"));
    }

    void languageFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("loadedCount");
        QTest::addColumn<QList<int>>("indexes");
        QTest::addColumn<QStringList>("texts");

        QTest::newRow("gaps filled with English")
            << QByteArray("LanguageName=Test\n0002=\"Zwei\";\n0005=\"Fuenf\";\n") << 6
            << QList<int>{0, 1, 2, 3, 4, 5, 6, 190}
            << QStringList{"File", "Exit", "Zwei", "Error", "Language Update Failed", "Fuenf", "Load binary file",
                           "Copy source badblock"};
        QTest::newRow("descending entry ignored")
            << QByteArray("LanguageName=Test\n0009=\"Neun\";\n0007=\"Sieben\";\n0010=\"Zehn\";\n") << 11
            << QList<int>{7, 9, 10} << QStringList{"Save", "Neun", "Zehn"};
        QTest::newRow("duplicate index: first wins")
            << QByteArray("LanguageName=Test\n0003=\"Erst\";\n0003=\"Zweit\";\n") << 4 << QList<int>{3}
            << QStringList{"Erst"};
        QTest::newRow("index beyond the table ignored")
            << QByteArray("LanguageName=Test\n0001=\"Eins\";\n0390=\"Zu weit\";\n9999=\"Viel zu weit\";\n"
                          "0190=\"Letzter\";\n")
            << 191 << QList<int>{1, 189, 190, 390} << QStringList{"Eins", "Number of Blocks:", "Letzter", ""};
        QTest::newRow("backslash r backslash n becomes CR LF")
            << QByteArray("LanguageName=Test\n0081=\"Aufruf: initusb\\r\\n USB neu.\";\n") << 82 << QList<int>{81}
            << QStringList{"Aufruf: initusb\r\n USB neu."};
        QTest::newRow("empty loaded text falls back")
            << QByteArray("LanguageName=Test\n0004=\"\";\n0005=\"x\n") << 6 << QList<int>{4, 5}
            << QStringList{"Language Update Failed", "Open"};
        QTest::newRow("comments and short lines")
            << QByteArray(";0000=\"Kommentar\";\n/0001=\"Kommentar\";\n0002\n\n  \nab=\"\n"
                          "LanguageName=Test\n0003=\"Drei\";\n")
            << 4 << QList<int>{0, 1, 2, 3} << QStringList{"File", "Exit", "Exit the application", "Drei"};
        QTest::newRow("no =\" at position 5 is no entry")
            << QByteArray("LanguageName=Test\n00001=\"Fuenf Stellen\";\n0001 =\"Blank\";\n0002=\"Zwei\";\n") << 3
            << QList<int>{1, 2} << QStringList{"Exit", "Zwei"};
        QTest::newRow("index that is no number reads as 0")
            << QByteArray("LanguageName=Test\nabcd=\"Null\";\n") << 1 << QList<int>{0} << QStringList{"Null"};
        QTest::newRow("white space simplified")
            << QByteArray("LanguageName=Test\n \t 0001=\"Ab  \t  cd \";  \r\n") << 2 << QList<int>{1}
            << QStringList{"Ab cd "};
        QTest::newRow("spaced name key")
            << QByteArray("LanguageName = Test\n0000=\"Datei\";\n") << 1 << QList<int>{0} << QStringList{"Datei"};
        QTest::newRow("name key without spaces only")
            << QByteArray("LanguageName: Test\n0000=\"Datei\";\n") << 0 << QList<int>{0} << QStringList{"File"};
        QTest::newRow("UTF-8")
            << QByteArray("Encoding=UTF-8\nLanguageName=Test\n0005=\"\xc3\x96" "ffnen\";\n") << 6
            << QList<int>{5, 6} << QStringList{QString::fromUtf8("Öffnen"), "Load binary file"};
        QTest::newRow("Encoding after the entries still applies")
            << QByteArray("LanguageName=Test\n0005=\"\xc3\x96" "ffnen\";\nEncoding=UTF-8\n") << 6 << QList<int>{5}
            << QStringList{QString::fromUtf8("Öffnen")};
        QTest::newRow("last Encoding wins")
            << QByteArray("Encoding=UTF-8\nLanguageName=Test\n0000=\"\xa4\";\nEncoding=ISO-8859-15\n") << 1
            << QList<int>{0} << QStringList{QString::fromUtf8("€")};
        QTest::newRow("without Encoding: Latin-1")
            << QByteArray("LanguageName=Test\n0000=\"Gr\xf6\xdf" "e\";\n") << 1 << QList<int>{0}
            << QStringList{QString::fromUtf8("Größe")};
        QTest::newRow("UTF-8 bytes 0xA0 and 0x85 are no blanks")
            << QByteArray("Encoding=UTF-8\nLanguageName=Test\n0000=\"\xd0\xa0\xd0\xb5\xd0\xb6\xd0\xb8\xd0\xbc "
                          "\xc3\xa0 \xd1\x85\";\n")
            << 1 << QList<int>{0} << QStringList{QString::fromUtf8("Режим à х")};
        QTest::newRow("over-long line cut at 1023 bytes, its rest is no line")
            << QByteArray("LanguageName=Test\n0001=\"" + QByteArray(1017, 'a') + "0002=\"Falsch\";\n") << 2
            << QList<int>{1, 2} << QStringList{QString(1015, 'a'), "Exit the application"};
        QTest::newRow("no language name: English")
            << QByteArray("0000=\"Datei\";\n") << 0 << QList<int>{0} << QStringList{"File"};
    }
    void languageFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, loadedCount);
        QFETCH(QList<int>, indexes);
        QFETCH(QStringList, texts);
        QCOMPARE(indexes.size(), texts.size());

        const QString path = WriteLanguageFile(content);
        g_uiText.LoadLanguage(path);
        QCOMPARE(g_uiText.LoadedCount(), loadedCount);
        for (int i = 0; i < indexes.size(); ++i)
            QCOMPARE(Text(indexes[i]), texts[i]);
    }

    void unknownCodecFallsBackToTheLocaleCodec_data()
    {
        QTest::addColumn<QByteArray>("encodingLine");
        QTest::newRow("unknown name") << QByteArray("Encoding=NoSuchCodec-42");
        QTest::newRow("System") << QByteArray("Encoding=System");
        QTest::newRow("separator but no name") << QByteArray("Encoding=");
        QTest::newRow("blank after separator") << QByteArray("Encoding = UTF-8");
        QTest::newRow("codec that cannot read 8-bit lines") << QByteArray("Encoding=UTF-16");
    }
    void unknownCodecFallsBackToTheLocaleCodec()
    {
        QFETCH(QByteArray, encodingLine);
        const QByteArray text("Gr\xc3\xb6\xc3\x9f" "e \xe4");
        g_uiText.LoadLanguage(WriteLanguageFile(encodingLine + "\nLanguageName=Test\n0000=\"" + text + "\";\n"));
        QTextCodec *locale = QTextCodec::codecForLocale();
        QCOMPARE(g_uiText.Codec(), locale);
        QCOMPARE(Text(0), locale->toUnicode(text));
        QCOMPARE(Text(1), QStringLiteral("Exit"));
    }

    void languageName_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QByteArray("; Deutsch\nLanguageName=Deutsch\n") << "Deutsch";
        QTest::newRow("spaced key") << QByteArray("LanguageName = Deutsch\n") << "Deutsch";
        QTest::newRow("blanks simplified") << QByteArray("  LanguageName=Deutsch   (Schweiz)  \n")
                                           << "Deutsch (Schweiz)";
        QTest::newRow("first name line wins") << QByteArray("LanguageName=Eins\nLanguageName=Zwei\n") << "Eins";
        QTest::newRow("commented out") << QByteArray(";LanguageName=Deutsch\n") << "";
        QTest::newRow("none") << QByteArray("0000=\"Datei\";\n") << "";
        QTest::newRow("Encoding before the name decodes it")
            << QByteArray("Encoding=UTF-8\nLanguageName=Fran\xc3\xa7" "ais\n") << QString::fromUtf8("Français");
        QTest::newRow("Encoding after the name does not")
            << QByteArray("LanguageName=Fran\xc3\xa7" "ais\nEncoding=UTF-8\n") << QString::fromLatin1("Fran\xc3\xa7" "ais");
    }
    void languageName()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, name);
        QCOMPARE(CUiText::ReadLanguageName(WriteLanguageFile(content)), name);
    }

    void readingANameLeavesTheLoadedLanguageAlone()
    {
        g_uiText.LoadLanguage(WriteLanguageFile("Encoding=UTF-8\nLanguageName=A\n0000=\"\xc3\x84\";\n"));
        CUiText::ReadLanguageName(WriteLanguageFile("Encoding=ISO-8859-15\nLanguageName=B\n"));
        QCOMPARE(Text(0), QString::fromUtf8("Ä"));
    }

    void missingFileKeepsEnglish()
    {
        g_uiText.LoadLanguage(WriteLanguageFile("Encoding=UTF-8\nLanguageName=A\n0000=\"Datei\";\n"));
        QCOMPARE(Text(0), QStringLiteral("Datei"));
        QVERIFY(!g_uiText.LoadLanguage(m_dir.filePath("XRMissing.txt")));
        QCOMPARE(g_uiText.LoadedCount(), 0);
        QCOMPARE(g_uiText.Codec(), nullptr);
        QCOMPARE(Text(0), QStringLiteral("File"));
        QCOMPARE(CUiText::ReadLanguageName(m_dir.filePath("XRMissing.txt")), QString());
        QVERIFY(g_uiText.LoadLanguage(QString()));
    }

    void registeredWidgetsFollowTheLanguage()
    {
        QMenu menu;
        QAction action(nullptr);
        QLabel label;
        g_uiText.RegisterMenu(&menu, 0);
        g_uiText.RegisterAction(&action, 1, 2);
        g_uiText.RegisterLabel(&label, 188);
        QCOMPARE(menu.title(), QStringLiteral("File"));
        QCOMPARE(action.text(), QStringLiteral("Exit"));
        QCOMPARE(action.statusTip(), QStringLiteral("Exit the application"));
        QCOMPARE(label.text(), QStringLiteral("Start Block:"));

        QVERIFY(g_uiText.LoadLanguage(WriteLanguageFile(
            "Encoding=UTF-8\nLanguageName=Deutsch\n0000=\"Datei\";\n0001=\"Beenden\";\n0002=\"Programm beenden\";\n"
            "0188=\"Startblock:\";\n")));
        QCOMPARE(menu.title(), QStringLiteral("Datei"));
        QCOMPARE(action.text(), QStringLiteral("Beenden"));
        QCOMPARE(action.statusTip(), QStringLiteral("Programm beenden"));
        QCOMPARE(label.text(), QStringLiteral("Startblock:"));

        QVERIFY(g_uiText.LoadLanguage(QString()));
        QCOMPARE(menu.title(), QStringLiteral("File"));
        QCOMPARE(action.text(), QStringLiteral("Exit"));
        QCOMPARE(action.statusTip(), QStringLiteral("Exit the application"));
        QCOMPARE(label.text(), QStringLiteral("Start Block:"));
    }

    void labelKeepsItsFirstIndex()
    {
        QLabel label;
        g_uiText.RegisterLabel(&label, 188);
        g_uiText.RegisterLabel(&label, 189);
        QCOMPARE(label.text(), QStringLiteral("Number of Blocks:"));
        g_uiText.ApplyTexts();
        QCOMPARE(label.text(), QStringLiteral("Start Block:"));
    }

    void destroyedWidgetsAreDropped()
    {
        auto menu = std::make_unique<QMenu>();
        auto action = std::make_unique<QAction>(nullptr);
        auto label = std::make_unique<QLabel>();
        g_uiText.RegisterMenu(menu.get(), 9);
        g_uiText.RegisterAction(action.get(), 5, 6);
        g_uiText.RegisterLabel(label.get(), 190);
        menu.reset();
        action.reset();
        label.reset();
        g_uiText.ApplyTexts(); // must not touch the dead widgets

        // A new label, possibly at the old one's address, is a label of its own.
        QLabel again;
        g_uiText.RegisterLabel(&again, 189);
        g_uiText.ApplyTexts();
        QCOMPARE(again.text(), QStringLiteral("Number of Blocks:"));
    }

    void shippedGermanFileLoads()
    {
        const QString path = QStringLiteral(NVP_SOURCE_DIR "/data/Languages/XRDeutsch.txt");
        QCOMPARE(CUiText::ReadLanguageName(path), QStringLiteral("Deutsch"));
        QVERIFY(g_uiText.LoadLanguage(path));
        QCOMPARE(g_uiText.LoadedCount(), 191);
        QCOMPARE(g_uiText.Codec(), QTextCodec::codecForName("UTF-8"));
        QCOMPARE(Text(0), QStringLiteral("Datei"));
        QCOMPARE(Text(5), QString::fromUtf8("Öffnen"));
        QCOMPARE(Text(25), QString());
        QCOMPARE(Text(68), QStringLiteral("Befehl unbekannt "));

        // Every entry line of the file must be one the loader takes as it stands
        // (white space runs inside become one blank): strictly ascending,
        // well-formed, its text in force.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QRegularExpression entry(QStringLiteral("^(\\d{4})=\"(.*)\";$"));
        int previous = -1;
        int entries = 0;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).simplified();
            if (line.isEmpty() || line.startsWith(';') || line.startsWith("Encoding") || line.startsWith("LanguageName"))
                continue;
            const QRegularExpressionMatch match = entry.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            const int index = match.captured(1).toInt();
            QVERIFY2(index > previous && index < UI_TEXT_COUNT, qPrintable(line));
            QVERIFY2(!CUiText::BuiltinText(index).isEmpty(), qPrintable(line));
            QCOMPARE(Text(index), match.captured(2).replace("\\r\\n", "\r\n"));
            previous = index;
            ++entries;
        }
        QVERIFY(entries > 150);
    }
};

QTEST_MAIN(TestUiText)
#include "tst_uitext.moc"

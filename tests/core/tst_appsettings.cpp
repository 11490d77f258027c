#include "AppDirectory.h"
#include "AppSettings.h"
#include "RecentList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The settings store on a fresh account and the folders computed from it.
class TestAppSettings : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_ownHome;
    QString m_folder; // where the settings file must live

    // A second view of the same file, to see what really was stored.
    static bool Stored(const QString &key)
    {
        QSettings file(AppSettings().FileName(), QSettings::IniFormat);
        return file.contains(key);
    }
    static void ClearFile()
    {
        QSettings file(AppSettings().FileName(), QSettings::IniFormat);
        file.clear();
        file.sync();
    }

private slots:
    void initTestCase()
    {
        // Run by hand, outside the test driver: never touch the real settings.
        if (qEnvironmentVariableIsEmpty("NVP_TEST_HOME")) {
            m_ownHome = std::make_unique<QTemporaryDir>();
            qputenv("XDG_CONFIG_HOME", (m_ownHome->path() + "/.config").toLocal8Bit());
        }
        m_folder = QDir::cleanPath(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Brellow");
        QVERIFY2(!QFileInfo::exists(m_folder), "the test needs a fresh home");
    }

    // Must stay the first test: nothing may have created the store before.
    void firstDirectoryLookupCreatesAndEntersTheSettingsFolder()
    {
        QVERIFY(QDir::currentPath() != m_folder);
        QCOMPARE(AppDirectory(DIR_CONFIG), m_folder + "/config/");
        QVERIFY(QFileInfo(m_folder).isDir());
        QCOMPARE(QDir::currentPath(), m_folder);
        QCOMPARE(AppSettings().FileName(), m_folder + "/Norvaplex.ini");
    }

    void directoryKinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("scriptOverride");
        QTest::addColumn<QString>("expected");
        const QString f = QDir::cleanPath(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Brellow");
        QTest::newRow("config") << int(DIR_CONFIG) << QString() << f + "/config/";
        QTest::newRow("script") << int(DIR_SCRIPT) << QString() << f + "/script/";
        QTest::newRow("script, override") << int(DIR_SCRIPT) << "/srv/line 3/usp" << "/srv/line 3/usp/";
        QTest::newRow("config ignores the override") << int(DIR_CONFIG) << "/srv/usp" << f + "/config/";
        QTest::newRow("data ignores the override") << int(DIR_DATA) << "/srv/usp" << f + "/data/";
        QTest::newRow("temp") << int(DIR_TEMP) << QString() << QDir::tempPath() + "/";
        QTest::newRow("dll") << int(DIR_DLL) << QString() << QCoreApplication::applicationDirPath() + "/dll/";
        QTest::newRow("current") << int(DIR_CURRENT) << QString() << f + "/";
        QTest::newRow("unknown kind 6") << 6 << QString() << f;
        QTest::newRow("unknown kind -1") << -1 << QString() << f;
    }
    void directoryKinds()
    {
        QFETCH(int, kind);
        QFETCH(QString, scriptOverride);
        QFETCH(QString, expected);
        g_scriptDirOverride = scriptOverride;
        const QString actual = AppDirectory(kind);
        g_scriptDirOverride.clear();
        QCOMPARE(actual, expected);
    }

    void temporaryFolderFollowsTmpdir()
    {
        // The test driver points TMPDIR into the fresh home.
        if (qEnvironmentVariableIsEmpty("NVP_TEST_HOME"))
            QSKIP("only meaningful under the test driver");
        QCOMPARE(AppDirectory(DIR_TEMP), QDir::cleanPath(qEnvironmentVariable("TMPDIR")) + "/");
    }

    void keyTable_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        const char *names[] = {"LanguageFile", "Test Name", "Auto Script", "Script Dir", "recentFileList",
                               "recentTargetList", "FavoriteDiviceList", "Window Size", "Windows 2", "Windows 1",
                               "Board Type", "Brellow", "Norvaplex"};
        for (int i = 0; i < 13; ++i)
            QTest::addRow("%d", i) << i << QString(names[i]);
        QTest::newRow("13") << 13 << QString();
        QTest::newRow("-1") << -1 << QString();
    }
    void keyTable()
    {
        QFETCH(int, index);
        QFETCH(QString, name);
        QCOMPARE(CAppSettings::KeyName(index), name);
    }

    void absentKeysGiveDefaults()
    {
        ClearFile();
        CAppSettings &s = AppSettings();
        QCOMPARE(s.ReadString(SET_TEST_NAME), QString());
        QCOMPARE(s.ReadString(CAppSettings::TargetDirKey("K9F1G08U0A")), QString());
        QCOMPARE(s.ReadBool(SET_AUTO_SCRIPT), false);
        QCOMPARE(s.ReadBool(SET_BOARD_TYPE, true), true);
        QCOMPARE(s.ReadStringList(SET_RECENT_FILES), QStringList());
        QCOMPARE(s.ReadWindowSize(), QSize(850, 600));
    }

    // Each row starts from an empty file and writes once: some writes must
    // leave the file untouched when the value equals what reads back.
    void writesFollowTheirRules_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("stored");
        QTest::newRow("string equal to absent") << "string empty" << "Test Name" << false;
        QTest::newRow("string changed") << "string value" << "Test Name" << true;
        QTest::newRow("built key equal to absent") << "key empty" << "W25Q64Dir" << false;
        QTest::newRow("built key changed") << "key value" << "W25Q64Dir" << true;
        QTest::newRow("bool default value") << "bool false" << "Auto Script" << true;
        QTest::newRow("empty list") << "list empty" << "recentTargetList" << true;
        QTest::newRow("size equal to default") << "size default" << "Window Size" << false;
        QTest::newRow("size changed") << "size other" << "Window Size" << true;
        QTest::newRow("organisation entry is no key") << "string org" << "Brellow" << false;
    }
    void writesFollowTheirRules()
    {
        QFETCH(QString, operation);
        QFETCH(QString, key);
        QFETCH(bool, stored);
        ClearFile();
        CAppSettings &s = AppSettings();
        if (operation == "string empty")
            s.WriteString(SET_TEST_NAME, QString());
        else if (operation == "string value")
            s.WriteString(SET_TEST_NAME, "MX25L6405");
        else if (operation == "key empty")
            s.WriteString(CAppSettings::TargetDirKey("W25Q64"), QString());
        else if (operation == "key value")
            s.WriteString(CAppSettings::TargetDirKey("W25Q64"), "/home/op/dumps/");
        else if (operation == "bool false")
            s.WriteBool(SET_AUTO_SCRIPT, false);
        else if (operation == "list empty")
            s.WriteStringList(SET_RECENT_TARGETS, {});
        else if (operation == "size default")
            s.WriteWindowSize(QSize(850, 600));
        else if (operation == "size other")
            s.WriteWindowSize(QSize(1024, 700));
        else if (operation == "string org")
            s.WriteString(SET_ORGANISATION, "x");
        else
            QFAIL("unknown operation");
        QCOMPARE(Stored(key), stored);
    }

    void valuesRoundTrip()
    {
        ClearFile();
        CAppSettings &s = AppSettings();
        s.WriteString(SET_FAVORITE_DEVICES, "W25Q128,MX25L6405,");
        s.WriteString(SET_LANGUAGE_FILE, "/home/op/Languages/XRGerman.txt");
        s.WriteBool(SET_BOARD_TYPE, true);
        s.WriteStringList(SET_WINDOWS_1, {"160", "500"});
        s.WriteStringList(SET_RECENT_TARGETS, {"K9F1G08U0A"});
        s.WriteWindowSize(QSize(1024, 700));
        s.WriteString(CAppSettings::TargetDirKey("SST25VF/016B"), "/data/sst/");

        QCOMPARE(s.ReadString(SET_FAVORITE_DEVICES), QString("W25Q128,MX25L6405,"));
        QCOMPARE(s.ReadString("FavoriteDiviceList"), QString("W25Q128,MX25L6405,"));
        QCOMPARE(s.ReadString(SET_LANGUAGE_FILE), QString("/home/op/Languages/XRGerman.txt"));
        QCOMPARE(s.ReadBool(SET_BOARD_TYPE), true);
        QCOMPARE(s.ReadStringList(SET_WINDOWS_1), QStringList({"160", "500"}));
        QCOMPARE(s.ReadStringList(SET_RECENT_TARGETS), QStringList({"K9F1G08U0A"}));
        QCOMPARE(s.ReadWindowSize(), QSize(1024, 700));
        QCOMPARE(s.ReadString("SST25VF/016BDir"), QString("/data/sst/"));

        // Empty again: an empty list reads back empty, not as one empty entry.
        s.WriteStringList(SET_WINDOWS_1, {});
        QCOMPARE(s.ReadStringList(SET_WINDOWS_1), QStringList());
    }

    // Writes go to disk from a thread of their own: a value reads back at
    // once, and once flushed the file itself holds the last one written,
    // however quickly the values came.
    void writesReadBackAtOnceAndReachTheFile()
    {
        ClearFile();
        CAppSettings &s = AppSettings();
        s.WriteString(SET_TEST_NAME, QStringLiteral("first"));
        QCOMPARE(s.ReadString(SET_TEST_NAME), QString("first"));
        for (int i = 0; i < 200; ++i) {
            s.WriteString(SET_TEST_NAME, QStringLiteral("value %1").arg(i));
            s.WriteBool(SET_AUTO_SCRIPT, i % 2 == 0);
            QCOMPARE(s.ReadString(SET_TEST_NAME), QStringLiteral("value %1").arg(i));
        }
        s.WriteString(SET_TEST_NAME, QStringLiteral("last"));
        s.Flush();
        QFile file(s.FileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(text.contains("Test%20Name=last\n"), text.constData());
        QVERIFY2(text.contains("Auto%20Script=false\n"), text.constData());
        QCOMPARE(s.ReadString(SET_TEST_NAME), QString("last"));
    }

    void handEditedValuesReadSensibly()
    {
        ClearFile();
        QFile file(AppSettings().FileName());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nFavoriteDiviceList=W25Q128,MX25L6405,\nWindow%20Size=wide\n");
        file.close();
        QSettings(AppSettings().FileName(), QSettings::IniFormat).sync();
        // Re-read through a fresh store object on the same file.
        CAppSettings fresh;
        QCOMPARE(fresh.ReadString(SET_FAVORITE_DEVICES), QString("W25Q128,MX25L6405,"));
        QCOMPARE(fresh.ReadWindowSize(), QSize(850, 600));
    }

    void recentFileListKeepsTheTwentyNewest()
    {
        ClearFile();
        CAppSettings &s = AppSettings();
        auto load = [&](const QString &path) {
            s.WriteStringList(SET_RECENT_FILES, WithRecentEntry(s.ReadStringList(SET_RECENT_FILES), path));
        };
        for (int i = 1; i <= 21; ++i)
            load(QString("/dumps/chip%1.bin").arg(i));
        QStringList list = s.ReadStringList(SET_RECENT_FILES);
        QCOMPARE(list.size(), 20);
        QCOMPARE(list.first(), QString("/dumps/chip21.bin"));
        QCOMPARE(list.last(), QString("/dumps/chip2.bin"));
        QVERIFY(!list.contains("/dumps/chip1.bin"));

        load("/dumps/chip10.bin");
        list = s.ReadStringList(SET_RECENT_FILES);
        QCOMPARE(list.size(), 20);
        QCOMPARE(list.first(), QString("/dumps/chip10.bin"));
        QCOMPARE(list.count("/dumps/chip10.bin"), 1);
        QCOMPARE(list.last(), QString("/dumps/chip2.bin"));
    }

    // The settings folder falls back to the first folder that can be made
    // and written; one below a plain file cannot.
    void firstUsableFolder()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("plain"));
        QFile plain(file);
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString blocked = file + QStringLiteral("/Brellow");
        const QString fallback = dir.filePath(QStringLiteral("fallback/deeper"));
        QCOMPARE(CAppSettings::FirstUsableFolder({blocked, QString(), fallback}), QDir::cleanPath(fallback));
        QVERIFY(QFileInfo(fallback).isDir());
        QCOMPARE(CAppSettings::FirstUsableFolder({blocked}), QString());
        // The usual folder, when it works, is used and nothing is reported.
        QVERIFY(AppSettings().UnusableFolder().isEmpty());
        QCOMPARE(AppSettings().Folder(), QDir::cleanPath(QDir::currentPath()));
    }
};

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"

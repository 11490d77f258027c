#include "AppDirectory.h"
#include "BundledData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Finding the bundled data and installing the missing files of it.
class TestBundledData : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_ownHome;

    static bool Put(const QString &path, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }
    static QByteArray Content(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // A bundle as the build lays it out, plus a folder that is not installed.
    static void MakeBundle(const QString &dir)
    {
        QVERIFY(Put(dir + "/config/Nand.txt", "bundled nand"));
        QVERIFY(Put(dir + "/config/SPI.txt", "bundled spi"));
        QVERIFY(Put(dir + "/script/K9F1G08U0A.usp", "bundled script"));
        QVERIFY(Put(dir + "/script/samples/erase.usp", "bundled sample"));
        QVERIFY(Put(dir + "/Languages/XRGerman.txt", "bundled german"));
        QVERIFY(Put(dir + "/icons/usbprog.png", "not installed"));
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("NVP_TEST_HOME")) {
            m_ownHome = std::make_unique<QTemporaryDir>();
            qputenv("XDG_CONFIG_HOME", (m_ownHome->path() + "/.config").toLocal8Bit());
        }
    }
    void cleanup() { qunsetenv("NVP_DATA_DIR"); }

    void candidatesInLookupOrder()
    {
        const QString exe = QCoreApplication::applicationDirPath();
        const QString installed = QDir::cleanPath(exe + "/../../share/norvaplex") + "/";
        QCOMPARE(BundledDataCandidates(), QStringList({exe + "/share/", installed}));
        qputenv("NVP_DATA_DIR", "/opt/nvp//data/");
        QCOMPARE(BundledDataCandidates(), QStringList({"/opt/nvp/data/", exe + "/share/", installed}));
    }

    void environmentFolderWinsWhenItExists()
    {
        QTemporaryDir bundle;
        qputenv("NVP_DATA_DIR", bundle.path().toLocal8Bit());
        QCOMPARE(BundledDataDirectory(), bundle.path() + "/");

        qputenv("NVP_DATA_DIR", (bundle.path() + "/missing").toLocal8Bit());
        const QString found = BundledDataDirectory();
        QVERIFY(found != bundle.path() + "/missing/");
        QVERIFY(found.isEmpty() || QFileInfo(found).isDir());
    }

    void installsOnlyMissingFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("userContent"); // null: the user has no such file
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("missing list installed") << "config/SPI.txt" << QByteArray() << QByteArray("bundled spi");
        QTest::newRow("edited list kept") << "config/Nand.txt" << QByteArray("my nand") << QByteArray("my nand");
        QTest::newRow("empty user file kept") << "config/Nand.txt" << QByteArray("") << QByteArray("");
        QTest::newRow("script installed") << "script/K9F1G08U0A.usp" << QByteArray() << QByteArray("bundled script");
        QTest::newRow("nested script installed") << "script/samples/erase.usp" << QByteArray() << QByteArray("bundled sample");
        QTest::newRow("user script kept") << "script/samples/erase.usp" << QByteArray("mine") << QByteArray("mine");
        QTest::newRow("language installed") << "Languages/XRGerman.txt" << QByteArray() << QByteArray("bundled german");
        QTest::newRow("other folders not installed") << "icons/usbprog.png" << QByteArray() << QByteArray("<missing>");
    }
    void installsOnlyMissingFiles()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, userContent);
        QFETCH(QByteArray, expected);
        QTemporaryDir bundle, target;
        MakeBundle(bundle.path());
        if (!userContent.isNull())
            QVERIFY(Put(target.filePath(file), userContent));

        const BundledInstallResult result = InstallMissingBundledFiles(bundle.path(), target.path());
        QCOMPARE(Content(target.filePath(file)), expected);
        QCOMPARE(result.installed.contains(target.filePath(file)), userContent.isNull() && !file.startsWith("icons"));
        QCOMPARE(result.failed, QStringList());
        // Everything of the three folders is there afterwards.
        for (const char *f : {"config/Nand.txt", "config/SPI.txt", "script/K9F1G08U0A.usp", "Languages/XRGerman.txt"})
            QVERIFY2(QFileInfo::exists(target.filePath(f)), f);

        // A second start finds nothing left to do.
        QCOMPARE(InstallMissingBundledFiles(bundle.path(), target.path()).installed, QStringList());
    }

    void danglingLinkCountsAsTheUsersFile()
    {
        QTemporaryDir bundle, target;
        MakeBundle(bundle.path());
        QVERIFY(QDir().mkpath(target.filePath("config")));
        QVERIFY(QFile::link("/nonexistent/Nand.txt", target.filePath("config/Nand.txt")));
        InstallMissingBundledFiles(bundle.path(), target.path());
        QCOMPARE(QFileInfo(target.filePath("config/Nand.txt")).symLinkTarget(), QString("/nonexistent/Nand.txt"));
    }

    void readOnlyBundleGivesEditableCopies()
    {
        QTemporaryDir bundle, target;
        MakeBundle(bundle.path());
        const QString source = bundle.filePath("config/Nand.txt");
        QVERIFY(QFile::setPermissions(source, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        InstallMissingBundledFiles(bundle.path(), target.path());
        QVERIFY(QFileInfo(target.filePath("config/Nand.txt")).permissions() & QFile::WriteOwner);
        QVERIFY(Put(target.filePath("config/Nand.txt"), "edited"));
    }

    void unwritableTargetIsReported()
    {
        QTemporaryDir bundle, target;
        MakeBundle(bundle.path());
        // A file where the config folder belongs: nothing can go below it.
        QVERIFY(Put(target.filePath("config"), "in the way"));
        const BundledInstallResult result = InstallMissingBundledFiles(bundle.path(), target.path());
        QCOMPARE(result.failed.size(), 2);
        QVERIFY(result.failed.contains(target.filePath("config/SPI.txt")));
        QVERIFY(result.installed.contains(target.filePath("Languages/XRGerman.txt")));
    }

    void noBundleInstallsNothing()
    {
        QTemporaryDir target;
        QCOMPARE(InstallMissingBundledFiles(QString(), target.path()).installed, QStringList());
        QCOMPARE(InstallMissingBundledFiles(target.path() + "/missing", target.path()).installed, QStringList());
        QCOMPARE(QDir(target.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    void defaultInstallGoesIntoTheCurrentDirectory()
    {
        QTemporaryDir bundle;
        MakeBundle(bundle.path());
        qputenv("NVP_DATA_DIR", bundle.path().toLocal8Bit());
        const BundledInstallResult result = InstallMissingBundledFiles();
        QCOMPARE(result.installed.size(), 5);
        QCOMPARE(Content(AppDirectory(DIR_CONFIG) + "SPI.txt"), QByteArray("bundled spi"));
        QCOMPARE(Content(AppDirectory(DIR_CURRENT) + "Languages/XRGerman.txt"), QByteArray("bundled german"));
    }
};

QTEST_GUILESS_MAIN(TestBundledData)
#include "tst_bundleddata.moc"

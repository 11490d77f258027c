// The one line that names the programmer, as the command line, the adapter
// configuration file and the window write it.

#include "ProgrammerChoice.h"

#include <QtTest>

using namespace xrbridge;

class TestProgrammerChoice : public QObject
{
    Q_OBJECT

private slots:
    void parses_data();
    void parses();
};

void TestProgrammerChoice::parses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("node");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("settle");
    QTest::addColumn<int>("hz");
    QTest::addColumn<QString>("error");
    const int sim = int(EProgrammer::Simulated), sp = int(EProgrammer::Serprog), ch = int(EProgrammer::Ch341a),
              dev = int(EProgrammer::Spidev);
    QTest::newRow("empty") << "" << true << sim << "" << 115200 << 0 << 0 << "";
    QTest::newRow("sim") << " sim " << true << sim << "" << 115200 << 0 << 0 << "";
    QTest::newRow("serprog") << "serprog:/dev/ttyACM0" << true << sp << "/dev/ttyACM0" << 115200 << 0 << 0 << "";
    QTest::newRow("serprog options") << "serprog:/dev/ttyUSB0,baud=2000000,settle_ms=2000,hz=8000000" << true << sp
                                     << "/dev/ttyUSB0" << 2000000 << 2000 << 8000000 << "";
    QTest::newRow("ch341a") << "ch341a" << true << ch << "" << 115200 << 0 << 0 << "";
    QTest::newRow("spidev") << "spidev:/dev/spidev0.0,hz=1000000" << true << dev << "/dev/spidev0.0" << 115200 << 0
                            << 1000000 << "";
    QTest::newRow("unknown") << "usbasp" << false << sim << "" << 0 << 0 << 0 << "unknown programmer 'usbasp'";
    QTest::newRow("serprog without port") << "serprog" << false << sim << "" << 0 << 0 << 0 << "needs its device node";
    QTest::newRow("ch341a with node") << "ch341a:/dev/x" << false << sim << "" << 0 << 0 << 0 << "takes no device node";
    QTest::newRow("ch341a clock") << "ch341a:,hz=5" << false << sim << "" << 0 << 0 << 0 << "does not apply";
    QTest::newRow("bad number") << "serprog:/dev/ttyACM0,baud=fast" << false << sim << "" << 0 << 0 << 0
                                << "malformed programmer option 'baud=fast'";
    QTest::newRow("baud on spidev") << "spidev:/dev/spidev0.0,baud=9600" << false << sim << "" << 0 << 0 << 0
                                    << "'baud' does not apply to spidev";
}

void TestProgrammerChoice::parses()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, kind);
    QFETCH(QString, node);
    QFETCH(int, baud);
    QFETCH(int, settle);
    QFETCH(int, hz);
    QFETCH(QString, error);
    CProgrammerChoice choice;
    std::string message;
    QCOMPARE(ParseProgrammer(text.toStdString(), choice, message), ok);
    QCOMPARE(int(choice.kind), kind);
    if (ok) {
        QCOMPARE(QString::fromStdString(choice.node), node);
        QCOMPARE(int(choice.baud), baud);
        QCOMPARE(choice.settleMs, settle);
        QCOMPARE(int(choice.clockHz), hz);
    } else {
        QVERIFY2(message.find(error.toStdString()) != std::string::npos, message.c_str());
    }
}

QTEST_GUILESS_MAIN(TestProgrammerChoice)
#include "tst_programmerchoice.moc"

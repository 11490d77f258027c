#include "AppDirectory.h"
#include "RecordingFrame.h"
#include "Script.h"
#include "ScriptText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The script object on its own: the loader's lines and labels, the
// statements NextLine executes itself, arguments, nested scripts, options
// and conditions. The runner that dispatches the other lines is tested with
// the command processor.
class TestScript : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    void WriteScript(const QString &name, const QByteArray &text)
    {
        QFile file(m_dir.filePath(name + ".usp"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(text), text.size());
    }
    static QStringList Labels(const CScript &script)
    {
        QStringList labels;
        for (const auto &label : script.Labels())
            labels << QString::fromLatin1(label.name) + "=" + QString::number(label.line);
        return labels;
    }
    static QStringList Lines(const CScript &script)
    {
        QStringList lines;
        for (int i = 0; i < script.LineCount(); ++i)
            lines << QString::fromLatin1(script.Line(i));
        return lines;
    }
    // Every line the script hands out until it ends, with the log lines it
    // wrote on the way, in one sequence ("> line" for a handed-out line).
    // Each "if" handed out is decided with the next of `termValues` (0 when
    // they run out), as the runner would with the value of its term.
    static QStringList Drain(CScript &script, CRecordingFrame &frame, QList<uint> termValues = {},
                             int limit = 5)
    {
        QStringList seen;
        for (int i = 0; i < limit; ++i) {
            frame.log.clear();
            const QByteArray line = script.NextLine();
            seen << frame.log;
            if (line.isEmpty())
                return seen;
            seen << "> " + QString::fromLatin1(line);
            if (ScriptWords(line).first().toLower() == "if")
                script.EvaluateIf(termValues.isEmpty() ? 0 : termValues.takeFirst());
        }
        seen << "(no end)";
        return seen;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        g_scriptDirOverride = m_dir.path();
    }

    void loaderLabels_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("messages");

        QTest::newRow("nested if with else")
            << QByteArray("if MEMORY == 0\nif PEEK == 0\nendif\nelse\nendif\n")
            << QStringList{"if MEMORY == 0", "if PEEK == 0", "endif", "goto if_1_endif", "endif"}
            << QStringList{"if_1=1", "if_1_1=2", "if_1_1_endif=3", "if_1_else=4", "if_1_endif=5"} << QStringList{};
        QTest::newRow("siblings count up per level")
            << QByteArray("if A\nendif\nif B\n if C\n endif\n if D\n endif\nendif\nif E\nif F\nendif\nendif")
            << QStringList{"if A", "endif", "if B", "if C", "endif", "if D", "endif", "endif", "if E", "if F",
                           "endif", "endif"}
            << QStringList{"if_1=1",   "if_1_endif=2", "if_2=3",   "if_2_1=4",   "if_2_1_endif=5", "if_2_2=6",
                           "if_2_2_endif=7", "if_2_endif=8", "if_3=9", "if_3_1=10", "if_3_1_endif=11",
                           "if_3_endif=12"}
            << QStringList{};
        QTest::newRow("labels, blanks and ignored lines")
            << QByteArray("\t  start:\n\n   \t\nread 0 800\nmid:here rest\necho a:b\nx :y\nend:")
            << QStringList{"read 0 800", "echo a:b", "x :y"}
            << QStringList{"start=0", "mid=1", "end=3"} << QStringList{};
        QTest::newRow("every line end")
            << QByteArray("a\r\nb\n\rc\nd\re\r\n\r\nf") << QStringList{"a", "b", "c", "d", "e", "f"}
            << QStringList{} << QStringList{};
        QTest::newRow("byte-order mark at the start")
            << QByteArray("\xEF\xBB\xBF" "detect\nl:\n") << QStringList{"detect"} << QStringList{"l=1"}
            << QStringList{};
        QTest::newRow("structure words are lower-case prefixes")
            << QByteArray("IF MEMORY == 0\nifconfig\nelsewhere\nENDIF\nendiffy\n")
            << QStringList{"IF MEMORY == 0", "ifconfig", "goto if_1_endif", "ENDIF", "endiffy"}
            << QStringList{"if_1=2", "if_1_else=3", "if_1_endif=5"} << QStringList{};
        QTest::newRow("else and endif outside any if")
            << QByteArray("else\nendif\nif X\nendif\nendif\nelse")
            << QStringList{"else", "endif", "if X", "endif", "endif", "else"}
            << QStringList{"if_1=3", "if_1_endif=4"}
            << QStringList{"Check statement for else", "Check statement for endif", "Check statement for endif",
                           "Check statement for else"};
    }
    void loaderLabels()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, labels);
        QFETCH(QStringList, messages);
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.Load(text));
        QCOMPARE(Lines(script), lines);
        QCOMPARE(Labels(script), labels);
        QCOMPARE(frame.log, messages);
        QCOMPARE(script.Current(), 0);
    }

    // Ten levels get labels; the eleventh "if" and its else/endif get none
    // and leave the pairing of the levels around them intact.
    void loaderIfTooDeep()
    {
        CRecordingFrame frame;
        QByteArray text;
        for (int i = 0; i < 11; ++i)
            text += "if MEMORY == 0\n";
        text += "else\nendif\n";
        for (int i = 0; i < 10; ++i)
            text += "endif\n";
        CScript script;
        QVERIFY(script.Load(text));
        QCOMPARE(frame.log, QStringList{"If statement too deep"});
        QCOMPARE(script.Line(11), QByteArray("else"));
        QCOMPARE(script.FindLabel("if_1_1_1_1_1_1_1_1_1_1"), 10);
        QCOMPARE(script.FindLabel("if_1_1_1_1_1_1_1_1_1_1_1"), -1);
        // The innermost labelled level closes at the first endif after the
        // deep block's own one, the outermost at the last line.
        QCOMPARE(script.FindLabel("if_1_1_1_1_1_1_1_1_1_1_endif"), 14);
        QCOMPARE(script.FindLabel("if_1_endif"), 23);
        QCOMPARE(script.Labels().size(), size_t(20));
    }

    void loaderRefusesLongLines_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("511 bytes") << 511 << true;
        QTest::newRow("512 bytes") << 512 << false;
        QTest::newRow("100000 bytes") << 100000 << false;
    }
    void loaderRefusesLongLines()
    {
        QFETCH(int, length);
        QFETCH(bool, accepted);
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.Load("detect\n"));
        const QByteArray text = "read 0\n" + QByteArray("  echo ").leftJustified(length, 'x') + "\r\nverify";
        QCOMPARE(script.Load(text), accepted);
        if (accepted) {
            QCOMPARE(script.LineCount(), 3);
            QCOMPARE(script.Line(1).size(), length - 2);
            QVERIFY(frame.log.isEmpty());
        } else {
            QCOMPARE(Lines(script), QStringList{"detect"});  // the old script stays
            QCOMPARE(frame.log, QStringList{"Script line 2 is longer than 511 bytes"});
        }
    }

    void nextLineStatements_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("seen");

        QTest::newRow("comment anywhere in the line")
            << QByteArray("read // whole chip\n// note\nverify")
            << QStringList{"read // whole chip", "// note", "> verify"};
        QTest::newRow("echo") << QByteArray("ECHO  Insert the chip\techo\necho\nread")
                              << QStringList{"Insert the chip echo ", "", "> read"};
        QTest::newRow("goto forward") << QByteArray("goto skip\nerase\nskip:\nread")
                                      << QStringList{"> read"};
        QTest::newRow("goto nowhere ends the script")
            << QByteArray("goto nowhere\nread") << QStringList{"Label nowhere not found"};
        QTest::newRow("goto without label")
            << QByteArray("goto\nread") << QStringList{"Label  not found"};
        QTest::newRow("loop onto the goto itself")
            << QByteArray("loop:\ngoto loop\nread") << QStringList{"loop detected!", "> read"};
        QTest::newRow("loop without a command in it")
            << QByteArray("top:\necho round\ngoto top\nread")
            << QStringList{"round ", "loop detected!", "> read"};
        QTest::newRow("loop with a command is a loop of the runner")
            << QByteArray("top:\ncls\ngoto top") << QStringList{"> cls", "> cls", "> cls", "> cls", "> cls"};
        QTest::newRow("endif does nothing at run time")
            << QByteArray("endif\nread") << QStringList{"> read"};
        QTest::newRow("commands are rebuilt from their words")
            << QByteArray("  read\t0   800 \nsmtcpy\x01 ignored\nchecku\nx checkm y")
            << QStringList{"> read 0 800", "> smtcpy", "> checku", "> x checkm y"};
        QTest::newRow("lines without words are never handed out")
            << QByteArray("\x01read\n\x80\x81 erase\nverify\n\xEF\xBB\xBF" "detect")
            << QStringList{"Skipped a script line that does not begin with a command",
                           "Skipped a script line that does not begin with a command", "> verify",
                           "Skipped a script line that does not begin with a command"};
        QTest::newRow("option and if are handed out")
            << QByteArray("a:\noption 1 a\nif MEMORY == 1\nendif")
            << QStringList{"Please select", "> option 1 a", "> if MEMORY == 1"};  // fails: ends
    }
    void nextLineStatements()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, seen);
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.Load(text));
        QStringList drained = Drain(script, frame);
        if (drained.endsWith("(no end)"))
            drained.removeLast();
        QCOMPARE(drained, seen);
    }

    void substitution_data()
    {
        QTest::addColumn<QByteArray>("word");
        QTest::addColumn<QByteArray>("result");
        QTest::newRow("first") << QByteArray("%1") << QByteArray("5");
        QTest::newRow("second") << QByteArray("%2") << QByteArray("A0");
        QTest::newRow("leading zero") << QByteArray("%02") << QByteArray("A0");
        QTest::newRow("missing") << QByteArray("%3") << QByteArray();
        QTest::newRow("huge") << QByteArray("%99999999999999999999999") << QByteArray();
        QTest::newRow("zero stays") << QByteArray("%0") << QByteArray("%0");
        QTest::newRow("not a number") << QByteArray("%x") << QByteArray("%x");
        QTest::newRow("number with tail") << QByteArray("%1x") << QByteArray("%1x");
        QTest::newRow("lone percent") << QByteArray("%") << QByteArray("%");
        QTest::newRow("ordinary word") << QByteArray("800") << QByteArray("800");
    }
    void substitution()
    {
        QFETCH(QByteArray, word);
        QFETCH(QByteArray, result);
        QCOMPARE(SubstituteScriptArgument(word, {"myscript", "5", "A0"}), result);
    }

    void argumentsInLines()
    {
        CRecordingFrame frame;
        WriteScript("myscript", "read %1 %2\nread %3\nread %0 %x\n%1 word\n");
        CScript script;
        QVERIFY(script.LoadByName(QStringLiteral("  myscript 5\tA0 ")));
        QCOMPARE(script.Args(), (QList<QByteArray>{"myscript", "5", "A0"}));
        QCOMPARE(Drain(script, frame),
                 (QStringList{"> read 5 A0", "> read ", "> read %0 %x", "> %1 word"}));
    }

    void loadByNameRefusals_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("only blanks") << QByteArray(" \t ");
        QTest::newRow("missing file") << QByteArray("absent 1 2");
        QTest::newRow("name cut by a control byte") << QByteArray("good\x01" "x");
        QTest::newRow("name cut by a non-ASCII byte") << QByteArray("good\xC3\xA9");
        QTest::newRow("control byte first") << QByteArray("\x1bgood");
        QTest::newRow("name over the limit") << QByteArray(kScriptMaxNameBytes + 1, 'n');
    }
    void loadByNameRefusals()
    {
        QFETCH(QByteArray, line);
        WriteScript("good", "erase\n");
        WriteScript("kept", "read %1\n");
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.LoadByName(QByteArray("kept 7")));
        QVERIFY(!script.LoadByName(line));
        QCOMPARE(frame.log, QStringList{"Bad command"});
        QCOMPARE(Lines(script), QStringList{"read %1"});
        QCOMPARE(script.Args(), (QList<QByteArray>{"kept", "7"}));
        QCOMPARE(script.NextLine(), QByteArray("read 7"));
    }

    void loadFileTakesTheWholeName()
    {
        WriteScript("NAND OFNI", "detect\n");
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.LoadFile("NAND OFNI", {"NAND OFNI"}));
        QCOMPARE(script.NextLine(), QByteArray("detect"));
        QVERIFY(!script.LoadByName(QByteArray("NAND OFNI")));
    }

    void nestedRun()
    {
        WriteScript("outer", "echo outer\nrun inner %2 x %1\nverify\n");
        WriteScript("inner", "read %1 %2\nrun banner\nerase %3\n");
        WriteScript("banner", "// only words\necho hello\n");
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.LoadByName(QByteArray("outer A B")));
        QCOMPARE(Drain(script, frame),
                 (QStringList{"outer ", "run inner %2 x %1", "> read B x", "run banner", "// only words", "hello ",
                              " ", "> erase A", " ", "> verify"}));
        QVERIFY(!script.Child());
    }

    void runFailuresEndEveryLevel_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("seen");
        QTest::newRow("missing script")
            << QByteArray("run absent\nread") << QStringList{"run absent", "Bad command"};
        QTest::newRow("run without a name") << QByteArray("run\nread") << QStringList{"run", "Bad command"};
        QTest::newRow("missing two levels down")
            << QByteArray("run fails\nread")
            << QStringList{"run fails", "> detect", "run absent", "Bad command"};
    }
    void runFailuresEndEveryLevel()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, seen);
        WriteScript("fails", "detect\nrun absent\nerase\n");
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.Load(text));
        QCOMPARE(Drain(script, frame), seen);
    }

    void runItselfStopsAtTheNestingLimit()
    {
        WriteScript("self", "run self\n");
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.LoadByName(QByteArray("self")));
        QVERIFY(script.NextLine().isEmpty());
        QCOMPARE(frame.log.count("run self"), CScript::kMaxNesting);
        QCOMPARE(frame.log.last(), "Scripts nested too deep");
        QVERIFY(script.NextLine().isEmpty());
    }

    void options_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QByteArray>("next");
        QTest::newRow("first") << "1" << true << QByteArray("detect");
        QTest::newRow("second with text after") << " 2 please" << true << QByteArray("erase");
        QTest::newRow("repeated number takes the first") << "3" << true << QByteArray("detect");
        QTest::newRow("not offered") << "4" << false << QByteArray();
        QTest::newRow("zero is never offered") << "0" << false << QByteArray();
        QTest::newRow("no number") << "x" << false << QByteArray();
    }
    void options()
    {
        QFETCH(QString, typed);
        QFETCH(bool, selected);
        QFETCH(QByteArray, next);
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.Load("option 1 first 2 second 5 nowhere 0 first 3 first 3 second 7\nfirst:\ndetect\n"
                            "second:\nerase\n"));
        QCOMPARE(script.NextLine(), QByteArray("option 1 first 2 second 5 nowhere 0 first 3 first 3 second 7"));
        QCOMPARE(frame.log, (QStringList{"Please select", "Label nowhere not found"}));
        QVERIFY(script.HasOptions());
        QCOMPARE(script.SelectOption(typed), selected);
        if (selected) {
            QCOMPARE(script.NextLine(), next);
            QVERIFY(!script.HasOptions());
        } else {
            QVERIFY(script.HasOptions());  // still waiting for a choice
        }
    }

    void conditions_data()
    {
        QTest::addColumn<QByteArray>("condition");
        QTest::addColumn<uint>("termValue");
        QTest::addColumn<QStringList>("seen");
        QTest::addColumn<QString>("message");

        const QStringList thenBranch{"> then", "> after"};
        const QStringList elseBranch{"> otherwise", "> after"};
        QTest::newRow("equal holds") << QByteArray("if MEMORY == 0") << 0u << thenBranch << "";
        QTest::newRow("equal fails") << QByteArray("if MEMORY == 0") << 1u << elseBranch << "";
        QTest::newRow("different holds") << QByteArray("if PEEK != 0") << 3u << thenBranch << "";
        QTest::newRow("different fails") << QByteArray("if FLASHSET != 0") << 0u << elseBranch << "";
        QTest::newRow("hex value, low 32 bits") << QByteArray("if CMPRAM == 1000000ff") << 0xffu << thenBranch
                                                << "";
        QTest::newRow("0x prefix") << QByteArray("if MEMORY == 0x1A") << 0x1au << thenBranch << "";
        QTest::newRow("not a number reads 0") << QByteArray("if MEMORY == zz") << 0u << thenBranch << "";
        QTest::newRow("bad operator keeps ==") << QByteArray("if MEMORY >= 5") << 5u << thenBranch
                                               << "operator error";
        QTest::newRow("missing words keep the condition") << QByteArray("if MEMORY") << 0u << thenBranch
                                                          << "Check if statement";
        QTest::newRow("missing words, failing") << QByteArray("if") << 4u << elseBranch << "Check if statement";
    }
    // Each condition sits in a block with an else; the runner's part
    // (reading the term) is played by the test with `termValue`.
    void conditions()
    {
        QFETCH(QByteArray, condition);
        QFETCH(uint, termValue);
        QFETCH(QStringList, seen);
        QFETCH(QString, message);
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.Load(condition + "\nthen\nelse\notherwise\nendif\nafter\n"));
        QCOMPARE(script.NextLine(), condition);
        QCOMPARE(frame.log, message.isEmpty() ? QStringList{} : QStringList{message});
        script.EvaluateIf(termValue);
        QCOMPARE(Drain(script, frame), seen);
    }

    void conditionTerms_data()
    {
        QTest::addColumn<QByteArray>("word");
        QTest::addColumn<int>("term");
        QTest::newRow("MEMORY") << QByteArray("MEMORY") << int(IF_TERM_MEMORY);
        QTest::newRow("PEEK") << QByteArray("PEEK") << int(IF_TERM_PEEK);
        QTest::newRow("FLASHSET") << QByteArray("FLASHSET") << int(IF_TERM_FLASHSET);
        QTest::newRow("CMPRAM") << QByteArray("CMPRAM") << int(IF_TERM_CMPRAM);
        QTest::newRow("lower case is another word") << QByteArray("memory") << int(IF_TERM_OTHER);
    }
    void conditionTerms()
    {
        QFETCH(QByteArray, word);
        QFETCH(int, term);
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.Load("if " + word + " != 7\nendif"));
        script.NextLine();
        QCOMPARE(int(script.IfTerm()), term);
        QVERIFY(frame.log.isEmpty());
    }

    // Without an else the failing condition continues after the endif; an
    // if the loader gave no labels ends the script when it fails.
    void conditionTargets_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<uint>>("termValues");
        QTest::addColumn<QStringList>("seen");
        QTest::newRow("no else") << QByteArray("if MEMORY == 1\nthen\nendif\nafter") << QList<uint>{0}
                                 << QStringList{"> if MEMORY == 1", "> after"};
        QTest::newRow("failing inner if skips the outer else")
            << QByteArray("if MEMORY == 0\nif PEEK == 1\nin\nendif\nelse\nouter-else\nendif\nafter")
            << QList<uint>{0, 0} << QStringList{"> if MEMORY == 0", "> if PEEK == 1", "> after"};
        QTest::newRow("holding inner if") << QByteArray("if MEMORY == 0\nif PEEK == 1\nin\nendif\nelse\nx\nendif")
                                          << QList<uint>{0, 1}
                                          << QStringList{"> if MEMORY == 0", "> if PEEK == 1", "> in"};
        QTest::newRow("upper-case IF has no labels") << QByteArray("IF MEMORY == 1\nthen\nENDIF\nafter")
                                                     << QList<uint>{0} << QStringList{"> IF MEMORY == 1"};
    }
    void conditionTargets()
    {
        QFETCH(QByteArray, text);
        QFETCH(QList<uint>, termValues);
        QFETCH(QStringList, seen);
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.Load(text));
        QCOMPARE(Drain(script, frame, termValues), seen);
    }

    // A malformed if jumps by its own labels, never by those of an earlier
    // if (which would lead back and round in circles).
    void malformedIfNeverJumpsBack()
    {
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.Load("if MEMORY == 0\nfirst\nendif\nif\nsecond\nendif\nlast"));
        QCOMPARE(script.NextLine(), QByteArray("if MEMORY == 0"));
        script.EvaluateIf(0);
        QCOMPARE(script.NextLine(), QByteArray("first"));
        QCOMPARE(script.NextLine(), QByteArray("if"));
        script.EvaluateIf(0);
        QCOMPARE(Drain(script, frame), (QStringList{"> second", "> last"}));
    }

    // Options and conditions of a nested script are its own.
    void nestedOptionsAndConditions()
    {
        WriteScript("menu", "option 1 again 2 done\nagain:\nif PEEK != 0\nrepeat\nendif\ndone:\nfinish\n");
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.Load("run menu\nafter\n"));
        QCOMPARE(script.NextLine(), QByteArray("option 1 again 2 done"));
        QVERIFY(script.HasOptions());
        QVERIFY(script.SelectOption("1"));
        QCOMPARE(script.NextLine(), QByteArray("if PEEK != 0"));
        QCOMPARE(script.IfTerm(), IF_TERM_PEEK);
        script.EvaluateIf(0);
        QCOMPARE(script.NextLine(), QByteArray("finish"));
        QCOMPARE(script.NextLine(), QByteArray("after"));
    }

    void clearDropsEverything()
    {
        WriteScript("sub", "one\ntwo\n");
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.Load("run sub\nthree\n"));
        QCOMPARE(script.NextLine(), QByteArray("one"));
        script.Clear();
        QVERIFY(script.IsEmpty());
        QVERIFY(!script.IsLoaded());
        QVERIFY(!script.Child());
        QVERIFY(script.NextLine().isEmpty());
        QVERIFY(script.Load("four\n"));
        QCOMPARE(script.NextLine(), QByteArray("four"));  // nothing of the old child comes back
    }

    // Every bundled sample loads without a complaint, and every label,
    // menu target and nested script it names exists.
    void bundledScripts_data()
    {
        QTest::addColumn<QString>("path");
        const QDir folder(QStringLiteral(NVP_BINARY_DIR "/share/script"));
        const QStringList names = folder.entryList({"*.usp"}, QDir::Files);
        QVERIFY(names.size() >= 4);
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << folder.filePath(name);
    }
    void bundledScripts()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.Load(file.readAll()));
        QVERIFY(script.IsLoaded());
        QCOMPARE(frame.log, QStringList{});
        for (int i = 0; i < script.LineCount(); ++i) {
            const QList<QByteArray> words = ScriptWords(script.Line(i));
            const QByteArray keyword = words.first().toLower();
            if (keyword == "goto")
                QVERIFY2(script.FindLabel(words.value(1)) >= 0, script.Line(i));
            if (keyword == "option") {
                for (qsizetype w = 2; w < words.size(); w += 2)
                    QVERIFY2(script.FindLabel(words.at(w)) >= 0, script.Line(i));
            }
            if (keyword == "run")
                QVERIFY2(QFile::exists(QFileInfo(path).dir().filePath(words.value(1) + ".usp")), script.Line(i));
        }
    }

    void onlyLabelsAndBlanksIsNotLoaded()
    {
        WriteScript("labels", "a:\n\n  b:\r\n");
        CRecordingFrame frame;
        CScript script;
        QVERIFY(script.LoadByName(QByteArray("labels")));
        QVERIFY(script.IsEmpty());
        QVERIFY(script.NextLine().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestScript)
#include "tst_script.moc"

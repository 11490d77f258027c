// Feeds arbitrary bytes to the script loader and walks the loaded script the
// way the runner does, deciding conditions and option menus from the input.
// Mode byte 0: the bytes are a script text. Mode byte 1: they are written as
// the script file "fz.usp" and started with arguments (it may run itself, or
// the nested scripts prepared below). Mode byte 2: they are a typed start
// line. Lines of the serial number statement also go through its parser.

#include "AppDirectory.h"
#include "FrameServices.h"
#include "Script.h"
#include "ScriptText.h"
#include "SerialNumber.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

class CQuietFrame : public CFrameServices
{
public:
    void LogMessage(const QString &) override {}
};

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

struct SSetup
{
    SSetup()
    {
        SetFrame(&frame);
        g_scriptDirOverride = dir.path();
        WriteFile(dir.filePath("sub.usp"), "read %1 %2\nif PEEK == %1\nrun sub %2\nelse\nrun fz\nendif\n");
        WriteFile(dir.filePath("menu.usp"), "m:\noption 1 m 2 e %1 m\ne:\necho %3\n");
        WriteFile(dir.filePath("empty.usp"), "a:\n// nothing\n");
    }
    CQuietFrame frame;
    QTemporaryDir dir;
};

void Walk(CScript &script, uint32_t seed)
{
    for (int step = 0; step < 200; ++step) {
        const QByteArray line = script.NextLine();
        if (line.isEmpty())
            return;
        seed = seed * 1103515245u + 12345u;
        const QList<QByteArray> words = ScriptWords(line);
        if (words.isEmpty())
            __builtin_trap();  // a line without a command must never reach the runner
        if (words.first().toLower() == "if") {
            script.EvaluateIf((seed >> 16) & 1);
        } else if (words.first().toLower() == "serial") {
            // The serial number statement is read by the runner: its parser
            // and the bytes it writes into an image see the same words.
            QString error;
            if (const auto serial = CSerialNumber::Parse(words, error)) {
                const uint64_t value = (uint64_t(seed) << 32) | (seed >> 3);
                if (const auto bytes = serial->Bytes(value); bytes && bytes->size() != serial->Width())
                    __builtin_trap();
                serial->Text(value);
            }
        }
        if (script.HasOptions())
            script.SelectOption(QString::number((seed >> 16) % 4));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static SSetup setup;
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    const uint32_t seed = size > 1 ? data[1] : 0;
    CScript script;
    switch (data[0] % 3) {
    case 0:
        if (script.Load(bytes))
            Walk(script, seed);
        break;
    case 1:
        WriteFile(setup.dir.filePath("fz.usp"), bytes);
        if (script.LoadByName(QByteArray("fz 1 %2 sub menu")))
            Walk(script, seed);
        break;
    default:
        if (script.LoadByName(bytes))
            Walk(script, seed);
        break;
    }
    script.Clear();
    return 0;
}

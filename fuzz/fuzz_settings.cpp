// Feeds arbitrary bytes to the settings file as the window would find it
// (a hand-edited or damaged file), then reads the values the start-up reads
// and turns the stored layout into window and splitter sizes.

#include "AppSettings.h"
#include "RecentList.h"
#include "WindowLayout.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_settings";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;
    const QString path = dir.filePath("settings.ini");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QSettings settings(path, QSettings::IniFormat);
    for (const QString &key : settings.allKeys()) {
        const QVariant value = settings.value(key);
        const QStringList list = value.toStringList();
        for (Splitter splitter : {Splitter::TabsOverConsole, Splitter::FilesBesideRight})
            SplitterSizesFromSetting(list, splitter, 1080);
        const QSize stored = value.toSize();
        MainWindowGeometry(stored, QSize(1920, 1080));
        QStringList recent = list;
        for (const QString &entry : list) {
            recent = WithRecentEntry(recent, entry);
            WorkDirOfFile(entry);
        }
    }
    return 0;
}

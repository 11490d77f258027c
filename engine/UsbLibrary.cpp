#include "UsbLibrary.h"
#include "UsbMessages.h"

#include "AppDirectory.h"

#include <QLibrary>
#include <QReadLocker>
#include <QReadWriteLock>
#include <QWriteLocker>

#include <memory>

namespace Usb {
namespace {

using OpenFn = int32_t (*)();
using CloseFn = void (*)();
using ReceiveFn = int32_t (*)(int32_t, uint8_t *, int32_t);
using SendFn = int32_t (*)(int32_t, const uint8_t *, int32_t);
using FirmwareFn = int32_t (*)(const uint8_t *, uint8_t);
using PacketSizeFn = int32_t (*)();
using MessageFn = int32_t (*)(char *, int32_t);

const char *const kLibraryFileName = "libxrusb.so";

struct EntryPoints
{
    bool loaded = false;
    OpenFn open = nullptr;             // "func4"
    CloseFn close = nullptr;           // "func5"
    ReceiveFn receive = nullptr;       // "func1"
    SendFn send = nullptr;             // "func2"
    FirmwareFn loadFirmware = nullptr; // "func3"
    PacketSizeFn packetSize = nullptr; // "func6"
    MessageFn message = nullptr;       // "xrusb_message", optional
};

// Readers are the wrappers (any thread), writers Load/Unload (GUI thread).
QReadWriteLock g_lock;
EntryPoints g_table;
std::unique_ptr<QLibrary> g_library;
QString g_loadError;

template<typename Fn>
Fn Resolve(QLibrary &library, const char *name)
{
    return reinterpret_cast<Fn>(library.resolve(name));
}

} // namespace

bool LoadLibrary(const QString &path)
{
    QWriteLocker locker(&g_lock);
    if (g_table.loaded)
        return true;

    const QString fileName = path.isEmpty() ? AppDirectory(DIR_DLL) + QLatin1String(kLibraryFileName) : path;
    auto library = std::make_unique<QLibrary>(fileName);
    if (!library->load()) {
        g_loadError = library->errorString();
        return false;
    }
    g_loadError.clear();

    g_table.open = Resolve<OpenFn>(*library, "func4");
    g_table.close = Resolve<CloseFn>(*library, "func5");
    g_table.receive = Resolve<ReceiveFn>(*library, "func1");
    g_table.send = Resolve<SendFn>(*library, "func2");
    g_table.loadFirmware = Resolve<FirmwareFn>(*library, "func3");
    g_table.packetSize = Resolve<PacketSizeFn>(*library, "func6");
    g_table.message = Resolve<MessageFn>(*library, "xrusb_message");
    g_table.loaded = true;
    g_library = std::move(library);
    return true;
}

void UnloadLibrary()
{
    QWriteLocker locker(&g_lock);
    // The library object goes, the mapping stays: the adapter library may
    // still run threads or exit handlers of its own, and unmapping code that
    // can still run would crash the process at exit.
    g_library.reset();
    g_table = EntryPoints{};
}

bool IsLoaded()
{
    QReadLocker locker(&g_lock);
    return g_table.loaded;
}

QString LoadError()
{
    QReadLocker locker(&g_lock);
    return g_loadError;
}

int32_t Open()
{
    QReadLocker locker(&g_lock);
    return g_table.loaded && g_table.open ? g_table.open() : 0;
}

void Close()
{
    QReadLocker locker(&g_lock);
    if (g_table.loaded && g_table.close)
        g_table.close();
}

int32_t LoadFirmware(const uint8_t *image, uint8_t mode)
{
    QReadLocker locker(&g_lock);
    if (!image || !g_table.loaded || !g_table.loadFirmware)
        return 0;
    return g_table.loadFirmware(image, mode);
}

int32_t Send(int32_t pipe, const uint8_t *data, int32_t len)
{
    QReadLocker locker(&g_lock);
    return g_table.loaded && g_table.send ? g_table.send(pipe, data, len) : -1;
}

int32_t Receive(int32_t pipe, uint8_t *buf, int32_t len)
{
    QReadLocker locker(&g_lock);
    return g_table.loaded && g_table.receive ? g_table.receive(pipe, buf, len) : -1;
}

int32_t PacketSize()
{
    QReadLocker locker(&g_lock);
    return g_table.loaded && g_table.packetSize ? g_table.packetSize() : 0;
}

QStringList TakeMessages()
{
    constexpr int32_t LongestMessage = 1024;
    constexpr int MostAtOnce = 64;
    QReadLocker locker(&g_lock);
    QStringList messages;
    if (!g_table.loaded || !g_table.message)
        return messages;
    char line[LongestMessage];
    for (int i = 0; i < MostAtOnce && g_table.message(line, LongestMessage) > 0; ++i)
        messages << QString::fromLocal8Bit(line);
    return messages;
}

} // namespace Usb

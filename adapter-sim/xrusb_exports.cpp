// The six exports of the adapter library. Each call takes the library's one
// lock, so the host's worker thread and a test may call from anywhere.
//
// Which adapter: the programmer line in XRUSB_PROGRAMMER, else the
// `programmer` key of the configuration's [adapter] section, else the
// simulated adapter. A line that cannot be read gives an adapter that is
// never found and says why: a typing error never ends on the simulator.
//
// Two exports beyond the six: xrusb_message hands the host the library's
// messages (one line each), so the host can show why a programmer cannot be
// used; xrusb_bridge_seams lets a host in the same process stand in for the
// system under the bridges (the tests' USB and spidev fakes).
//
// Configuration reload: the library stays loaded for the life of the host
// process, so it re-reads its configuration whenever func4 is called while
// no adapter is open and the configuration source changed (another
// XRUSB_SIM path, or a file with other contents). That is a different
// adapter being plugged in: firmware, counters and faults start afresh.

#include "BridgeAdapter.h"
#include "LibraryHooks.h"
#include "ProgrammerChoice.h"
#include "SimAdapter.h"
#include "SimConfig.h"
#include "SimLog.h"

#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <cstring>

#define XRUSB_EXPORT extern "C" __attribute__((visibility("default")))

XRUSB_EXPORT int32_t func4(void);

namespace {

struct CConfigSource
{
    std::string path;  // empty: built-in defaults
    std::string text;
    bool readable = true;

    std::string programmer;  // XRUSB_PROGRAMMER, when set

    std::string Key() const
    {
        return programmer + '\n' + path + '\n' + (readable ? "1" : "0") + '\n' + text;
    }
};

std::string LibraryDir()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&func4), &info) || !info.dli_fname)
        return ".";
    const std::string file = info.dli_fname;
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? "." : file.substr(0, slash);
}

bool ReadFile(const std::string &path, std::string &text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream out;
    out << in.rdbuf();
    text = out.str();
    return true;
}

// XRUSB_SIM first, then xrusb-sim.ini beside the library, then defaults.
CConfigSource FindConfig()
{
    CConfigSource source;
    if (const char *programmer = std::getenv("XRUSB_PROGRAMMER"))
        source.programmer = programmer;
    const char *env = std::getenv("XRUSB_SIM");
    if (env && *env) {
        source.path = env;
        source.readable = ReadFile(source.path, source.text);
        return source;
    }
    const std::string beside = LibraryDir() + "/xrusb-sim.ini";
    if (ReadFile(beside, source.text))
        source.path = beside;
    return source;
}

std::string DirectoryOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

class CLibrary
{
public:
    std::mutex mutex;

    xrsim::IAdapter &Adapter(bool mayReload)
    {
        if (!m_adapter || (mayReload && !m_adapter->IsOpen())) {
            const CConfigSource source = FindConfig();
            if (!m_adapter || source.Key() != m_key) {
                m_adapter.reset();  // the old adapter writes its counters first
                m_key = source.Key();
                m_adapter = Make(source);
            }
        }
        return *m_adapter;
    }

    // Other seams under the bridges: the next open builds a new adapter.
    void SetSeams(const xrbridge::CBridgeSeams &seams)
    {
        m_adapter.reset();
        m_seams = seams;
    }

private:
    std::unique_ptr<xrsim::IAdapter> Make(const CConfigSource &source) const
    {
        const xrsim::CSimConfig config = Load(source);
        const std::string line = source.programmer.empty() ? config.adapter.programmer : source.programmer;
        xrbridge::CProgrammerChoice choice;
        std::string error;
        if (!xrbridge::ParseProgrammer(line, choice, error))
            error = "cannot use the programmer \"" + line + "\": " + error;
        else if (choice.kind == xrbridge::EProgrammer::Simulated)
            return std::make_unique<xrsim::CSimAdapter>(config);
        return std::make_unique<xrsim::CBridgeAdapter>(choice, error, config.adapter, m_seams);
    }

    static xrsim::CSimConfig Load(const CConfigSource &source)
    {
        if (!source.readable) {
            xrsim::Warn("cannot read the configuration " + source.path + " named by XRUSB_SIM; using built-in defaults");
            return xrsim::ParseConfig("", source.path, "");
        }
        return xrsim::ParseConfig(source.text, source.path.empty() ? "built-in defaults" : source.path,
                                  source.path.empty() ? "" : DirectoryOf(source.path));
    }

    std::unique_ptr<xrsim::IAdapter> m_adapter;
    std::string m_key;
    xrbridge::CBridgeSeams m_seams;
};

CLibrary &Library()
{
    static CLibrary library;
    return library;
}

// Nothing may escape into the host: a failure inside the simulator is a
// failed call, as a broken cable would be.
template <typename F>
auto Guarded(F &&body, decltype(body()) failure) -> decltype(body())
{
    try {
        return body();
    } catch (const std::exception &e) {
        xrsim::Warn(std::string("internal error: ") + e.what());
    } catch (...) {
        xrsim::Warn("internal error");
    }
    return failure;
}

} // namespace

XRUSB_EXPORT int32_t func4(void)
{
    CLibrary &library = Library();
    std::lock_guard<std::mutex> lock(library.mutex);
    return Guarded([&] { return library.Adapter(true).Open(); }, 0);
}

XRUSB_EXPORT void func5(void)
{
    CLibrary &library = Library();
    std::lock_guard<std::mutex> lock(library.mutex);
    Guarded(
        [&] {
            library.Adapter(false).Close();
            return 0;
        },
        0);
}

XRUSB_EXPORT int32_t func3(const uint8_t *image, uint8_t mode)
{
    CLibrary &library = Library();
    std::lock_guard<std::mutex> lock(library.mutex);
    return Guarded([&] { return library.Adapter(false).LoadFirmware(image, mode); }, 0);
}

XRUSB_EXPORT int32_t func2(int32_t pipe, const uint8_t *data, int32_t len)
{
    CLibrary &library = Library();
    std::lock_guard<std::mutex> lock(library.mutex);
    return Guarded([&] { return library.Adapter(false).Send(pipe, data, len); }, -1);
}

XRUSB_EXPORT int32_t func1(int32_t pipe, uint8_t *buf, int32_t len)
{
    CLibrary &library = Library();
    std::lock_guard<std::mutex> lock(library.mutex);
    return Guarded([&] { return library.Adapter(false).Receive(pipe, buf, len); }, -1);
}

XRUSB_EXPORT int32_t func6(void)
{
    CLibrary &library = Library();
    std::lock_guard<std::mutex> lock(library.mutex);
    return Guarded([&] { return library.Adapter(false).PacketSize(); }, 512);
}

XRUSB_EXPORT int32_t xrusb_message(char *buffer, int32_t size)
{
    if (!buffer || size <= 0)
        return -1;
    std::string message;
    if (!xrsim::TakeMessage(message)) {
        buffer[0] = '\0';
        return 0;
    }
    const size_t n = std::min(message.size(), size_t(size - 1));
    std::memcpy(buffer, message.data(), n);
    buffer[n] = '\0';
    return int32_t(n);
}

XRUSB_EXPORT void xrusb_bridge_seams(const xrbridge::CBridgeSeams *seams)
{
    CLibrary &library = Library();
    std::lock_guard<std::mutex> lock(library.mutex);
    Guarded(
        [&] {
            library.SetSeams(seams ? *seams : xrbridge::CBridgeSeams());
            return 0;
        },
        0);
}

// The six exports of the adapter library. Each call takes the library's one
// lock, so the host's worker thread and a test may call from anywhere.
//
// Configuration reload: the library stays loaded for the life of the host
// process, so it re-reads its configuration whenever func4 is called while
// no adapter is open and the configuration source changed (another
// XRUSB_SIM path, or a file with other contents). That is a different
// adapter being plugged in: firmware, counters and faults start afresh.

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

#define XRUSB_EXPORT extern "C" __attribute__((visibility("default")))

XRUSB_EXPORT int32_t func4(void);

namespace {

struct CConfigSource
{
    std::string path;  // empty: built-in defaults
    std::string text;
    bool readable = true;

    std::string Key() const { return path + '\n' + (readable ? "1" : "0") + '\n' + text; }
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

    xrsim::CSimAdapter &Adapter(bool mayReload)
    {
        if (!m_adapter || (mayReload && !m_adapter->IsOpen())) {
            const CConfigSource source = FindConfig();
            if (!m_adapter || source.Key() != m_key) {
                m_adapter.reset();  // the old adapter writes its counters first
                m_key = source.Key();
                m_adapter = std::make_unique<xrsim::CSimAdapter>(Load(source));
            }
        }
        return *m_adapter;
    }

private:
    static xrsim::CSimConfig Load(const CConfigSource &source)
    {
        if (!source.readable) {
            xrsim::Warn("cannot read the configuration " + source.path + " named by XRUSB_SIM; using built-in defaults");
            return xrsim::ParseConfig("", source.path, "");
        }
        return xrsim::ParseConfig(source.text, source.path.empty() ? "built-in defaults" : source.path,
                                  source.path.empty() ? "" : DirectoryOf(source.path));
    }

    std::unique_ptr<xrsim::CSimAdapter> m_adapter;
    std::string m_key;
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

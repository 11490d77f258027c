#include "BridgeRig.h"

#include "Ch341aFake.h"
#include "ImageFile.h"
#include "LibraryHooks.h"
#include "ProgrammerChoice.h"
#include "SerprogEmulator.h"
#include "SimAdapterHost.h"
#include "SpiChip.h"
#include "SpidevFake.h"
#include "UsbMessages.h"

#include <QFile>

#include <dlfcn.h>

namespace {

using SeamsFn = void (*)(const xrbridge::CBridgeSeams *);

// The library the application loaded: the same file opened again is the
// same instance.
SeamsFn SeamsExport()
{
    static SeamsFn seams = [] {
        void *handle = dlopen(QFile::encodeName(CSimAdapterHost::DefaultLibraryPath()).constData(), RTLD_NOW);
        return handle ? reinterpret_cast<SeamsFn>(dlsym(handle, "xrusb_bridge_seams")) : nullptr;
    }();
    return seams;
}

const char *const SpidevNode = "/dev/spidev0.0";

} // namespace

CBridgeRig::CBridgeRig(const QString &folder) : m_folder(folder) {}

CBridgeRig::~CBridgeRig()
{
    Unseat();
}

QString CBridgeRig::KindName(EBridgeKind kind)
{
    switch (kind) {
    case EBridgeKind::Serprog: return QStringLiteral("serprog");
    case EBridgeKind::Ch341a: return QStringLiteral("ch341a");
    case EBridgeKind::Spidev: return QStringLiteral("spidev");
    }
    return {};
}

void CBridgeRig::SetSeams(bool fakes)
{
    SeamsFn seams = SeamsExport();
    if (!seams)
        qFatal("the adapter library lacks xrusb_bridge_seams");
    xrbridge::CBridgeSeams given;
    given.usb = fakes ? m_ch341a.get() : nullptr;
    given.spidev = fakes ? m_spidev.get() : nullptr;
    seams(&given);
}

bool CBridgeRig::Seat(EBridgeKind kind, const xrsim::CSpiConfig &chip, const QByteArray &contents, bool silent)
{
    Unseat();
    m_kind = kind;
    m_image = m_folder + QStringLiteral("/bridge-chip-%1.bin").arg(++m_count);
    QFile file(m_image);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        return false;
    file.close();
    auto image = std::make_unique<xrsim::CImageFile>();
    std::string error;
    if (!image->Open(QFile::encodeName(m_image).toStdString(), chip.size, error))
        return false;
    m_chip = std::make_unique<xrsim::CSpiChip>(chip, std::move(image), m_stats);
    switch (kind) {
    case EBridgeKind::Serprog: {
        xremu::CSerprogEmulatorOptions options;
        options.silent = silent;
        m_serprog = std::make_unique<xremu::CSerprogEmulator>(*m_chip, options);
        m_line = QStringLiteral("serprog:") + QString::fromStdString(m_serprog->SlavePath());
        break;
    }
    case EBridgeKind::Ch341a: {
        xremu::CCh341aFakeOptions options;
        options.timeOutAfterExchanges = silent ? 0 : -1;
        m_ch341a = std::make_unique<xremu::CCh341aFake>(*m_chip, options);
        m_line = QStringLiteral("ch341a");
        break;
    }
    case EBridgeKind::Spidev: {
        xremu::CSpidevFakeOptions options;
        options.node = SpidevNode;
        options.timeOutAfterMessages = silent ? 0 : -1;
        m_spidev = std::make_unique<xremu::CSpidevFake>(*m_chip, options);
        m_line = QStringLiteral("spidev:") + QLatin1String(SpidevNode);
        break;
    }
    }
    SetSeams(true);
    qputenv("XRUSB_PROGRAMMER", m_line.toLocal8Bit());
    return true;
}

void CBridgeRig::Unseat()
{
    if (!m_chip)
        return;
    // The library closes its bridge while the stand-ins still answer.
    SetSeams(false);
    qunsetenv("XRUSB_PROGRAMMER");
    m_serprog.reset();
    m_ch341a.reset();
    m_spidev.reset();
    m_chip.reset();
    Messages();  // what the library said about them is theirs
}

void CBridgeRig::UnplugAfter(int transfers)
{
    switch (m_kind) {
    case EBridgeKind::Serprog:
        if (transfers == 0)
            m_serprog->Unplug();
        else
            qFatal("the serprog emulator is unplugged at once only");
        break;
    case EBridgeKind::Ch341a: {
        xremu::CCh341aFakeOptions options;
        options.unplugAfterExchanges = m_ch341a->Exchanges() + transfers;
        m_ch341a->SetOptions(options);
        break;
    }
    case EBridgeKind::Spidev: {
        xremu::CSpidevFakeOptions options;
        options.node = SpidevNode;
        options.unplugAfterMessages = m_spidev->Messages() + transfers;
        m_spidev->SetOptions(options);
        break;
    }
    }
}

void CBridgeRig::Replug()
{
    if (m_ch341a)
        m_ch341a->SetOptions(xremu::CCh341aFakeOptions());
    if (m_spidev) {
        xremu::CSpidevFakeOptions options;
        options.node = SpidevNode;
        m_spidev->SetOptions(options);
    }
}

QByteArray CBridgeRig::Image() const
{
    QFile file(m_image);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList CBridgeRig::Messages()
{
    return Usb::TakeMessages();
}

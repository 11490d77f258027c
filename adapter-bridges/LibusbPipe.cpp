// The CH341A's bulk endpoints through libusb-1.0. Answers are collected by
// several IN transfers kept in flight while the OUT transfer runs, because
// the device ends every answer packet short and stalls its OUT side when
// nobody reads.

#include "BridgeErrors.h"
#include "Ch341aProtocol.h"
#include "UsbBulkPipe.h"

#include <libusb.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace xrbridge {

namespace {

constexpr int InFlight = 32;

EUsbResult FromLibusb(int status)
{
    switch (status) {
    case LIBUSB_SUCCESS: return EUsbResult::Ok;
    case LIBUSB_ERROR_TIMEOUT: return EUsbResult::TimedOut;
    case LIBUSB_ERROR_NO_DEVICE: return EUsbResult::Gone;
    default: return EUsbResult::Failed;
    }
}

EUsbResult FromTransfer(libusb_transfer_status status)
{
    switch (status) {
    case LIBUSB_TRANSFER_COMPLETED: return EUsbResult::Ok;
    case LIBUSB_TRANSFER_TIMED_OUT: return EUsbResult::TimedOut;
    case LIBUSB_TRANSFER_NO_DEVICE: return EUsbResult::Gone;
    default: return EUsbResult::Failed;
    }
}

class CLibusbPipe : public IUsbBulkPipe
{
public:
    CLibusbPipe(libusb_context *context, libusb_device_handle *handle, std::string name)
        : m_context(context), m_handle(handle), m_name(std::move(name)) {}
    ~CLibusbPipe() override
    {
        libusb_release_interface(m_handle, ch341a::Interface);
        libusb_close(m_handle);
        libusb_exit(m_context);
    }

    std::string Describe() const override { return m_name; }

    EUsbResult Exchange(const uint8_t *out, size_t outCount, uint8_t *in, size_t inCount, unsigned timeoutMs) override
    {
        if (inCount == 0) {
            int sent = 0;
            const int status = libusb_bulk_transfer(m_handle, ch341a::EndpointOut, const_cast<uint8_t *>(out),
                                                    int(outCount), &sent, timeoutMs);
            if (status == LIBUSB_SUCCESS && size_t(sent) != outCount)
                return EUsbResult::Failed;
            return FromLibusb(status);
        }
        return Overlapped(out, outCount, in, inCount, timeoutMs);
    }

private:
    struct CRun
    {
        uint8_t *in = nullptr;
        size_t inCount = 0;
        size_t received = 0;
        size_t requested = 0;   // bytes the IN transfers in flight may bring
        int pending = 0;
        bool outDone = false;
        EUsbResult result = EUsbResult::Ok;
        libusb_device_handle *handle = nullptr;
        unsigned timeoutMs = 0;
    };

    static void Finished(CRun &run, EUsbResult result)
    {
        if (run.result == EUsbResult::Ok)
            run.result = result;
    }

    static void LIBUSB_CALL OutDone(libusb_transfer *transfer)
    {
        auto &run = *static_cast<CRun *>(transfer->user_data);
        --run.pending;
        run.outDone = true;
        if (transfer->status != LIBUSB_TRANSFER_COMPLETED || transfer->actual_length != transfer->length)
            Finished(run, transfer->status == LIBUSB_TRANSFER_COMPLETED ? EUsbResult::Failed
                                                                           : FromTransfer(transfer->status));
    }

    static void LIBUSB_CALL InDone(libusb_transfer *transfer)
    {
        auto &run = *static_cast<CRun *>(transfer->user_data);
        --run.pending;
        run.requested -= std::min<size_t>(run.requested, ch341a::SpiBytesPerPacket);
        if (transfer->status != LIBUSB_TRANSFER_COMPLETED) {
            if (transfer->status != LIBUSB_TRANSFER_CANCELLED)
                Finished(run, FromTransfer(transfer->status));
            return;
        }
        const size_t n = std::min<size_t>(size_t(transfer->actual_length), run.inCount - run.received);
        std::memcpy(run.in + run.received, transfer->buffer, n);
        run.received += n;
        if (run.result == EUsbResult::Ok && run.received + run.requested < run.inCount) {
            run.requested += ch341a::SpiBytesPerPacket;
            if (libusb_submit_transfer(transfer) == LIBUSB_SUCCESS)
                ++run.pending;
            else
                Finished(run, EUsbResult::Failed);
        }
    }

    EUsbResult Overlapped(const uint8_t *out, size_t outCount, uint8_t *in, size_t inCount, unsigned timeoutMs)
    {
        CRun run;
        run.in = in;
        run.inCount = inCount;
        run.handle = m_handle;
        run.timeoutMs = timeoutMs;
        std::vector<libusb_transfer *> transfers;
        std::vector<std::vector<uint8_t>> buffers(InFlight, std::vector<uint8_t>(ch341a::PacketBytes));
        for (int i = 0; i < InFlight && run.requested < inCount; ++i) {
            libusb_transfer *t = libusb_alloc_transfer(0);
            libusb_fill_bulk_transfer(t, m_handle, ch341a::EndpointIn, buffers[size_t(i)].data(),
                                      int(ch341a::PacketBytes), InDone, &run, timeoutMs);
            transfers.push_back(t);
            if (libusb_submit_transfer(t) != LIBUSB_SUCCESS) {
                Finished(run, EUsbResult::Failed);
                break;
            }
            ++run.pending;
            run.requested += ch341a::SpiBytesPerPacket;
        }
        libusb_transfer *outTransfer = libusb_alloc_transfer(0);
        libusb_fill_bulk_transfer(outTransfer, m_handle, ch341a::EndpointOut, const_cast<uint8_t *>(out),
                                  int(outCount), OutDone, &run, timeoutMs);
        if (run.result == EUsbResult::Ok && libusb_submit_transfer(outTransfer) == LIBUSB_SUCCESS)
            ++run.pending;
        else
            Finished(run, EUsbResult::Failed);

        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs) * 2;
        bool cancelled = false;
        while (run.pending > 0) {
            const bool complete = run.outDone && run.received == inCount;
            if (!cancelled && (run.result != EUsbResult::Ok || complete ||
                               std::chrono::steady_clock::now() > deadline)) {
                if (!complete)
                    Finished(run, EUsbResult::TimedOut);
                for (libusb_transfer *t : transfers)
                    libusb_cancel_transfer(t);
                libusb_cancel_transfer(outTransfer);
                cancelled = true;
            }
            struct timeval tv {0, 100000};
            libusb_handle_events_timeout(m_context, &tv);
        }
        for (libusb_transfer *t : transfers)
            libusb_free_transfer(t);
        libusb_free_transfer(outTransfer);
        if (run.result == EUsbResult::Ok && run.received != inCount)
            return EUsbResult::TimedOut;
        return run.result;
    }

    libusb_context *m_context;
    libusb_device_handle *m_handle;
    std::string m_name;
};

class CLibusbOpener : public IUsbOpener
{
public:
    std::unique_ptr<IUsbBulkPipe> Open(uint16_t vendor, uint16_t product, std::string &error) override
    {
        libusb_context *context = nullptr;
        if (libusb_init(&context) != LIBUSB_SUCCESS) {
            error = "cannot start libusb (is /dev/bus/usb there?)";
            return nullptr;
        }
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x:%04x", vendor, product);
        libusb_device **list = nullptr;
        const ssize_t count = libusb_get_device_list(context, &list);
        libusb_device *found = nullptr;
        for (ssize_t i = 0; i < count && !found; ++i) {
            libusb_device_descriptor descriptor {};
            if (libusb_get_device_descriptor(list[i], &descriptor) == LIBUSB_SUCCESS &&
                descriptor.idVendor == vendor && descriptor.idProduct == product)
                found = list[i];
        }
        if (!found) {
            if (list)
                libusb_free_device_list(list, 1);
            libusb_exit(context);
            error = std::string("no CH341A programmer found (USB ") + ids +
                    "; is it plugged in, with the jumper in SPI mode?)";
            return nullptr;
        }
        char node[64];
        std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", libusb_get_bus_number(found),
                      libusb_get_device_address(found));
        libusb_device_handle *handle = nullptr;
        const int opened = libusb_open(found, &handle);
        libusb_free_device_list(list, 1);
        if (opened != LIBUSB_SUCCESS) {
            libusb_exit(context);
            error = opened == LIBUSB_ERROR_ACCESS ? PermissionDeniedText(node, "plugdev")
                                                  : std::string("cannot open the CH341A at ") + node + ": " +
                                                        libusb_strerror(libusb_error(opened));
            return nullptr;
        }
        libusb_set_auto_detach_kernel_driver(handle, 1);
        const int claimed = libusb_claim_interface(handle, ch341a::Interface);
        if (claimed != LIBUSB_SUCCESS) {
            libusb_close(handle);
            libusb_exit(context);
            error = std::string("cannot claim the CH341A at ") + node + ": " +
                    (claimed == LIBUSB_ERROR_BUSY ? "another program uses it"
                                                  : libusb_strerror(libusb_error(claimed)));
            return nullptr;
        }
        return std::make_unique<CLibusbPipe>(context, handle, std::string("CH341A at ") + node);
    }
};

} // namespace

IUsbOpener &LibusbOpener()
{
    static CLibusbOpener opener;
    return opener;
}

} // namespace xrbridge

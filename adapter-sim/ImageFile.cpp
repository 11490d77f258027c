#include "ImageFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xrsim {

namespace {

constexpr uint8_t Erased = 0xFF;
// Filesystems allocate a write into a hole in units up to a huge page; the
// neighbours zero-filled that way are looked for within this window.
constexpr uint64_t RepairWindow = 2u << 20;

const uint8_t *ErasedBlock()
{
    static const std::vector<uint8_t> block(64 * 1024, Erased);
    return block.data();
}

} // namespace

CImageFile::~CImageFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CImageFile::Open(const std::string &path, uint64_t size, std::string &error)
{
    m_path = path;
    m_size = size;
    m_writable = true;
    m_fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (m_fd < 0 && errno == ENOENT) {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        m_created = m_fd >= 0;
    }
    if (m_fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        m_writable = false;
    }
    if (m_fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info{};
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "not a regular file";
        return false;
    }
    m_fileSize = uint64_t(info.st_size);
    m_seekHoles = ::lseek(m_fd, 0, SEEK_DATA) >= 0 || errno == ENXIO;
    if (m_writable && m_fileSize < m_size) {
        const uint64_t oldSize = m_fileSize;
        if (::ftruncate(m_fd, off_t(m_size)) != 0) {
            error = std::string("cannot size the image: ") + std::strerror(errno);
            return false;
        }
        m_fileSize = m_size;
        // Where the filesystem cannot keep the new part as a hole, write it
        // erased; a blank chip must never read back as zeros.
        const uint64_t written = [&] {
            uint64_t bytes = 0;
            for (const auto &[start, end] : Ranges(oldSize, m_size, true))
                bytes += end - start;
            return bytes;
        }();
        if (written && !FillErased(oldSize, m_size - oldSize)) {
            error = std::string("cannot blank the image: ") + std::strerror(errno);
            return false;
        }
    }
    return true;
}

void CImageFile::FindExtent(uint64_t pos, CExtent &extent)
{
    if (m_cache.valid && pos >= m_cache.start && pos < m_cache.end) {
        extent = m_cache;
        return;
    }
    extent = {pos, m_fileSize, true, true};
    if (m_seekHoles) {
        const off_t data = ::lseek(m_fd, off_t(pos), SEEK_DATA);
        if (data < 0) {
            extent.data = false;
        } else if (uint64_t(data) > pos) {
            extent.data = false;
            extent.end = std::min<uint64_t>(uint64_t(data), m_fileSize);
        } else {
            const off_t hole = ::lseek(m_fd, off_t(pos), SEEK_HOLE);
            if (hole >= 0)
                extent.end = std::min<uint64_t>(uint64_t(hole), m_fileSize);
        }
    }
    if (extent.end <= pos)
        extent.end = pos + 1;
    m_cache = extent;
}

CImageFile::CRanges CImageFile::Ranges(uint64_t from, uint64_t to, bool data)
{
    CRanges ranges;
    to = std::min(to, m_fileSize);
    CExtent extent;
    for (uint64_t pos = from; pos < to;) {
        FindExtent(pos, extent);
        const uint64_t end = std::min(extent.end, to);
        if (extent.data == data) {
            if (!ranges.empty() && ranges.back().second == pos)
                ranges.back().second = end;
            else
                ranges.emplace_back(pos, end);
        }
        pos = end;
    }
    return ranges;
}

void CImageFile::Read(uint64_t offset, uint8_t *dst, size_t count)
{
    uint64_t pos = offset;
    const uint64_t end = offset + count;
    CExtent extent;
    while (pos < end) {
        uint8_t *out = dst + (pos - offset);
        if (pos >= m_fileSize) {
            std::memset(out, Erased, size_t(end - pos));
            return;
        }
        FindExtent(pos, extent);
        const size_t n = size_t(std::min(end, extent.end) - pos);
        if (!extent.data) {
            std::memset(out, Erased, n);
        } else {
            size_t done = 0;
            while (done < n) {
                const ssize_t got = ::pread(m_fd, out + done, n - done, off_t(pos + done));
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0) {
                    std::memset(out + done, Erased, n - done);
                    break;
                }
                done += size_t(got);
            }
        }
        pos += n;
    }
}

bool CImageFile::WriteAll(uint64_t offset, const uint8_t *src, size_t count)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t put = ::pwrite(m_fd, src + done, count - done, off_t(offset + done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += size_t(put);
    }
    return true;
}

bool CImageFile::FillErased(uint64_t offset, uint64_t count)
{
    m_cache.valid = false;
    const uint8_t *block = ErasedBlock();
    while (count) {
        const size_t n = size_t(std::min<uint64_t>(count, 64 * 1024));
        if (!WriteAll(offset, block, n))
            return false;
        offset += n;
        count -= n;
    }
    return true;
}

void CImageFile::RepairZeroFill(const CRanges &holesBefore, uint64_t writeStart, uint64_t writeEnd)
{
    for (const auto &[start, end] : holesBefore) {
        const std::pair<uint64_t, uint64_t> sides[2] = {{start, std::min(end, writeStart)},
                                                        {std::max(start, writeEnd), end}};
        for (const auto &[from, to] : sides) {
            if (from >= to)
                continue;
            for (const auto &[dataStart, dataEnd] : Ranges(from, to, true))
                FillErased(dataStart, dataEnd - dataStart);
        }
    }
}

bool CImageFile::Write(uint64_t offset, const uint8_t *src, size_t count)
{
    if (!m_writable || offset + count > m_fileSize)
        return false;
    CRanges holes;
    if (m_seekHoles) {
        const uint64_t windowStart = offset / RepairWindow * RepairWindow;
        const uint64_t windowEnd = (offset + count + RepairWindow - 1) / RepairWindow * RepairWindow;
        holes = Ranges(windowStart, windowEnd, false);
    }
    m_cache.valid = false;
    if (!WriteAll(offset, src, count))
        return false;
    if (!holes.empty())
        RepairZeroFill(holes, offset, offset + count);
    m_cache.valid = false;
    return true;
}

bool CImageFile::Erase(uint64_t offset, uint64_t count)
{
    if (!m_writable || offset + count > m_fileSize)
        return false;
    m_cache.valid = false;
    if (m_seekHoles &&
        ::fallocate(m_fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, off_t(offset), off_t(count)) == 0) {
        // Partial filesystem blocks at the edges were zeroed, not freed.
        for (const auto &[start, end] : Ranges(offset, offset + count, true))
            if (!FillErased(start, end - start))
                return false;
        m_cache.valid = false;
        return true;
    }
    return FillErased(offset, count);
}

} // namespace xrsim

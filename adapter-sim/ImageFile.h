#pragma once

// The chip's contents as a raw image file (NAND: page after page, spare areas
// included), so a real dump can be seated. Erased flash reads 0xFF, so a hole
// in the file stands for erased bytes: a blank chip of any size is created as
// a sparse file, an erase punches holes, and a write into a hole first makes
// sure the filesystem's zero-filled neighbours read as 0xFF again. Nothing
// larger than one transfer is ever held in memory.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace xrsim {

class CImageFile
{
public:
    CImageFile() = default;
    ~CImageFile();
    CImageFile(const CImageFile &) = delete;
    CImageFile &operator=(const CImageFile &) = delete;

    // Opens the file, creating a blank (all 0xFF, sparse) chip of `size`
    // bytes when it is missing. A file that cannot be written is used
    // read-only; a shorter one reads 0xFF beyond its end.
    bool Open(const std::string &path, uint64_t size, std::string &error);

    const std::string &Path() const { return m_path; }
    uint64_t Size() const { return m_size; }
    uint64_t FileSize() const { return m_fileSize; }
    bool Writable() const { return m_writable; }
    bool Created() const { return m_created; }

    void Read(uint64_t offset, uint8_t *dst, size_t count);
    bool Write(uint64_t offset, const uint8_t *src, size_t count);
    // Sets the range to 0xFF, giving the disk space back where it can.
    bool Erase(uint64_t offset, uint64_t count);

private:
    using CRanges = std::vector<std::pair<uint64_t, uint64_t>>;

    struct CExtent
    {
        uint64_t start = 0;
        uint64_t end = 0;
        bool data = false;
        bool valid = false;
    };

    void FindExtent(uint64_t pos, CExtent &extent);
    CRanges Ranges(uint64_t from, uint64_t to, bool data);
    bool FillErased(uint64_t offset, uint64_t count);
    bool WriteAll(uint64_t offset, const uint8_t *src, size_t count);
    void RepairZeroFill(const CRanges &holesBefore, uint64_t writeStart, uint64_t writeEnd);

    int m_fd = -1;
    std::string m_path;
    uint64_t m_size = 0;      // chip bytes
    uint64_t m_fileSize = 0;  // bytes the file holds
    bool m_writable = false;
    bool m_created = false;
    bool m_seekHoles = false;
    CExtent m_cache;
};

} // namespace xrsim

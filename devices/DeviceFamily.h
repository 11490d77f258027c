#pragma once

// A device family: the ordered, owned list of entries of one kind, read from
// the family's device list file, with the lookups the engines and the console
// use.

#include "DeviceItem.h"

#include <QSet>
#include <QString>

#include <memory>
#include <vector>

class CDeviceFamily
{
public:
    explicit CDeviceFamily(const QString &name);
    virtual ~CDeviceFamily() = default;

    CDeviceFamily(const CDeviceFamily &) = delete;
    CDeviceFamily &operator=(const CDeviceFamily &) = delete;

    // Parses one device list line into a new entry and keeps it when it is
    // accepted; returns whether it was kept.
    virtual bool AddLine(const QString &line);
    // The first entry that matches the detected bytes, for this family's type
    // only; null otherwise. `ask` lets a family with several candidates ask
    // the operator.
    virtual CDeviceItem *FindById(int type, std::span<const uint8_t> ids, bool ask) const;
    // Lists the titles of all entries that match, when there are two or more.
    virtual void ReportDuplicates(const DeviceOutput &output, int type, std::span<const uint8_t> ids) const;

    // 0 for NAND, 1 for SPI.
    virtual int Type() const = 0;

    // Reads the family's device list file from the configuration folder.
    void LoadFile();
    // Reads a device list file; a file that cannot be opened gives no lines.
    void LoadFile(const QString &path);
    // Adds every line of `content` (Latin-1 text) in order, as AddLine
    // would, in time linear in the number of lines.
    void AddLines(const QByteArray &content);

    CDeviceItem *FindByName(const QString &name) const;
    void PrintAll(const DeviceOutput &output, bool brief) const;
    int Count() const { return static_cast<int>(m_items.size()); }

    std::vector<std::unique_ptr<CDeviceItem>> m_items;
    QString m_name;

protected:
    virtual std::unique_ptr<CDeviceItem> CreateItem() const = 0;
    // Whether an entry takes part in searches by identification bytes.
    virtual bool IsIdCandidate(const CDeviceItem &item) const;
    // Whether a later entry may carry a name an earlier one already has.
    virtual bool KeepsRepeatedNames() const { return true; }
    std::vector<CDeviceItem *> MatchingItems(int type, std::span<const uint8_t> ids) const;

private:
    // AddLine with the names of the entries so far at hand, so that a long
    // list is not searched from the start for every line.
    bool AddListedLine(const QString &line, QSet<QString> &names);
};

class CDeviceFamilyNand : public CDeviceFamily
{
public:
    CDeviceFamilyNand();

    // The first definition of a name wins; later lines with it are dropped.
    bool AddLine(const QString &line) override;
    // With `ask` and several candidates, the operator picks one in the device
    // choice dialog; cancelling gives null.
    CDeviceItem *FindById(int type, std::span<const uint8_t> ids, bool ask) const override;
    int Type() const override { return DEVICE_NAND; }

protected:
    std::unique_ptr<CDeviceItem> CreateItem() const override;
    // The self-describing entry is filled from a chip, never searched by ID.
    bool IsIdCandidate(const CDeviceItem &item) const override;
    bool KeepsRepeatedNames() const override { return false; }
};

class CDeviceFamilySPI : public CDeviceFamily
{
public:
    CDeviceFamilySPI();
    int Type() const override { return DEVICE_SPI; }

protected:
    std::unique_ptr<CDeviceItem> CreateItem() const override;
};

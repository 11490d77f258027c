#include "DeviceFamily.h"

#include "DeviceChoiceDialog.h"
#include "DeviceItemNand.h"
#include "DeviceItemSPIFlash.h"
#include "DeviceListPath.h"
#include "DeviceTexts.h"

#include <QApplication>
#include <QFile>
#include <QStringList>

CDeviceFamily::CDeviceFamily(const QString &name)
    : m_name(name)
{
}

bool CDeviceFamily::AddLine(const QString &line)
{
    std::unique_ptr<CDeviceItem> item = CreateItem();
    if (!item->Parse(line))
        return false;
    m_items.push_back(std::move(item));
    return true;
}

void CDeviceFamily::LoadFile()
{
    LoadFile(DeviceListPath(m_name));
}

void CDeviceFamily::LoadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    AddLines(file.readAll());
}

void CDeviceFamily::AddLines(const QByteArray &content)
{
    // A line ends at a CR or LF; the whole run of them is one line end, so
    // blank lines never reach the parser.
    QSet<QString> names;
    names.reserve(qsizetype(m_items.size()) + content.count('\n') + 1);
    for (const auto &item : m_items)
        names.insert(item->m_name);
    qsizetype pos = 0;
    const qsizetype size = content.size();
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && content[end] != '\r' && content[end] != '\n')
            ++end;
        AddListedLine(QString::fromLatin1(content.constData() + pos, end - pos), names);
        while (end < size && (content[end] == '\r' || content[end] == '\n'))
            ++end;
        pos = end;
    }
}

bool CDeviceFamily::AddListedLine(const QString &line, QSet<QString> &names)
{
    std::unique_ptr<CDeviceItem> item = CreateItem();
    if (!item->Parse(line))
        return false;
    if (!KeepsRepeatedNames() && names.contains(item->m_name))
        return false;
    names.insert(item->m_name);
    m_items.push_back(std::move(item));
    return true;
}

CDeviceItem *CDeviceFamily::FindByName(const QString &name) const
{
    for (const auto &item : m_items) {
        if (item->m_name == name)
            return item.get();
    }
    return nullptr;
}

void CDeviceFamily::PrintAll(const DeviceOutput &output, bool brief) const
{
    output(m_name);
    for (const auto &item : m_items)
        item->PrintDetails(output, brief);
}

bool CDeviceFamily::IsIdCandidate(const CDeviceItem &) const
{
    return true;
}

std::vector<CDeviceItem *> CDeviceFamily::MatchingItems(int type, std::span<const uint8_t> ids) const
{
    std::vector<CDeviceItem *> found;
    if (type != Type())
        return found;
    for (const auto &item : m_items) {
        if (IsIdCandidate(*item) && item->Matches(ids))
            found.push_back(item.get());
    }
    return found;
}

CDeviceItem *CDeviceFamily::FindById(int type, std::span<const uint8_t> ids, bool) const
{
    const std::vector<CDeviceItem *> found = MatchingItems(type, ids);
    return found.empty() ? nullptr : found.front();
}

void CDeviceFamily::ReportDuplicates(const DeviceOutput &output, int type, std::span<const uint8_t> ids) const
{
    const std::vector<CDeviceItem *> found = MatchingItems(type, ids);
    if (found.size() < 2)
        return;
    output(DeviceUiText(UI_DUPLICATE_FOUND));
    for (const CDeviceItem *item : found)
        output(item->GetTitle());
}

CDeviceFamilyNand::CDeviceFamilyNand()
    : CDeviceFamily(QStringLiteral("Nand"))
{
    auto onfi = std::make_unique<CDeviceItemNand>();
    onfi->m_name = QString::fromLatin1(NAND_ONFI_ENTRY);
    m_items.push_back(std::move(onfi));
}

std::unique_ptr<CDeviceItem> CDeviceFamilyNand::CreateItem() const
{
    return std::make_unique<CDeviceItemNand>();
}

bool CDeviceFamilyNand::IsIdCandidate(const CDeviceItem &item) const
{
    return item.m_name != QLatin1String(NAND_ONFI_ENTRY);
}

bool CDeviceFamilyNand::AddLine(const QString &line)
{
    std::unique_ptr<CDeviceItem> item = CreateItem();
    if (!item->Parse(line) || FindByName(item->m_name))
        return false;
    m_items.push_back(std::move(item));
    return true;
}

CDeviceItem *CDeviceFamilyNand::FindById(int type, std::span<const uint8_t> ids, bool ask) const
{
    if (!ask)
        return CDeviceFamily::FindById(type, ids, ask);
    const std::vector<CDeviceItem *> found = MatchingItems(type, ids);
    if (found.empty())
        return nullptr;
    if (found.size() == 1)
        return found.front();

    QStringList names;
    for (const CDeviceItem *item : found)
        names << item->m_name;
    CDeviceChoiceDialog dialog(names, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    const int row = dialog.SelectedRow();
    return (row >= 0 && row < static_cast<int>(found.size())) ? found[row] : nullptr;
}

CDeviceFamilySPI::CDeviceFamilySPI()
    : CDeviceFamily(QStringLiteral("SPI"))
{
    auto sfdp = std::make_unique<CDeviceItemSPIFlash>();
    sfdp->m_name = QString::fromLatin1(SPI_SFDP_ENTRY);
    m_items.push_back(std::move(sfdp));
}

std::unique_ptr<CDeviceItem> CDeviceFamilySPI::CreateItem() const
{
    return std::make_unique<CDeviceItemSPIFlash>();
}

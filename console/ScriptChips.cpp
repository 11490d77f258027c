// The statements of a production line: waiting for the chip to be seated and
// taken out, the production report with one record per chip, and the serial
// number written into each chip's image before it is programmed.

#include "CmdProcessor.h"

#include "AdapterProtocol.h"
#include "DeviceItem.h"
#include "FrameServices.h"
#include "MemoryNode.h"
#include "OutcomeTexts.h"
#include "ProductionTexts.h"
#include "Programmer.h"
#include "Script.h"
#include "ScriptText.h"
#include "UiText.h"

#include <QCryptographicHash>
#include <QDir>

#include <span>
#include <vector>

namespace {

constexpr uint64_t kHashPiece = 1 << 20;

bool KeywordIs(const QByteArray &word, const char *keyword)
{
    return word.compare(keyword, Qt::CaseInsensitive) == 0;
}

QString IdText(const QByteArray &id)
{
    return QString::fromLatin1(id.toHex(' ').toUpper());
}

// The statements that start a chip operation: each belongs to a chip record.
bool IsChipOperation(const QByteArray &keyword)
{
    for (const char *word : {"detect", "read", "program", "verify", "blkchk", "erase", "smtcpy", "mfc"}) {
        if (KeywordIs(keyword, word))
            return true;
    }
    return false;
}

bool WritesChip(const QByteArray &keyword)
{
    return KeywordIs(keyword, "program") || KeywordIs(keyword, "smtcpy");
}

// The whole buffer's SHA-256, in lower-case hex digits.
QString ImageHash(CMemoryNode &buffer)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<uint8_t> piece(kHashPiece);
    const uint64_t size = buffer.GetSize();
    for (uint64_t offset = 0; offset < size; offset += kHashPiece) {
        const uint64_t n = std::min(kHashPiece, size - offset);
        buffer.Read(offset, piece.data(), n);
        hash.addData(QByteArrayView(reinterpret_cast<const char *>(piece.data()), qsizetype(n)));
    }
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace

bool CCmdProcessor::RunChipStatement(const QList<QByteArray> &words, bool &waits)
{
    waits = false;
    const QByteArray &keyword = words.first();
    const QByteArray word2 = words.size() > 1 ? words.at(1) : QByteArray();
    if (KeywordIs(keyword, "waitchip") || KeywordIs(keyword, "waitremove")) {
        // Without a count the script's time-out applies, and without one the
        // wait has no limit (the operator ends it by typing at the console).
        const int timeoutMs = words.size() > 1 ? LeadingDecimal(word2) : m_production.Timeout();
        StartChipWait(KeywordIs(keyword, "waitchip") ? CChipWaiter::EWait::Seated : CChipWaiter::EWait::Removed,
                      timeoutMs);
        waits = m_awaitCode != 0;
        return true;
    }
    if (KeywordIs(keyword, "endchip")) {
        if (m_report.ChipOpen())
            EndChipRecord();
        return true;
    }
    if (KeywordIs(keyword, "report")) {
        if (word2.isEmpty()) {
            LogString(Text(ProductionText::ReportUsage));
        } else if (KeywordIs(word2, "off")) {
            m_report.Close();
        } else {
            QByteArray path;
            for (qsizetype i = 1; i < words.size(); ++i)
                path += (i > 1 ? " " : "") + words.at(i);
            QString error;
            if (m_report.Open(QDir(Frame()->WorkDir()).absoluteFilePath(QString::fromUtf8(path)), error)) {
                LogString(Text(ProductionText::ReportOpened).arg(m_report.Path()));
            } else {
                LogString(Text(ProductionText::ReportFailed).arg(error));
                m_production.CountFailure();
            }
        }
        return true;
    }
    if (KeywordIs(keyword, "serial")) {
        if (KeywordIs(word2, "off")) {
            m_serial.reset();
            return true;
        }
        QString error;
        m_serial = CSerialNumber::Parse(words, error);
        if (!m_serial) {
            LogString(error);
            m_production.MarkBadScript();
        }
        return true;
    }
    return false;
}

void CCmdProcessor::StartChipWait(CChipWaiter::EWait what, int timeoutMs)
{
    const bool seated = what == CChipWaiter::EWait::Seated;
    // Whatever follows the removal belongs to the next chip.
    if (!seated && m_report.ChipOpen())
        EndChipRecord();
    m_awaitCode = Adapter::Tag::ChipProbe;
    if (!m_programmer) {
        FailChipWait(Text(seated ? ProductionText::NameChipCheck : ProductionText::NameRemoval),
                     Text(ProductionText::NoTarget));
        return;
    }
    LogString(Text(seated ? ProductionText::WaitingForChip : ProductionText::WaitingForRemoval));
    m_chipWaiter.Start(what, timeoutMs, m_programmer,
                       [this, what](bool ok, const QByteArray &id, const QString &reason) {
                           OnChipWaitEnded(what, ok, id, reason);
                       });
}

void CCmdProcessor::OnChipProbe(const QByteArray &id, bool lost)
{
    m_chipWaiter.OnProbe(id, lost);
}

void CCmdProcessor::OnChipWaitEnded(CChipWaiter::EWait what, bool ok, const QByteArray &id, const QString &reason)
{
    const bool seated = what == CChipWaiter::EWait::Seated;
    const QString name = Text(seated ? ProductionText::NameChipCheck : ProductionText::NameRemoval);
    if (!ok) {
        FailChipWait(name, reason);
        return;
    }
    if (seated) {
        LogString(Text(ProductionText::ChipSeated).arg(IdText(id)));
        if (m_report.ChipOpen())
            EndChipRecord();
        BeginChipRecord(IdText(id));
        CDeviceItem *device = m_programmer ? m_programmer->device() : nullptr;
        const auto bytes = std::span(reinterpret_cast<const uint8_t *>(id.constData()), size_t(id.size()));
        if (!device || !device->Matches(bytes)) {
            FailChipWait(name, Text(ProductionText::WrongChip)
                                   .arg(IdText(id), device ? device->m_name : Text(ProductionText::NoTarget)));
            return;
        }
    } else {
        LogString(Text(ProductionText::ChipRemoved));
    }
    COperationOutcome outcome;
    outcome.result = COperationOutcome::EResult::Done;
    outcome.code = Adapter::Tag::ChipProbe;
    outcome.operation = name;
    NotifyOutcome(outcome);
}

void CCmdProcessor::FailChipWait(const QString &operation, const QString &reason)
{
    LogString(reason);
    Frame()->ShowStatusMessage(operation + Text(OutcomeText::FailedSeparator) + reason);
    COperationOutcome outcome;
    outcome.result = COperationOutcome::EResult::Failed;
    outcome.code = Adapter::Tag::ChipProbe;
    outcome.operation = operation;
    outcome.reason = reason;
    NotifyOutcome(outcome);
}

bool CCmdProcessor::PrepareChipOperation(const QByteArray &keyword)
{
    if (!IsChipOperation(keyword))
        return true;
    if (!m_report.ChipOpen() && (m_serial || !m_report.Path().isEmpty()))
        BeginChipRecord(QString());
    if (!WritesChip(keyword) || !m_programmer)
        return true;
    if (m_serial && !StampSerial())
        return false;
    if (m_report.ChipOpen()) {
        if (CMemoryNode *image = m_programmer->buffer(0)) {
            const QString hash = ImageHash(*image);
            m_report.NoteImage(hash);
            LogString(Text(ProductionText::ImageHash).arg(hash));
        }
    }
    return true;
}

bool CCmdProcessor::StampSerial()
{
    CMemoryNode *image = m_programmer->buffer(0);
    const uint64_t value = m_serial->Next();
    const std::optional<QByteArray> bytes = m_serial->Bytes(value);
    const QString outside = Text(ProductionText::SerialOutside).arg(QString::number(m_serial->Offset(), 16).toUpper());
    QString failure;
    if (!bytes) {
        failure = Text(ProductionText::SerialTooWide).arg(m_serial->Text(value)).arg(m_serial->Width());
    } else if (!image) {
        failure = outside;
    } else if (!image->TryLock()) {
        // A program still streams the buffer.
        failure = Text(ProductionText::BufferBusy);
    } else {
        // Laid over the image, also over a NAND image kept in the operator's
        // file, which itself stays as it is.
        const bool stamped = image->Stamp(m_serial->Offset(), reinterpret_cast<const uint8_t *>(bytes->constData()),
                                          uint32_t(bytes->size()));
        image->Unlock();
        if (!stamped)
            failure = outside;
    }
    if (!failure.isEmpty()) {
        LogString(failure);
        if (m_report.ChipOpen()) {
            COperationOutcome outcome;
            outcome.result = COperationOutcome::EResult::Failed;
            outcome.operation = QStringLiteral("Serial");
            outcome.reason = failure;
            m_report.NoteOutcome(outcome);
        }
        return false;
    }
    m_stampedSerial = value;
    m_report.NoteSerial(m_serial->Text(value));
    LogString(Text(ProductionText::SerialWritten)
                  .arg(m_serial->Text(value), QString::number(m_serial->Offset(), 16).toUpper()));
    return true;
}

void CCmdProcessor::BeginChipRecord(const QString &chipId)
{
    const CDeviceItem *device = m_programmer ? m_programmer->device() : nullptr;
    m_report.BeginChip(device ? device->m_name : QString(), chipId);
    m_stampedSerial.reset();
}

void CCmdProcessor::EndChipRecord()
{
    QString line;
    bool written = true;
    const bool passed = m_report.EndChip(line, written);
    LogString(Text(ProductionText::ReportLine).arg(m_report.Total()).arg(line));
    if (!written) {
        // A chip without its line in the report is not a chip that passed.
        LogString(Text(ProductionText::ReportFailed).arg(m_report.Path()));
        m_production.CountFailure();
    } else if (passed && m_serial && m_stampedSerial && *m_stampedSerial == m_serial->Next()) {
        m_serial->Advance();
    }
    m_stampedSerial.reset();
    Frame()->ShowProductionCounters(m_report.Passed(), m_report.Failed());
}

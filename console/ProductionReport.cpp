#include "ProductionReport.h"

#include <QFile>
#include <QFileInfo>

namespace {

const char *const kPass = "PASS";
const char *const kFail = "FAIL";

} // namespace

QString CProductionReport::Header()
{
    return QStringLiteral("time,device,chip_id,operations,sha256,duration_s,serial,result,reason");
}

QString CProductionReport::CsvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool CProductionReport::Open(const QString &path, QString &error)
{
    QFile file(path);
    const bool fresh = !QFileInfo(path).exists() || QFileInfo(path).size() == 0;
    if (QFileInfo(path).exists() && !QFileInfo(path).isFile()) {
        error = path;
        return false;
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    if (fresh && file.write((Header() + QLatin1Char('\n')).toUtf8()) < 0) {
        error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    m_path = path;
    return true;
}

void CProductionReport::BeginChip(const QString &device, const QString &chipId)
{
    m_open = true;
    m_started = QDateTime::currentDateTimeUtc();
    m_clock.start();
    m_device = device;
    m_chipId = chipId;
    m_operations.clear();
    m_firstFailure.clear();
    m_anyFailed = false;
    m_sha256.clear();
    m_serial.clear();
}

void CProductionReport::NoteOutcome(const COperationOutcome &outcome)
{
    if (!m_open || outcome.result == COperationOutcome::EResult::None)
        return;
    const QString name = outcome.operation.isEmpty() ? QString(QLatin1Char(char(outcome.code))) : outcome.operation;
    m_operations << name + (outcome.done() ? QStringLiteral(":done") : QStringLiteral(":failed"));
    if (outcome.failed()) {
        if (!m_anyFailed)
            m_firstFailure = outcome.reason;
        m_anyFailed = true;
    }
}

bool CProductionReport::EndChip(QString &line, bool &written)
{
    const bool passed = m_open && !m_anyFailed && !m_operations.isEmpty();
    const double seconds = m_clock.isValid() ? double(m_clock.elapsed()) / 1000.0 : 0.0;
    const QStringList fields{
        m_started.toString(Qt::ISODateWithMs),
        m_device,
        m_chipId,
        m_operations.join(QLatin1Char(';')),
        m_sha256,
        QString::number(seconds, 'f', 3),
        m_serial,
        QLatin1String(passed ? kPass : kFail),
        passed ? QString() : (m_firstFailure.isEmpty() && m_operations.isEmpty() ? QStringLiteral("no operation")
                                                                                  : m_firstFailure),
    };
    QStringList csv;
    for (const QString &field : fields)
        csv << CsvField(field);
    line = csv.join(QLatin1Char(','));
    written = m_path.isEmpty() || Append(line);
    m_open = false;
    if (passed)
        ++m_passed;
    else
        ++m_failed;
    return passed;
}

bool CProductionReport::Append(const QString &line) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    return file.write(bytes) == bytes.size() && file.flush();
}

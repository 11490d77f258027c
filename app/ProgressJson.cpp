#include "ProgressJson.h"

#include "CmdProcessor.h"
#include "MainFrame.h"
#include "OutcomeTexts.h"
#include "Programmer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProgressBar>

namespace {

constexpr qint64 kLineEveryMs = 200;
constexpr uint8_t kEraseCode = 'G';
constexpr uint8_t kScanCode = 'N';

} // namespace

CProgressJson::CProgressJson(CMainFrame &window, FILE *out, QObject *parent)
    : QObject(parent), m_window(window), m_out(out)
{
    connect(window.ProgressBar(), &QProgressBar::valueChanged, this, &CProgressJson::OnValue);
}

QString CProgressJson::Line(int value) const
{
    const QProgressBar *bar = m_window.ProgressBar();
    const uint8_t code = g_cmdProcessor.awaitCode();
    // Erases and bad-block scans count blocks; everything else transfer units.
    const bool blocks = code == kEraseCode || code == kScanCode;
    const qint64 unitBytes = blocks || !m_window.Programmer() ? 1 : qMax(1, m_window.Programmer()->packetSize());
    const qint64 done = qint64(qMax(0, value - bar->minimum())) * unitBytes;
    const qint64 total = qint64(qMax(0, bar->maximum() - bar->minimum())) * unitBytes;
    const double seconds = double(m_window.OperationClock().Elapsed()) / 1000.0;
    const double rate = seconds > 0 ? double(done) / seconds : 0.0;
    QJsonObject line;
    line.insert(QStringLiteral("operation"), code ? OperationName(code) : QString());
    line.insert(QStringLiteral("done"), done);
    line.insert(QStringLiteral("total"), total);
    line.insert(QStringLiteral("unit"), blocks ? QStringLiteral("blocks") : QStringLiteral("bytes"));
    line.insert(QStringLiteral("bytesPerSecond"), blocks ? 0.0 : qRound64(rate));
    line.insert(QStringLiteral("secondsLeft"), rate > 0 ? double(total - done) / rate : -1.0);
    return QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact));
}

void CProgressJson::OnValue(int value)
{
    const QProgressBar *bar = m_window.ProgressBar();
    // The bar drops back to its start when an operation ends; that is no progress.
    if (value <= bar->minimum())
        return;
    const bool atEnd = value >= bar->maximum();
    if (!atEnd && m_sinceLine.isValid() && m_sinceLine.elapsed() < kLineEveryMs)
        return;
    m_sinceLine.start();
    std::fputs((Line(value) + QLatin1Char('\n')).toUtf8().constData(), m_out);
    std::fflush(m_out);
}

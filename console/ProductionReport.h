#pragma once

// The production report: one record per chip handled, from the moment it is
// seated (or its first operation) to its removal or the end of the script.
// Each record becomes one line of a CSV file and of the log; the session's
// PASS and FAIL counts follow in the status bar.

#include "OperationOutcome.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

class CProductionReport
{
public:
    // The columns of the CSV file, in order, as its first line names them.
    static QString Header();
    // One CSV field: quoted when it holds a comma, a quote or a line end.
    static QString CsvField(const QString &text);

    // "report PATH": later records are appended to PATH (made with its
    // header when new). False with the reason when it cannot be written.
    bool Open(const QString &path, QString &error);
    void Close() { m_path.clear(); }
    const QString &Path() const { return m_path; }

    // A chip record starts: the device it is meant to be and its ID.
    void BeginChip(const QString &device, const QString &chipId);
    bool ChipOpen() const { return m_open; }
    bool HasChipId() const { return !m_chipId.isEmpty(); }
    void SetChipId(const QString &chipId) { m_chipId = chipId; }
    // An operation on the chip ended.
    void NoteOutcome(const COperationOutcome &outcome);
    // The image about to be programmed, and the serial number in it.
    void NoteImage(const QString &sha256) { m_sha256 = sha256; }
    void NoteSerial(const QString &serial) { m_serial = serial; }
    // Ends the record: true when the chip passed (at least one operation,
    // none failed). line is the CSV line; false in written when it could not
    // be appended to the file.
    bool EndChip(QString &line, bool &written);

    int Passed() const { return m_passed; }
    int Failed() const { return m_failed; }
    int Total() const { return m_passed + m_failed; }
    void ResetCounters() { m_passed = m_failed = 0; }

private:
    bool Append(const QString &line) const;

    QString m_path;
    bool m_open = false;
    QDateTime m_started;
    QElapsedTimer m_clock;
    QString m_device;
    QString m_chipId;
    QStringList m_operations;
    QString m_firstFailure;
    bool m_anyFailed = false;
    QString m_sha256;
    QString m_serial;
    int m_passed = 0;
    int m_failed = 0;
};

#pragma once

// Catches what the code under test writes to the process's stderr (file
// descriptor 2), for checking the messages a library prints there.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

class CStderrCapture
{
public:
    CStderrCapture()
    {
        std::fflush(stderr);
        if (!m_file.open())
            return;
        m_saved = ::dup(2);
        ::dup2(m_file.handle(), 2);
    }
    ~CStderrCapture() { Stop(); }

    // Restores stderr and returns the lines written meanwhile.
    QStringList Stop()
    {
        if (m_saved >= 0) {
            std::fflush(stderr);
            ::dup2(m_saved, 2);
            ::close(m_saved);
            m_saved = -1;
            m_file.seek(0);
            m_text = QString::fromLocal8Bit(m_file.readAll());
        }
        return m_text.split('\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
    QString m_text;
};

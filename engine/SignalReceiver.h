#pragma once

// The object a GUI-thread receiver of the worker's signals connects them to:
// it takes the hand-over lock before any event of the worker is read, so the
// race checker sees each hand-over (see CSignalSendGuard). Nothing in a
// normal build.

#include "ProgMessage.h"

#include <QObject>

class CSignalReceiver : public QObject
{
public:
    using QObject::QObject;

protected:
    bool event(QEvent *event) override
    {
        MarkSignalReceived();
        return QObject::event(event);
    }
};

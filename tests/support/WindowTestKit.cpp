#include "WindowTestKit.h"

#include "SimAdapterHost.h"

#include <QDir>

QString UseSimConfig(const QString &iniText)
{
    return WriteSimConfig(QDir::tempPath(), iniText);
}

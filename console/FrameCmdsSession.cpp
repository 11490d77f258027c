#include "FrameCmdsSession.h"

#include "AppDirectory.h"
#include "CmdProcessor.h"
#include "DeviceDatabase.h"
#include "FrameServices.h"
#include "Programmer.h"
#include "UiText.h"

#include <QDir>
#include <QFile>

namespace {

constexpr int TEXT_SCRIPT_FILE_ERROR = 99;
constexpr int TEXT_NO_SCRIPT_FILES = 100;
constexpr int TEXT_TARGET_NOT_EXIST = 132;

constexpr int SPEED_MIN = 1;
constexpr int SPEED_MAX = 10;

const char *const LOG_FILE_NAME = "norvaplex.log";
const char *const SCRIPT_EXTENSION = ".usp";
// Script names, extension and terminator included, have always been limited
// to this many bytes; longer names are refused rather than cut.
constexpr int SCRIPT_NAME_LIMIT = 272;

void ListScriptFiles()
{
    const QDir folder(AppDirectory(DIR_SCRIPT));
    // Case-sensitive, because the runner opens name + ".usp" exactly.
    const QStringList names =
        folder.entryList({QStringLiteral("*.usp")}, QDir::Files | QDir::CaseSensitive, QDir::Name | QDir::IgnoreCase);
    if (names.isEmpty()) {
        LogString(Text(TEXT_NO_SCRIPT_FILES));
        return;
    }
    for (const QString &name : names)
        LogString(name);
}

void ShowScriptFile(const QString &word)
{
    QByteArray name = word.toLatin1();
    if (!name.contains(SCRIPT_EXTENSION))
        name += SCRIPT_EXTENSION;
    if (name.size() + 1 > SCRIPT_NAME_LIMIT) {
        LogString(Text(TEXT_SCRIPT_FILE_ERROR));
        return;
    }
    QFile file(AppDirectory(DIR_SCRIPT) + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly)) {
        LogString(Text(TEXT_SCRIPT_FILE_ERROR));
        return;
    }
    LogString(QString::fromLatin1(file.readAll()));
}

} // namespace

CFrameCmdEnd::CFrameCmdEnd() : CCmd(QStringLiteral("EXIT"), 82) {}

int CFrameCmdEnd::execute(const QStringList &, CProgrammer *)
{
    Frame()->ExitApplication(0);
    return CMD_DONE;
}

CFrameCmdHelp::CFrameCmdHelp() : CCmd(QStringLiteral("HELP"), 83) {}

int CFrameCmdHelp::execute(const QStringList &arguments, CProgrammer *)
{
    if (arguments.isEmpty()) {
        g_cmdProcessor.ListCommands();
    } else if (const CCmd *command = g_cmdProcessor.FindCommand(arguments[0])) {
        command->logUsage();
    }
    return CMD_DONE;
}

CFrameCmdInitUsb::CFrameCmdInitUsb() : CCmd(QStringLiteral("INITUSB"), 81) {}

int CFrameCmdInitUsb::execute(const QStringList &, CProgrammer *)
{
    // The window's reconnect sequence: adapter-gone display, reconnect of the
    // programmer, and the wait box that stays up until the adapter is ready.
    Frame()->ReinitUsb();
    return CMD_DONE;
}

CFrameCmdConfig::CFrameCmdConfig() : CCmd(QStringLiteral("DEVICE"), 138) {}

int CFrameCmdConfig::execute(const QStringList &arguments, CProgrammer *)
{
    if (arguments.isEmpty()) {
        Frame()->RunDeviceSelection();
        return CMD_DONE;
    }
    if (const CDeviceItem *device = FindByName(arguments[0]))
        Frame()->RequestTargetChange(device->m_name);
    else
        LogString(Text(TEXT_TARGET_NOT_EXIST));
    return CMD_DONE;
}

CFrameCmdAbout::CFrameCmdAbout() : CCmd(QStringLiteral("ABOUT"), 90) {}

int CFrameCmdAbout::execute(const QStringList &, CProgrammer *)
{
    Frame()->RunAboutBox();
    return CMD_DONE;
}

CFrameCmdCls::CFrameCmdCls() : CCmd(QStringLiteral("CLS"), 91) {}

int CFrameCmdCls::execute(const QStringList &, CProgrammer *)
{
    Frame()->ClearLog();
    return CMD_DONE;
}

CFrameCmdSpeed::CFrameCmdSpeed() : CCmd(QStringLiteral("SPEED"), 95) {}

int CFrameCmdSpeed::execute(const QStringList &arguments, CProgrammer *programmer)
{
    if (arguments.isEmpty()) {
        logUsage();
        return CMD_DONE;
    }
    const int speed = ParseSpeedArgument(arguments[0]);
    if (speed < SPEED_MIN || speed > SPEED_MAX)
        return CMD_DONE;
    programmer->setSpeed(speed);
    Frame()->ApplySpeed(speed);
    return CMD_DONE;
}

CFrameCmdDevices::CFrameCmdDevices() : CCmd(QStringLiteral("DEVICES"), 135) {}

int CFrameCmdDevices::execute(const QStringList &, CProgrammer *)
{
    PrintAll([](const QString &line) { LogString(line); }, false);
    return CMD_DONE;
}

CFrameCmdLog::CFrameCmdLog() : CCmd(QStringLiteral("LOG"), 96) {}

int CFrameCmdLog::execute(const QStringList &arguments, CProgrammer *)
{
    const bool enable = arguments.isEmpty() || uint32_t(ParseHexArgument(arguments[0])) != 0;
    Frame()->SetLogFileEnabled(enable, QString::fromLatin1(LOG_FILE_NAME));
    return CMD_DONE;
}

CFrameCmdScripts::CFrameCmdScripts() : CCmd(QStringLiteral("SCRIPT"), 98) {}

int CFrameCmdScripts::execute(const QStringList &arguments, CProgrammer *)
{
    // Shows a script; running one is done by typing its name.
    if (arguments.isEmpty())
        ListScriptFiles();
    else
        ShowScriptFile(arguments[0]);
    return CMD_DONE;
}

CFrameCmdColor::CFrameCmdColor() : CCmd(QStringLiteral("COLOR"), 97) {}

int CFrameCmdColor::execute(const QStringList &arguments, CProgrammer *)
{
    if (arguments.isEmpty()) {
        logUsage();
        return CMD_DONE;
    }
    // Not validated: the style sheet ignores a colour it cannot read.
    Frame()->SetLogBackground(QString::fromLatin1(arguments[0].toLatin1()));
    return CMD_DONE;
}

CFrameCmdDisplay::CFrameCmdDisplay() : CCmd(QStringLiteral("D"), 147) {}

int CFrameCmdDisplay::execute(const QStringList &arguments, CProgrammer *)
{
    if (!arguments.isEmpty())
        Frame()->ShowAddressRange(ParseHexArgument(arguments[0]), 1, nullptr);
    return CMD_DONE;
}

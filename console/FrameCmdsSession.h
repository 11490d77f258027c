#pragma once

// Console commands that act on the window, the log, the device choice and
// the script folder.

#include "Cmd.h"

// exit: ends the application
class CFrameCmdEnd final : public CCmd
{
public:
    CFrameCmdEnd();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// help [command]: the command list, or one command's usage
class CFrameCmdHelp final : public CCmd
{
public:
    CFrameCmdHelp();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// initusb: re-initialise the adapter connection
class CFrameCmdInitUsb final : public CCmd
{
public:
    CFrameCmdInitUsb();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// device [name]: the device selection, or a switch to the named target
class CFrameCmdConfig final : public CCmd
{
public:
    CFrameCmdConfig();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// about: the about box
class CFrameCmdAbout final : public CCmd
{
public:
    CFrameCmdAbout();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// cls: clears the message log panel
class CFrameCmdCls final : public CCmd
{
public:
    CFrameCmdCls();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// speed n: adapter speed 1 to 10 (decimal)
class CFrameCmdSpeed final : public CCmd
{
public:
    CFrameCmdSpeed();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// devices: every device of the database
class CFrameCmdDevices final : public CCmd
{
public:
    CFrameCmdDevices();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// log [flag]: switch the log file on (no word or not 0) or off
class CFrameCmdLog final : public CCmd
{
public:
    CFrameCmdLog();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// script [name]: list the script files, or show one
class CFrameCmdScripts final : public CCmd
{
public:
    CFrameCmdScripts();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// color rrggbb: background of the message log panel
class CFrameCmdColor final : public CCmd
{
public:
    CFrameCmdColor();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// d address: show that address in the hex views
class CFrameCmdDisplay final : public CCmd
{
public:
    CFrameCmdDisplay();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

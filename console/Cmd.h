#pragma once

// A console command: one object per registered command word, owned by the
// command processor. Commands are thin: they translate the words typed after
// the command word into calls of the programmer or of the window, and report
// with one of the result codes below.

#include <QString>
#include <QStringList>

#include <cstdint>

class CProgrammer;

// Result codes shared by the commands, the window's operation starts and the
// script runner. Any other value is the completion code (the tag letter) of an
// operation started in the programmer thread; a script waits for it.
enum CmdResult : int {
    CMD_BAD = 0,      // no such command, or the command failed
    CMD_FAILED = 128, // refused, e.g. the adapter is busy
    CMD_DONE = 129,   // done, nothing left running
    CMD_ERROR = 130,  // error, e.g. no file chosen
};

class CCmd
{
public:
    // helpIndex is the UI text of the usage; -1 means helpText is used instead.
    CCmd(const QString &name, int helpIndex, const QString &helpText = QString());
    virtual ~CCmd();
    CCmd(const CCmd &) = delete;
    CCmd &operator=(const CCmd &) = delete;

    // arguments are the words after the command word (possibly none);
    // programmer is the current target's programmer.
    virtual int execute(const QStringList &arguments, CProgrammer *programmer) = 0;

    // Looked up when printed, so it follows the loaded language.
    QString usageText() const;
    // Logs usageText() as one message.
    void logUsage() const;

    int m_helpIndex;
    QString m_helpText;
    QString m_name;
};

// A typed address, length, block or flag: hexadecimal with an optional "0x";
// a word that is not a hexadecimal number reads as 0.
uint64_t ParseHexArgument(const QString &word);
// The speed: decimal, 0 to 65535; anything else reads as 0.
uint16_t ParseSpeedArgument(const QString &word);

#pragma once

// Console commands that start chip and buffer operations of the programmer.

#include "Cmd.h"

// detect: the programmer's detection when the adapter is ready
class CFrameCmdDetect final : public CCmd
{
public:
    CFrameCmdDetect();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// read [address length]: chip to PC memory
class CFrameCmdGetMemory final : public CCmd
{
public:
    CFrameCmdGetMemory();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// program [address length]: PC memory to chip
class CFrameCmdProgram final : public CCmd
{
public:
    CFrameCmdProgram();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// save first second [file]: a block range of the buffer; save alone: the current tab
class CFrameCmdSave final : public CCmd
{
public:
    CFrameCmdSave();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// load [file]: a binary file into the buffer
class CFrameCmdLdram final : public CCmd
{
public:
    CFrameCmdLdram();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// verify [address length]: compare chip and PC memory
class CFrameCmdCmpMemory final : public CCmd
{
public:
    CFrameCmdCmpMemory();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// blkchk [address length]: blank check of the chip
class CFrameCmdBlankCheck final : public CCmd
{
public:
    CFrameCmdBlankCheck();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// write: accepted, performs nothing
class CFrameCmdSetMemory final : public CCmd
{
public:
    CFrameCmdSetMemory();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// newchip: forget the chip in the socket before the next one
class CFrameCmdNandNewChip final : public CCmd
{
public:
    CFrameCmdNandNewChip();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// mfc [refuse]: multiple read file correction
class CFrameCmdNandMFC final : public CCmd
{
public:
    CFrameCmdNandMFC();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// smtcpy: copy to the target around its bad blocks
class CFrameCmdNandSmartcopy final : public CCmd
{
public:
    CFrameCmdNandSmartcopy();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// erase [address length]: erase the chip
class CFrameCmdErase final : public CCmd
{
public:
    CFrameCmdErase();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

// randomfile: fill the buffer with pseudo-random data
class CFrameCmdRandomFile final : public CCmd
{
public:
    CFrameCmdRandomFile();
    int execute(const QStringList &arguments, CProgrammer *programmer) override;
};

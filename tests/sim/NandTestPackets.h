#pragma once

// Packets of the NAND engine, built the way it builds them, for the NAND
// simulator tests: address cycles from the geometry, little-endian fields,
// the page count with its carry.

#include "SimAdapterHost.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>

// Included by one test program only.
namespace {

int BytesFor(quint64 value)
{
    int count = 0;
    for (; value; value >>= 8)
        ++count;
    return count;
}

struct CGeometry
{
    int pageSize = 2112;
    int pagesPerBlock = 4;
    int blocks = 32;  // per chip enable
    int ces = 1;

    quint64 PagesPerCe() const { return quint64(pagesPerBlock) * blocks; }
    int ColumnBytes() const { return pageSize < 1024 ? 1 : BytesFor(pageSize); }
    int RowBytes() const { return BytesFor(PagesPerCe()); }
    quint64 PageOffset(int ce, quint64 row) const { return (ce * PagesPerCe() + row) * quint64(pageSize); }
};

void PutLE(QByteArray &packet, int at, quint64 value, int count)
{
    for (int i = 0; i < count; ++i)
        packet[at + i] = char(value >> (8 * i));
}

// 0x27 / 0x1C: address cycles, column, row, page size, page count with carry.
QByteArray ArrayPacket(int code, const CGeometry &g, quint64 row, int pages, int pageBytes = -1, int column = 0)
{
    QByteArray packet(20, '\0');
    packet[0] = char(code);
    packet[1] = char(g.ColumnBytes() + g.RowBytes());
    PutLE(packet, 2, quint64(column), g.ColumnBytes());
    PutLE(packet, 2 + g.ColumnBytes(), row, g.RowBytes());
    PutLE(packet, 8, quint64(pageBytes < 0 ? g.pageSize : pageBytes), 2);
    packet[10] = char(pages & 0xFF);
    packet[11] = char((pages >> 8) + ((pages & 0xFF) ? 1 : 0));
    return packet;
}

QByteArray ErasePacket(const CGeometry &g, quint64 row)
{
    QByteArray packet(20, '\0');
    packet[0] = 0x1B;
    packet[1] = char(g.RowBytes());
    PutLE(packet, 2, row, g.RowBytes());
    return packet;
}

QByteArray MarkerPacket(const CGeometry &g, quint64 row, quint32 length)
{
    QByteArray packet(20, '\0');
    packet[0] = 0x37;
    packet[1] = char(g.ColumnBytes() + g.RowBytes());
    PutLE(packet, 2 + g.ColumnBytes(), row, g.RowBytes());
    PutLE(packet, 8, length, 4);
    return packet;
}

QByteArray SelectPacket(int ce) { return CSimAdapterHost::Packet({0x36, ce}, 2); }
QByteArray ProgramDonePacket() { return CSimAdapterHost::Packet({0x32}, 1); }
const QByteArray Ok("\x00\x00", 2);
const QByteArray Failed("\x01\x00", 2);

QByteArray RandomBytes(int count, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(count, '\0');
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

QByteArray FileBytes(const QString &path, quint64 offset, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(qint64(offset)))
        return {};
    return file.read(count);
}

int DifferingBits(const QByteArray &a, const QByteArray &b)
{
    int bits = 0;
    for (int i = 0; i < qMin(a.size(), b.size()); ++i)
        bits += qPopulationCount(quint8(a[i] ^ b[i]));
    return bits;
}

} // namespace

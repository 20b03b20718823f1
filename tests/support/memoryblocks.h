#pragma once
// Memory data blocks and backup files built by hand, for the backup tests.

#include "protocol/encoding.h"

#include <QByteArray>

// F0 7E 10 07 02 1E, the 28-bit position, content, F7.
inline QByteArray memoryBlock(int position, const QByteArray& content)
{
    QByteArray block = QByteArray::fromHex("F07E1007021E");
    for (const unsigned char b : Encoding::split28(position))
        block.append(static_cast<char>(b));
    return block + content + QByteArray::fromHex("F7");
}

inline QByteArray number28(int value)
{
    QByteArray bytes;
    for (const unsigned char b : Encoding::split28(value))
        bytes.append(static_cast<char>(b));
    return bytes;
}

// The first block: two numbers, the total, one number, the version text and
// some content after it.
inline QByteArray firstBlock(int total, const QByteArray& version, const QByteArray& rest = "abc")
{
    return memoryBlock(0, number28(520) + number28(69) + number28(total) + number28(1) + number28(version.size())
                              + version + rest);
}

// A restorable file of three blocks whose positions count their bytes, the
// first longer: 65, 60 and 60 bytes at 0, 65 and 125 of 185.
inline QByteArray threeBlockFile(const QByteArray& version = "1.0.3")
{
    return firstBlock(185, version, QByteArray(45 - version.size(), 'r')) + memoryBlock(65, QByteArray(60, 'x'))
           + memoryBlock(125, QByteArray(60, 'y'));
}

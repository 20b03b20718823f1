#pragma once
// The unit's memory dump: the bytes it streams as 0x1E blocks on a backup and
// takes back on a restore. Every byte is 7-bit.
//
//   28-bit memory count | 28-bit record size | 28-bit total | 28-bit format
//   | 28-bit length L | L bytes data version text | the memory records
//
// The total counts every byte of the dump, header included, and a block's
// position is the offset of its content within the dump, in the unit of the
// block layout (simulator/blocklayout.h).

#include "simulator/blocklayout.h"
#include "simulator/devicestate.h"

#include <QByteArray>
#include <QList>

#include <string>
#include <vector>

namespace Sim {

constexpr int kDumpHeaderSize = 20;
constexpr int kDumpFormat = 1;
// Content bytes per 0x1E block: 6 header bytes, 4 position bytes, this, F7.
constexpr int kBlockContentSize = 128;

// Padded with filler after the records up to paddedSize bytes, when that is
// larger; the unit keeps such a region (a larger model's spare memory).
QByteArray buildDump(const std::vector<Memory>& memories, const std::string& dataVersion, int paddedSize = 0);

// The memories of a whole dump, or an empty vector with the reason in problem.
// Its total is in the layout's unit.
std::vector<Memory> parseDump(const QByteArray& dump, std::string& problem, const BlockLayout& layout = {});

// The total announced by the first block's content, or -1 if it is too short.
int dumpTotal(const QByteArray& firstContent);

// The dump cut into 0x1E frames, in order, its total given in the layout's unit.
QList<QByteArray> dumpBlocks(const QByteArray& dump, const BlockLayout& layout = {});

}  // namespace Sim

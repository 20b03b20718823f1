#pragma once
// How the unit cuts its dump into 0x1E blocks and what their positions count.
// The editor is told none of it: each is a layout a device may choose.
//
//   equal   blocks of 128 content bytes; positions count dump bytes
//   bytes   blocks of varying lengths; positions count dump bytes
//   packed  blocks of 128; positions count the 8-bit bytes that the 7 bits of
//           each content byte add up to (8 content bytes make 7)
//
// In each, the first block (the one with the dump header) may be given a
// length of its own.

#include <QString>

#include <optional>

namespace Sim {

class BlockLayout
{
public:
    enum class Kind { Equal, Bytes, Packed };

    // The longest content of a block of 200 bytes, and the shortest first
    // block that holds the dump header with the longest version text.
    static constexpr int kLongestContent = 189;
    static constexpr int kShortestFirst = 39;

    BlockLayout() = default;
    BlockLayout(Kind kind, int firstLength) : kind_(kind), firstLength_(firstLength) {}

    // "equal", "bytes" or "packed".
    static std::optional<Kind> kindNamed(const QString& name);

    // Content bytes of the block with that index (from 0).
    int lengthOf(int index) const;
    // The position of the dump byte at that offset.
    int positionOf(int offset) const;
    // A dump of that many bytes in positions: what its header's total says.
    int totalOf(int size) const;

private:
    Kind kind_ = Kind::Equal;
    int firstLength_ = 0;  // 0: as the others
};

}  // namespace Sim

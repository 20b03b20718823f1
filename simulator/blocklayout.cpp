#include "simulator/blocklayout.h"

#include "simulator/memoryimage.h"

#include <array>

namespace Sim {

namespace {

// The lengths the varying layout repeats: short, long, odd and even.
constexpr std::array<int, 6> kVaryingLengths{128, 97, 64, 121, 80, 189};
constexpr int kBitsPerContentByte = 7;
constexpr int kBitsPerImageByte = 8;

}  // namespace

std::optional<BlockLayout::Kind> BlockLayout::kindNamed(const QString& name)
{
    if (name == QLatin1String("equal"))
        return Kind::Equal;
    if (name == QLatin1String("bytes"))
        return Kind::Bytes;
    if (name == QLatin1String("packed"))
        return Kind::Packed;
    return std::nullopt;
}

int BlockLayout::lengthOf(int index) const
{
    if (index == 0 && firstLength_ > 0)
        return firstLength_;
    if (kind_ == Kind::Bytes)
        return kVaryingLengths[static_cast<std::size_t>(index) % kVaryingLengths.size()];
    return kBlockContentSize;
}

int BlockLayout::positionOf(int offset) const
{
    if (kind_ != Kind::Packed)
        return offset;
    return static_cast<int>(qint64{offset} * kBitsPerContentByte / kBitsPerImageByte);
}

int BlockLayout::totalOf(int size) const
{
    if (kind_ != Kind::Packed)
        return size;
    return static_cast<int>((qint64{size} * kBitsPerContentByte + kBitsPerImageByte - 1) / kBitsPerImageByte);
}

}  // namespace Sim

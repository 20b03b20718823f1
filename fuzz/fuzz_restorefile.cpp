// Arbitrary files through the restore's whole-file check, then, for a file it
// accepts, through the header reader and the block reader as the restore
// walks them.

#include "backup/memoryfile.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > static_cast<std::size_t>(MemoryFile::kMaxFileSize))
        return 0;
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<int>(size));
    if (!MemoryFile::checkRestoreFile(file).isEmpty())
        return 0;
    const MemoryFile::FileHeader header = MemoryFile::readFileHeader(file);
    const qint64 total = header.total();
    MemoryFile::SendBuffer sendBuffer;
    for (int position = 0; position < file.size();) {
        const int next = MemoryFile::nextBlock(file, position, sendBuffer);
        // An accepted file is whole blocks: each read moves on and ends on an F7.
        if (next <= position || next > file.size() || sendBuffer[static_cast<std::size_t>(next - position - 1)] != 0xF7)
            std::abort();
        const int progress = MemoryFile::progressFigure(MemoryFile::blockPosition(sendBuffer.data()), static_cast<int>(total));
        if (progress < 0 || progress > 100)
            std::abort();
        position = next;
    }
    return 0;
}

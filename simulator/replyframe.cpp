#include "simulator/replyframe.h"

#include "protocol/encoding.h"

namespace Sim {

QByteArray replyFrame(Protocol::Command command, const QByteArray& arguments)
{
    QByteArray frame;
    frame.reserve(static_cast<int>(Protocol::kArgumentOffset) + arguments.size() + 1);
    for (const unsigned char b : Protocol::kHeader)
        frame.append(static_cast<char>(b));
    frame.append(static_cast<char>(command));
    for (const char b : arguments)
        frame.append(static_cast<char>(b & Protocol::kDataMask));
    frame.append(static_cast<char>(Protocol::kSysExEnd));
    return frame;
}

QByteArray replyFrame(Protocol::Command command, std::initializer_list<int> arguments)
{
    QByteArray bytes;
    for (const int argument : arguments)
        bytes.append(static_cast<char>(argument));
    return replyFrame(command, bytes);
}

void append14(QByteArray& arguments, int value)
{
    for (const unsigned char b : Encoding::split14(value))
        arguments.append(static_cast<char>(b));
}

void append28(QByteArray& arguments, int value)
{
    for (const unsigned char b : Encoding::split28(value))
        arguments.append(static_cast<char>(b));
}

QByteArray countedTextFrame(Protocol::Command command, const std::string& text)
{
    QByteArray bytes;
    bytes.append(static_cast<char>(text.size()));
    bytes.append(QByteArray::fromStdString(text));
    return replyFrame(command, bytes);
}

}  // namespace Sim

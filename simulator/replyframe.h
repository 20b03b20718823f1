#pragma once
// Frames the unit sends: the protocol's header, a command code, 7-bit
// arguments and F7. Unlike the editor's frames they may be long (version
// texts, dump blocks), so they are built in a QByteArray.

#include "protocol/protocol.h"

#include <QByteArray>

#include <initializer_list>
#include <string>

namespace Sim {

QByteArray replyFrame(Protocol::Command command, const QByteArray& arguments);
QByteArray replyFrame(Protocol::Command command, std::initializer_list<int> arguments);
// Multi-byte values appended to arguments, high 7 bits first.
void append14(QByteArray& arguments, int value);
void append28(QByteArray& arguments, int value);

// A count byte and the text.
QByteArray countedTextFrame(Protocol::Command command, const std::string& text);

}  // namespace Sim

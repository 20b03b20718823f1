#pragma once
// Sends the console trace to a temporary file for the lifetime of the object.

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <cstdio>

class TraceCapture
{
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    QString text() const;
    QStringList lines() const;
    // The bytes of every "--> S " line, in order.
    QList<QByteArray> sentFrames() const;

private:
    std::FILE* file_;
};

// "F0 7E 10" or "f07e10" to bytes.
QByteArray hexBytes(const char* hex);

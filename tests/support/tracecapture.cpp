#include "support/tracecapture.h"

#include "midi/trace.h"

TraceCapture::TraceCapture() : file_(std::tmpfile())
{
    Trace::setStream(file_);
}

TraceCapture::~TraceCapture()
{
    Trace::setStream(nullptr);
    std::fclose(file_);
}

QString TraceCapture::text() const
{
    std::fflush(file_);
    const long end = std::ftell(file_);
    QByteArray content(static_cast<int>(end), '\0');
    std::rewind(file_);
    const std::size_t read = std::fread(content.data(), 1, static_cast<std::size_t>(end), file_);
    content.truncate(static_cast<int>(read));
    std::fseek(file_, 0, SEEK_END);
    return QString::fromLatin1(content);
}

QStringList TraceCapture::lines() const
{
    return text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QList<QByteArray> TraceCapture::sentFrames() const
{
    static const QString prefix = QStringLiteral("--> S ");
    QList<QByteArray> frames;
    for (const QString& line : lines()) {
        if (line.startsWith(prefix))
            frames.append(hexBytes(line.mid(prefix.size()).toLatin1().constData()));
    }
    return frames;
}

QByteArray hexBytes(const char* hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

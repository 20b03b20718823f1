#include "backup/version.h"

#include <cctype>
#include <climits>
#include <cstring>

namespace {

constexpr std::size_t kMaxNumberLength = 21;
constexpr char kSeparator = '.';

int readNumber(const char* begin, const char* end)
{
    if (static_cast<std::size_t>(end - begin) > kMaxNumberLength)
        end = begin + kMaxNumberLength;
    const char* p = begin;
    while (p < end && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    long long value = 0;
    for (; p < end && std::isdigit(static_cast<unsigned char>(*p)); ++p) {
        value = value * 10 + (*p - '0');
        if (value > INT_MAX) {
            value = INT_MAX;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

// The segment from begin up to the next dot or the end of the text; returns
// where the following segment starts (end of text when there is none).
const char* segmentEnd(const char* begin)
{
    const char* const dot = std::strchr(begin, kSeparator);
    return dot ? dot : begin + std::strlen(begin);
}

const char* nextSegment(const char* end)
{
    return *end == kSeparator ? end + 1 : end;
}

}  // namespace

VersionNumbers parseVersion(const char* text)
{
    VersionNumbers version;
    if (!text)
        return version;
    const char* const majorEnd = segmentEnd(text);
    version.major = readNumber(text, majorEnd);
    const char* const minorBegin = nextSegment(majorEnd);
    const char* const minorEnd = segmentEnd(minorBegin);
    version.minor = readNumber(minorBegin, minorEnd);
    const char* const thirdBegin = nextSegment(minorEnd);
    version.third = readNumber(thirdBegin, thirdBegin + std::strlen(thirdBegin));
    return version;
}

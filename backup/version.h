#pragma once
// Version texts such as "1.0.3": the device reports a firmware and a data
// version, and every backup file carries the data version of its device.

#include <cstddef>

struct VersionNumbers
{
    int major = 0;
    int minor = 0;
    int third = 0;

    bool operator==(const VersionNumbers& other) const
    {
        return major == other.major && minor == other.minor && third == other.third;
    }
};

// Reads the numbers before the first dot, between the dots and after the
// second dot, each the way atoi would: leading digits, none giving 0. Each
// number is read from at most its first 21 characters; values too large for an
// int stop growing at the largest int.
VersionNumbers parseVersion(const char* text);

#include "midi/portmatching.h"

#include <QRegularExpression>

#include <algorithm>

namespace PortMatching {

int nameSimilarity(const QString& a, const QString& b)
{
    const int total = a.size() + b.size();
    if (total == 0)
        return 0;
    const int common = std::min(a.size(), b.size());
    int equal = 0;
    for (int p = 0; p < common; ++p) {
        if (a.at(p) == b.at(p))
            ++equal;
    }
    return 200 * equal / total;
}

int findLast(const QStringList& names, const QString& name)
{
    return names.lastIndexOf(name);
}

bool isOwnPort(const QString& name)
{
    for (const char* const client : {kInputClientName, kOutputClientName}) {
        const QLatin1String prefix(client);
        if (name.startsWith(prefix) && name.size() > prefix.size()) {
            const QChar next = name.at(prefix.size());
            if (next == QLatin1Char(':') || next == QLatin1Char('-'))
                return true;
        }
    }
    return false;
}

int bestOutputIndex(const QString& inputName, const QStringList& outputNames)
{
    int best = -1;
    int bestIndex = -1;
    for (int i = 0; i < outputNames.size(); ++i) {
        if (isOwnPort(outputNames.at(i)))
            continue;
        const int score = nameSimilarity(inputName, outputNames.at(i));
        if (score > best) {
            best = score;
            bestIndex = i;
        }
    }
    return bestIndex;
}

QString stableName(const QString& name)
{
    static const QRegularExpression alsaAddress(QStringLiteral(" \\d+:\\d+$"));
    static const QRegularExpression jackClientNumber(QStringLiteral("^([^:]*)-\\d\\d:"));
    return QString(name).remove(alsaAddress).replace(jackClientNumber, QStringLiteral("\\1:"));
}

int findStable(const QStringList& names, const QString& name)
{
    const QString wanted = stableName(name);
    for (int i = names.size() - 1; i >= 0; --i) {
        if (stableName(names.at(i)) == wanted)
            return i;
    }
    return -1;
}

}  // namespace PortMatching

#include "midi/portmatching.h"

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

int bestOutputIndex(const QString& inputName, const QStringList& outputNames)
{
    int best = -1;
    int bestIndex = 0;
    for (int i = 0; i < outputNames.size(); ++i) {
        const int score = nameSimilarity(inputName, outputNames.at(i));
        if (score > best) {
            best = score;
            bestIndex = i;
        }
    }
    return bestIndex;
}

}  // namespace PortMatching

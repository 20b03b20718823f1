#include "midi/portmatching.h"

#include <QRegularExpression>

#include <algorithm>

namespace PortMatching {

namespace {

const QRegularExpression& alsaAddress()
{
    static const QRegularExpression address(QStringLiteral(" (\\d+):\\d+$"));
    return address;
}

const QRegularExpression& jackClientNumber()
{
    static const QRegularExpression number(QStringLiteral("-\\d\\d$"));
    return number;
}

// Clients that one program may have made: of one name, or under JACK one
// numbered for a name taken ("Unit-07-01" beside "Unit-07"), or both.
bool sameProgram(const PortName& a, const PortName& b, Naming naming)
{
    if (a.client == b.client)
        return true;
    if (naming != Naming::Jack)
        return false;
    const QString strippedA = QString(a.client).remove(jackClientNumber());
    const QString strippedB = QString(b.client).remove(jackClientNumber());
    return strippedA == b.client || a.client == strippedB || strippedA == strippedB;
}

}  // namespace

PortName parsePortName(const QString& name, Naming naming)
{
    PortName parsed;
    if (naming == Naming::Plain) {
        parsed.port = name;
        return parsed;
    }
    QString rest = name;
    if (naming == Naming::Alsa) {
        const QRegularExpressionMatch address = alsaAddress().match(name);
        if (address.hasMatch()) {
            parsed.clientId = address.captured(1);
            rest.truncate(address.capturedStart());
        }
    }
    const int colon = rest.indexOf(QLatin1Char(':'));
    parsed.client = colon < 0 ? rest : rest.left(colon);
    parsed.port = colon < 0 ? QString() : rest.mid(colon + 1);
    if (parsed.clientId.isEmpty())
        parsed.clientId = parsed.client;
    return parsed;
}

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

bool isSequencerLoop(const QString& name, Naming naming)
{
    return naming == Naming::Alsa && parsePortName(name, naming).client == QLatin1String(kSequencerLoopClient);
}

Match pairOutput(const QString& inputName, const QStringList& outputNames, Naming naming)
{
    const PortName input = parsePortName(inputName, naming);
    Match match;
    if (isSequencerLoop(inputName, naming))
        return match;
    int best = -1;
    for (int i = 0; i < outputNames.size(); ++i) {
        if (isOwnPort(outputNames.at(i)) || isSequencerLoop(outputNames.at(i), naming))
            continue;
        if (naming != Naming::Plain && parsePortName(outputNames.at(i), naming).clientId != input.clientId)
            continue;
        const int score = nameSimilarity(inputName, outputNames.at(i));
        if (score > best) {
            best = score;
            match.index = i;
        }
    }
    if (match.index >= 0 || naming == Naming::Plain)
        return match;

    // Another client of the device's name, when there is only one such.
    QString client;
    for (int i = 0; i < outputNames.size(); ++i) {
        const PortName output = parsePortName(outputNames.at(i), naming);
        if (isOwnPort(outputNames.at(i)) || !sameProgram(output, input, naming))
            continue;
        if (!client.isEmpty() && output.clientId != client) {
            match.index = -1;
            break;
        }
        client = output.clientId;
        const int score = nameSimilarity(input.port, output.port);
        if (score > best) {
            best = score;
            match.index = i;
        }
    }
    if (match.index >= 0 || client.isEmpty())
        return match;
    for (const QString& name : outputNames) {
        if (!isOwnPort(name) && sameProgram(parsePortName(name, naming), input, naming))
            match.rivals.append(name);
    }
    return match;
}

bool sameClient(const QString& a, const QString& b, Naming naming)
{
    const QString client = parsePortName(a, naming).clientId;
    return !client.isEmpty() && client == parsePortName(b, naming).clientId;
}

QString stableName(const QString& name, Naming naming)
{
    switch (naming) {
    case Naming::Alsa:
        return QString(name).remove(alsaAddress());
    case Naming::Jack: {
        const int colon = name.indexOf(QLatin1Char(':'));
        return colon < 0 ? name : name.left(colon).remove(jackClientNumber()) + name.mid(colon);
    }
    case Naming::Plain:
        break;
    }
    return name;
}

Match findAgain(const QList<KnownPort>& ports, const KnownPort& lost, const QList<KnownPort>& others, Naming naming)
{
    // Another unit's port: where it is plugged in, when both say; else by name.
    const auto isOther = [&](const KnownPort& port) {
        return std::any_of(others.cbegin(), others.cend(), [&](const KnownPort& other) {
            return !port.location.isEmpty() && !other.location.isEmpty() ? port.location == other.location
                                                                          : port.name == other.name;
        });
    };
    const QString wanted = stableName(lost.name, naming);
    QList<int> there;      // plugged in where the device was
    QList<int> elsewhere;  // plugged in elsewhere, or saying nothing of it
    for (int i = 0; i < ports.size(); ++i) {
        if (stableName(ports.at(i).name, naming) != wanted)
            continue;
        if (!lost.location.isEmpty() && ports.at(i).location == lost.location)
            there.append(i);
        else if (!isOther(ports.at(i)))
            elsewhere.append(i);
    }
    const QList<int>& candidates = there.isEmpty() ? elsewhere : there;
    Match match;
    for (const int i : candidates) {
        if (ports.at(i).name == lost.name)
            match.index = i;
    }
    if (match.index < 0 && candidates.size() == 1)
        match.index = candidates.first();
    if (match.index < 0)
        for (const int i : candidates)
            match.rivals.append(ports.at(i).name);
    return match;
}

QStringList namesakes(const QStringList& names, const QString& name, Naming naming)
{
    const QString wanted = stableName(name, naming);
    QStringList found;
    std::copy_if(names.cbegin(), names.cend(), std::back_inserter(found), [&](const QString& other) {
        return other != name && stableName(other, naming) == wanted;
    });
    return found;
}

int findRemembered(const QStringList& names, const QString& fullName, const QString& stable, Naming naming)
{
    if (!fullName.isEmpty()) {
        const int exact = findLast(names, fullName);
        if (exact >= 0)
            return exact;
    }
    if (stable.isEmpty())
        return -1;
    int found = -1;
    for (int i = 0; i < names.size(); ++i) {
        if (stableName(names.at(i), naming) != stable)
            continue;
        if (found >= 0)
            return -1;
        found = i;
    }
    return found;
}

}  // namespace PortMatching

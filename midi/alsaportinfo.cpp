#include "midi/alsaportinfo.h"

#include <QRegularExpression>

#include <alsa/asoundlib.h>

#include <cstdlib>

namespace {
constexpr char kClientName[] = "Zandorium Uploader connection watch";

QString rtMidiName(snd_seq_t* seq, const snd_seq_addr_t& address)
{
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    if (snd_seq_get_any_client_info(seq, address.client, client) < 0
        || snd_seq_get_any_port_info(seq, address.client, address.port, port) < 0)
        return {};
    return QStringLiteral("%1:%2 %3:%4")
        .arg(QString::fromUtf8(snd_seq_client_info_get_name(client)),
             QString::fromUtf8(snd_seq_port_info_get_name(port)))
        .arg(address.client)
        .arg(address.port);
}
}  // namespace

AlsaPortInfo::~AlsaPortInfo()
{
    if (seq_)
        snd_seq_close(seq_);
}

bool AlsaPortInfo::open()
{
    if (seq_)
        return true;
    if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) {
        seq_ = nullptr;
        return false;
    }
    snd_seq_set_client_name(seq_, kClientName);
    return true;
}

bool AlsaPortInfo::addressOf(const QString& name, int& client, int& port)
{
    static const QRegularExpression addressAtEnd(QStringLiteral(" (\\d+):(\\d+)$"));
    const QRegularExpressionMatch found = addressAtEnd.match(name);
    if (!found.hasMatch())
        return false;
    client = found.captured(1).toInt();
    port = found.captured(2).toInt();
    return true;
}

QString AlsaPortInfo::location(const QString& name) const
{
    int client = 0;
    int port = 0;
    snd_seq_client_info_t* info = nullptr;
    snd_seq_client_info_alloca(&info);
    if (!seq_ || !addressOf(name, client, port) || snd_seq_get_any_client_info(seq_, client, info) < 0)
        return {};
    const int card = snd_seq_client_info_get_card(info);
    char* longName = nullptr;
    if (card < 0 || snd_card_get_longname(card, &longName) < 0 || !longName)
        return {};
    const QString location = QString::fromUtf8(longName);
    std::free(longName);
    return location;
}

QStringList AlsaPortInfo::connections(const QString& name) const
{
    int client = 0;
    int port = 0;
    if (!seq_ || !addressOf(name, client, port))
        return {};
    snd_seq_addr_t root{};
    root.client = static_cast<unsigned char>(client);
    root.port = static_cast<unsigned char>(port);
    QStringList connected;
    snd_seq_query_subscribe_t* query = nullptr;
    snd_seq_query_subscribe_alloca(&query);
    for (const auto type : {SND_SEQ_QUERY_SUBS_READ, SND_SEQ_QUERY_SUBS_WRITE}) {
        snd_seq_query_subscribe_set_root(query, &root);
        snd_seq_query_subscribe_set_type(query, type);
        for (int index = 0;; ++index) {
            snd_seq_query_subscribe_set_index(query, index);
            if (snd_seq_query_port_subscribers(seq_, query) < 0)
                break;
            connected.append(rtMidiName(seq_, *snd_seq_query_subscribe_get_addr(query)));
        }
    }
    return connected;
}

#include "midi/alsasubscriptions.h"

#include <QRegularExpression>

#include <alsa/asoundlib.h>

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

AlsaSubscriptions::~AlsaSubscriptions()
{
    if (seq_)
        snd_seq_close(seq_);
}

bool AlsaSubscriptions::open()
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

QStringList AlsaSubscriptions::connections(const QString& name) const
{
    static const QRegularExpression addressAtEnd(QStringLiteral(" (\\d+):(\\d+)$"));
    const QRegularExpressionMatch found = addressAtEnd.match(name);
    if (!seq_ || !found.hasMatch())
        return {};
    snd_seq_addr_t root{};
    root.client = static_cast<unsigned char>(found.captured(1).toUInt());
    root.port = static_cast<unsigned char>(found.captured(2).toUInt());
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

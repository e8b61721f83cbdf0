// The RFC 2217 client session on a server's telnet stream, in reads of any size: it never gives more
// line bytes than it was fed, and what it answers stays bounded by what it was told. The session
// reads the stream through its TelnetDecoder, so this reaches every state of the decoder too.
#include "fuzz_input.h"
#include "serial/com_port_session.h"
#include "serial/telnet_decoder.h"

#include <cstdlib>

using velto::serial::ComPortSession;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const quint8 chunkSize = input.takeByte();
    const quint8 steer = input.takeByte();
    ComPortSession session;
    velto::serial::SerialSettings settings;
    settings.baudRate = 1200 << (steer % 8);
    // The opening settings: five commands of at most 13 bytes once escaped.
    constexpr qsizetype kSettingsBytes = 5 * 13;
    constexpr qsizetype kControlBytes = 8; // one RTS or purge command, escaped
    qsizetype fed = 0;
    qsizetype given = 0;
    qsizetype answered = 0;
    qsizetype heldControls = 0;
    session.start(settings);
    for (QByteArrayView read : velto::fuzz::FuzzInput::chunks(input.rest(), chunkSize)) {
        fed += read.size();
        const ComPortSession::Received got = session.receive(read);
        given += got.data.size();
        answered += got.reply.size();
        if (steer & 0x80) {
            for (const QByteArray& control : { session.setRts(read.size() % 2), session.purgeInput() }) {
                if (control.size() > kControlBytes)
                    std::abort();
                if (control.isEmpty())
                    heldControls += kControlBytes;
            }
        }
        if (given > fed)
            std::abort();
        // An option answer (3 bytes) needs an option verb (3 bytes) in; held commands go out once.
        if (answered > fed + kSettingsBytes + heldControls)
            std::abort();
    }
    const QByteArray escaped = ComPortSession::encode(input.rest());
    if (escaped.size() < input.rest().size() || escaped.size() > 2 * input.rest().size())
        std::abort();
    return 0;
}

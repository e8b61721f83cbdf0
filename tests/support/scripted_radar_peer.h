#pragma once

#include "sim/paced_writer.h"
#include "sim/radar_responder.h"
#include "support/scripted_peer.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>

namespace velto::test {

// A radar sensor on the far side of a pseudo-terminal that answers as a test sets it: rightly (the
// simulated radar's replies, at the line's pace), with the reply of another command, with a block
// of the other data kind or one block twice inside a monitoring reply, twice, with the request's own bytes
// as an echoing adapter returns them, with the start of a reply over and over, or not at all; it can
// also flood the line or close it.
class ScriptedRadarPeer : public ScriptedPeer {
    Q_OBJECT
public:
    enum class Answer {
        Right,
        Silent,
        AnotherCommand, // a status reply carries the next command's code; monitoring gets a status reply
        AnotherBlock, // monitoring: block kAnotherBlockNumber is of the other data kind
        BlockTwice, // monitoring: the first block comes twice, 65 blocks in all
        Echo, // the request's own bytes and nothing else
        EchoThenRight, // the request's own bytes, then the right reply
        HeaderOverAndOver, // every repeatMs some noise and a header, never the rest of a reply
        Twice, // the right reply, twice in a row
    };
    static constexpr int kAnotherBlockNumber = 10;

    // `charactersPerSecond`: the pace of the replies, as the port is set up.
    explicit ScriptedRadarPeer(int charactersPerSecond = 11520, QObject* parent = nullptr);
    ~ScriptedRadarPeer() override;

    Answer answer = Answer::Right;
    // Send Status replies report this distance (0.1 mm) when set, instead of the simulated one.
    std::optional<qint32> distanceTenthsOfMm;
    // HeaderOverAndOver: the first start half this after the request, then one every this; at the
    // pace of Timer_Rx each of its looks finds one start, which it cannot judge.
    int repeatMs = 250;
    sim::RadarResponder sensor;
    int requestsHeard = 0; // whole frames with a right checksum
    quint8 lastCode = 0;

    // Reply bytes not yet on the line.
    qsizetype pending() const { return m_writer ? m_writer->pending() : 0; }
    void closeLine() override;

signals:
    void requestHeard(quint8 code);

private:
    void onReadable() override;
    void respond(const QByteArray& frame);
    qsizetype writeSome(QByteArrayView bytes);

    std::unique_ptr<sim::PacedWriter> m_writer;
    QTimer m_repeat;
    QByteArray m_repeated;
    QByteArray m_buffer;
    qint64 m_ms = 0;
};

} // namespace velto::test

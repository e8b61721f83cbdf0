#pragma once

#include <QByteArrayView>
#include <QList>

#include <cstddef>
#include <cstdint>

namespace velto::fuzz {

// Takes a fuzz input apart: a few leading bytes steer the target (chunk sizes, modes), the rest is
// the payload. Reading past the end gives zeros, so every input is usable.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size)
        : m_bytes(reinterpret_cast<const char*>(data), qsizetype(size))
    {
    }

    quint8 takeByte()
    {
        if (m_pos >= m_bytes.size())
            return 0;
        return quint8(m_bytes[m_pos++]);
    }
    QByteArrayView rest() const { return m_bytes.sliced(m_pos); }
    bool atEnd() const { return m_pos >= m_bytes.size(); }

    // The payload as the reads of a serial port might deliver it: chunks of chunkSize + 1 bytes.
    static QList<QByteArrayView> chunks(QByteArrayView payload, quint8 chunkSize)
    {
        QList<QByteArrayView> out;
        const qsizetype step = qsizetype(chunkSize) + 1;
        for (qsizetype at = 0; at < payload.size(); at += step)
            out.append(payload.sliced(at, qMin(step, payload.size() - at)));
        return out;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

} // namespace velto::fuzz

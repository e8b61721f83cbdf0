#pragma once

#include <QByteArrayView>
#include <QString>

namespace velto::serial {

// Many RS-485 adapters hear their own transmitter, so the frame we send comes back before the
// device answers. With Remove echo off it reaches the protocols, which must never take it for an
// answer; this is the hint their error texts carry.
inline const QString kEchoHint = QStringLiteral("the adapter echoes what is sent: turn on Remove echo");

// True when `received` begins with the whole of `sent`: our own frame came back.
bool startsWithOwnFrame(QByteArrayView received, QByteArrayView sent);

// "text (the adapter echoes what is sent: turn on Remove echo)".
QString withEchoHint(const QString& text);

} // namespace velto::serial

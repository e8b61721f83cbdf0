#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace velto::test {

// Radar frames, status replies and monitoring blocks as a sensor sends them, built here with a sum of
// the test's own so that no test takes the program's word for a checksum.

// The 8-bit sum of the bytes.
quint8 radarSum(QByteArrayView bytes);
// A command frame: 18 bytes, or 24 for Monitoring (0xF4) and Set Parameters (0xF8).
QByteArray radarCommandFrame(quint8 code, quint8 selector = 0, int tankHeightMm = 0);
// A 13-byte status reply; the distance is in 0.1 mm.
QByteArray radarStatusReply(quint8 code, quint32 tenthsOfMm = 0, quint8 signalToNoise = 0);
// One 68-byte block of kind 0x3C (spectrum) or 0xC3 (time domain) around 64 payload bytes.
QByteArray radarBlock(quint8 kind, bool last, QByteArrayView payload);
// The payload cut into blocks, the last one marked so.
QByteArray radarBlocks(quint8 kind, QByteArrayView payload);
// `count` blocks whose payload byte i of block b is b + 4 + i.
QByteArray radarBlocks(quint8 kind, int count);
// The checksum of the block at `at` made right again for its bytes as they are now.
void mendBlockChecksum(QByteArray& reply, qsizetype at);
// True when every whole block of the reply carries the sum of its other bytes.
bool blockChecksumsHold(QByteArrayView reply);

} // namespace velto::test

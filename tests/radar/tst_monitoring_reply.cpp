#include "radar/monitoring_reply.h"
#include "support/radar_bytes.h"

#include <QTest>

using namespace velto::radar;
using velto::test::radarBlocks;

namespace {

QByteArray countingPayload(int bytes)
{
    QByteArray p(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        p[i] = char((i * 7 + i / 64) & 0xFF);
    return p;
}

QByteArray spectrumReply(const QByteArray& payload = countingPayload(kSpectrumBins))
{
    return radarBlocks(block::kSpectrumKind, payload);
}

QByteArray timeReply(const QByteArray& payload = countingPayload(kTimeDomainSamples * 2))
{
    return radarBlocks(block::kTimeDomainKind, payload);
}

// Puts a byte into a block of the counting payload with the checksum that the block then needs, so
// only the byte itself is wrong.
void setInBlock(QByteArray& reply, int block, int offset, quint8 value, quint8 checksum)
{
    const qsizetype at = (block - 1) * kBlockSize;
    reply[at + offset] = char(value);
    reply[at + block::kChecksumAt] = char(checksum);
}

MonitoringReply judge(
    const QByteArray& buffer, MonitoringKind kind, BlockRange fft = { 1, 4 }, BlockRange raw = { 9, 12 })
{
    return judgeMonitoringReply(buffer, kind, fft, raw);
}

} // namespace

class TstMonitoringReply : public QObject {
    Q_OBJECT
private slots:
    void acceptedSpectrum();
    void acceptedTimeDomain();
    void failures_data();
    void failures();
    void noiseBeforeTheFirstHeaderIsSkipped();
    void payloadThatReadsLikeALastHeader();
    void blockRanges_data();
    void blockRanges();
    void neverReadsPastTheEnd();
};

void TstMonitoringReply::acceptedSpectrum()
{
    const QByteArray payload = countingPayload(kSpectrumBins);
    const QByteArray reply = spectrumReply(payload);
    QCOMPARE(reply.size(), 4352);
    const MonitoringReply r = judge(reply, MonitoringKind::Spectrum);
    QCOMPARE(r.outcome, MonitoringReply::Outcome::Accepted);
    QCOMPARE(r.payload, payload);
    QCOMPARE(r.spectrumBins, payload.first(256));
    // Every byte of the stream as " XX ", from the first header to the last payload byte.
    QCOMPARE(r.logText.size(), 4352 * 4);
    QCOMPARE(r.logText.first(32), QString(" 3C  E0  44  40  00  07  0E  15 "));
    QCOMPARE(r.logText.last(16), QString(" 23  2A  31  38 "));
    QVERIFY(r.rawSamples.isEmpty());
}

void TstMonitoringReply::acceptedTimeDomain()
{
    const QByteArray payload = countingPayload(kTimeDomainSamples * 2);
    const QByteArray reply = timeReply(payload);
    QCOMPARE(reply.size(), 15980);
    const MonitoringReply r = judge(reply, MonitoringKind::TimeDomain);
    QCOMPARE(r.outcome, MonitoringReply::Outcome::Accepted);
    QCOMPARE(r.payload, payload);
    // Samples are big-endian byte pairs of the payload: bytes 512 and 513 are 08 0F.
    QCOMPARE(r.rawSamples.size(), 128);
    QCOMPARE(r.rawSamples.front(), 2063);
    QCOMPARE(r.rawSamples.back(), 64772);
    QCOMPARE(r.rawFileSamples.size(), 7243);
    QCOMPARE(r.rawFileSamples.front(), 2063);
    QCOMPARE(r.rawFileSamples.back(), 63229);
    QCOMPARE(r.rawMin, 7);
    QCOMPARE(r.rawMax, 65286);
}

void TstMonitoringReply::failures_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QString>("log");
    QTest::addColumn<int>("block");
    const int spectrum = int(MonitoringKind::Spectrum);
    const int time = int(MonitoringKind::TimeDomain);
    QTest::newRow("nothing") << spectrum << QByteArray() << "No Response" << 0;
    QTest::newRow("4351 bytes") << spectrum << spectrumReply().first(4351)
                                << "Receive Buffer Length Too Short Smaller Then 4352 Bytes" << 0;
    QTest::newRow("15979 bytes") << time << timeReply().first(15979)
                                 << "Receive Buffer Length Too Short Smaller Then 15980 Bytes" << 0;
    QByteArray checksum10 = spectrumReply();
    checksum10[9 * kBlockSize + 1] = char(checksum10[9 * kBlockSize + 1] + 1);
    QTest::newRow("checksum in block 10")
        << spectrum << checksum10 << "Incorrect CheckSum Monitoring In Block Number 10" << 10;
    QByteArray header5 = timeReply();
    setInBlock(header5, 5, 3, 0x41, 0x68);
    QTest::newRow("header of block 5") << time << header5 << "Incorrect Header Block Number 5" << 5;
    QByteArray marker1 = spectrumReply();
    setInBlock(marker1, 1, 2, 0x45, 0xE1);
    // Block 1 no longer starts the stream: the search starts at block 2 and finds one block too few.
    QTest::newRow("marker of block 1") << spectrum << marker1 + QByteArray(68, '\0')
                                       << "Incorrect Number Of Blocks (Unequal To 63 Blocks)" << 0;
    // A block sent twice: 64 blocks before the last are as wrong as 62, whichever 63 would fit.
    const QByteArray whole = spectrumReply();
    QTest::newRow("first block twice") << spectrum << whole.first(kBlockSize) + whole
                                       << "Incorrect Number Of Blocks (Unequal To 63 Blocks)" << 0;
    QTest::newRow("block 20 twice") << spectrum
                                    << QByteArray(whole).insert(
                                           20 * kBlockSize, whole.sliced(19 * kBlockSize, kBlockSize))
                                    << "Incorrect Number Of Blocks (Unequal To 63 Blocks)" << 0;
    const QByteArray wholeTime = timeReply();
    QTest::newRow("time domain, first block twice")
        << time << wholeTime.first(kBlockSize) + wholeTime << "Incorrect Number Of Blocks" << 0;
    // One request, one answer: the stream that came first is whole, but which answer is ours?
    QTest::newRow("the whole reply twice")
        << spectrum << whole + whole << "Incorrect Number Of Blocks (Unequal To 63 Blocks)" << 0;
    QTest::newRow("the last block twice") << spectrum << whole + whole.last(kBlockSize)
                                          << "Incorrect Number Of Blocks (Unequal To 63 Blocks)" << 0;
    QTest::newRow("time domain, the whole reply twice")
        << time << wholeTime + wholeTime << "Incorrect Number Of Blocks" << 0;
    QByteArray lastChecksum = timeReply();
    lastChecksum[234 * kBlockSize + 1] = char(lastChecksum[234 * kBlockSize + 1] ^ 0x01);
    QTest::newRow("checksum in the last block")
        << time << lastChecksum << "Incorrect CheckSum Monitoring In Last Block" << 0;
    QByteArray noLast = spectrumReply();
    setInBlock(noLast, 64, 3, 0x40, 0xA0);
    QTest::newRow("no last block") << spectrum << noLast << "Incorrect Number Of Blocks" << 0;
    QByteArray earlyLast = spectrumReply();
    setInBlock(earlyLast, 30, 3, 0x00, 0xE0);
    QTest::newRow("last marker in block 30")
        << spectrum << earlyLast << "Incorrect Number Of Blocks (Unequal To 63 Blocks)" << 0;
    const QByteArray oneMissing
        = spectrumReply().remove(20 * kBlockSize, kBlockSize) + QByteArray(100, '\x11');
    QTest::newRow("a block missing") << spectrum << oneMissing
                                     << "Incorrect Number Of Blocks (Unequal To 63 Blocks)" << 0;
    // Noise in front pushes the last block past the end of what arrived.
    const QByteArray cutShort = QByteArray(30, '\x11') + spectrumReply().first(4340);
    QTest::newRow("last block cut short") << spectrum << cutShort << "Incorrect Number Of Blocks" << 0;
    QTest::newRow("spectrum asked, time domain came")
        << spectrum << timeReply() << "Incorrect Number Of Blocks" << 0;
    QTest::newRow("time domain asked, spectrum came")
        << time << spectrumReply() << "Receive Buffer Length Too Short Smaller Then 15980 Bytes" << 0;
}

void TstMonitoringReply::failures()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, buffer);
    QFETCH(QString, log);
    QFETCH(int, block);
    const MonitoringReply r = judge(buffer, MonitoringKind(kind));
    QVERIFY(!r.accepted());
    QCOMPARE(r.logText, log);
    QCOMPARE(r.failedBlock, block);
    QVERIFY(r.payload.isEmpty());
}

void TstMonitoringReply::noiseBeforeTheFirstHeaderIsSkipped()
{
    // The noise holds a block header of its own; the stream still starts where whole blocks do.
    const QByteArray noise("\x3C\x00\x44\x40\x3C\x00\x11", 7);
    const QByteArray reply = spectrumReply();
    const MonitoringReply r = judge(noise + reply + QByteArray(5, '\x7F'), MonitoringKind::Spectrum);
    QCOMPARE(r.outcome, MonitoringReply::Outcome::Accepted);
    QCOMPARE(r.streamStart, 7);
    QCOMPARE(r.logText.size(), 4352 * 4);
    QCOMPARE(r.logText.first(24), QString(" 3C  E0  44  40  00  07 "));
}

void TstMonitoringReply::payloadThatReadsLikeALastHeader()
{
    // Bins 60, x, 68, 0 read like a last block header where no block starts; the reply is whole.
    QByteArray payload = countingPayload(kSpectrumBins);
    payload.replace(100, 4, QByteArray("\x3C\x05\x44\x00", 4));
    const MonitoringReply r = judge(spectrumReply(payload), MonitoringKind::Spectrum);
    QCOMPARE(r.outcome, MonitoringReply::Outcome::Accepted);
    QCOMPARE(r.payload, payload);
}

void TstMonitoringReply::blockRanges_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("firstOffset");
    QTest::newRow("FFT 1-4") << 0 << 1 << 4 << 256 << 0;
    QTest::newRow("FFT 2-3") << 0 << 2 << 3 << 128 << 64;
    QTest::newRow("FFT 64-64") << 0 << 64 << 64 << 64 << 4032;
    QTest::newRow("RAW 9-12") << 1 << 9 << 12 << 128 << 512;
    QTest::newRow("RAW 235-235") << 1 << 235 << 235 << 32 << 14976;
    QTest::newRow("RAW 1-235") << 1 << 1 << 235 << 7520 << 0;
}

void TstMonitoringReply::blockRanges()
{
    QFETCH(int, kind);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, count);
    QFETCH(int, firstOffset);
    const bool spectrum = kind == 0;
    const QByteArray payload = countingPayload(spectrum ? kSpectrumBins : kTimeDomainSamples * 2);
    const MonitoringReply r = spectrum
        ? judge(spectrumReply(payload), MonitoringKind::Spectrum, { start, end })
        : judge(timeReply(payload), MonitoringKind::TimeDomain, {}, { start, end });
    QVERIFY(r.accepted());
    if (spectrum) {
        QCOMPARE(r.spectrumBins.size(), count);
        QCOMPARE(r.spectrumBins.front(), payload[firstOffset]);
    } else {
        QCOMPARE(r.rawSamples.size(), count);
        QCOMPARE(r.rawSamples.front(), quint8(payload[firstOffset]) * 256 + quint8(payload[firstOffset + 1]));
    }
}

void TstMonitoringReply::neverReadsPastTheEnd()
{
    // Cuts of a noisy reply at every length around the block boundaries; the sanitizer watches.
    const QByteArray whole = QByteArray("\x3C\x00\x44\x40\x3C", 5) + spectrumReply();
    for (qsizetype n = 4340; n <= whole.size(); ++n) {
        const QByteArray copy = whole.first(n);
        QCOMPARE(judge(copy, MonitoringKind::Spectrum).accepted(), n == whole.size());
    }
}

QTEST_GUILESS_MAIN(TstMonitoringReply)
#include "tst_monitoring_reply.moc"

#include "debuglog/parsing_line_reader.h"

#include <QBuffer>
#include <QTest>

#include <cstring>

using namespace velto::debuglog;

namespace {

struct Line {
    QByteArray text;
    bool cut;
    bool unfinished = false; // the last line, without a line end
    bool operator==(const Line&) const = default;
};

QList<Line> readAll(const QByteArray& bytes, bool* failed = nullptr)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    ParsingLineReader reader(buffer);
    QList<Line> lines;
    std::string_view text;
    bool cut = false;
    while (reader.next(text, cut))
        lines.append({ QByteArray(text.data(), qsizetype(text.size())), cut, reader.unfinished() });
    if (failed)
        *failed = reader.failed();
    return lines;
}

// A device whose reads fail after the first block.
class FailingDevice final : public QIODevice {
public:
    FailingDevice() { open(QIODevice::ReadOnly); }

protected:
    qint64 readData(char* data, qint64 max) override
    {
        if (m_served)
            return -1;
        m_served = true;
        const QByteArray first = "one\ntwo";
        const qint64 n = std::min<qint64>(max, first.size());
        memcpy(data, first.constData(), size_t(n));
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    bool m_served = false;
};

// /dev/zero as a device: one line without end, for ever. Asks to cancel once it has served
// cancelAfter reads, as an interrupt would while a run reads on.
class EndlessDevice final : public QIODevice {
public:
    EndlessDevice(std::atomic<bool>& cancel, int cancelAfter)
        : m_cancel(cancel)
        , m_cancelAfter(cancelAfter)
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    int reads = 0;

protected:
    qint64 readData(char* data, qint64 max) override
    {
        if (++reads == m_cancelAfter)
            m_cancel = true;
        memset(data, 0, size_t(max));
        return max;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::atomic<bool>& m_cancel;
    int m_cancelAfter;
};

} // namespace

class TstParsingLineReader : public QObject {
    Q_OBJECT
private slots:
    void lineEnds();
    void linesAcrossBlocks();
    void overlongLinesAreCut();
    void readFailureIsReported();
    void cancelStopsAnEndlessLine();
};

void TstParsingLineReader::lineEnds()
{
    QCOMPARE(readAll(""), QList<Line>());
    QCOMPARE(readAll("a\n"), QList<Line>({ { "a", false } }));
    QCOMPARE(readAll("a\r\nb\n\nc"),
        QList<Line>({ { "a", false }, { "b", false }, { "", false }, { "c", false, true } }));
    QCOMPARE(readAll("a\r\nb\r"), QList<Line>({ { "a", false }, { "b", false, true } }));
    // Only the CR of a CR LF goes; one inside a line stays.
    QCOMPARE(readAll("a\rb\r\r\n"), QList<Line>({ { "a\rb\r", false } }));
    QCOMPARE(readAll(QByteArray("x\0y\n", 4)), QList<Line>({ { QByteArray("x\0y", 3), false } }));
}

void TstParsingLineReader::linesAcrossBlocks()
{
    // The CR at the last byte of the first block, its LF at the first of the next: a line exactly
    // as long as the longest kept whole.
    const QByteArray longest(ParsingLineReader::kMaxLineBytes - 1, 'a');
    const QList<Line> lines = readAll(longest + "\r\nnext\r\nlast");
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], (Line { longest, false }));
    QCOMPARE(lines[1], (Line { "next", false }));
    QCOMPARE(lines[2], (Line { "last", false, true }));
}

void TstParsingLineReader::overlongLinesAreCut()
{
    const QByteArray over(ParsingLineReader::kMaxLineBytes + 10, 'b');
    const QList<Line> lines = readAll("first\n" + over + "\nz\n" + over);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], (Line { "first", false }));
    QCOMPARE(lines[1].text.size(), ParsingLineReader::kMaxLineBytes);
    QVERIFY(lines[1].cut);
    QCOMPARE(lines[2], (Line { "z", false }));
    QCOMPARE(lines[3].text.size(), ParsingLineReader::kMaxLineBytes);
    QVERIFY(lines[3].cut);
    QVERIFY(lines[3].unfinished);
}

void TstParsingLineReader::readFailureIsReported()
{
    FailingDevice device;
    ParsingLineReader reader(device);
    std::string_view text;
    bool cut = false;
    QVERIFY(reader.next(text, cut));
    QCOMPARE(QByteArray(text.data(), qsizetype(text.size())), QByteArray("one"));
    QVERIFY(!reader.next(text, cut));
    QVERIFY(reader.failed());
}

void TstParsingLineReader::cancelStopsAnEndlessLine()
{
    constexpr int kReadsBeforeCancel = 5;
    std::atomic<bool> cancel = false;
    EndlessDevice device(cancel, kReadsBeforeCancel);
    ParsingLineReader reader(device, &cancel);
    std::string_view text;
    bool cut = false;
    QVERIFY(!reader.next(text, cut));
    QVERIFY(reader.cancelled());
    QVERIFY(!reader.failed());
    QCOMPARE(device.reads, kReadsBeforeCancel);
}

QTEST_GUILESS_MAIN(TstParsingLineReader)
#include "tst_parsing_line_reader.moc"

#include "traffic/modbus_log_tap.h"

#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QPointer>
#include <QThread>

namespace velto::traffic {

namespace {

constexpr char kModbusCategory[] = "qt.modbus";
constexpr char kLowLevelCategory[] = "qt.modbus.lowlevel";

bool isModbusCategory(const char* name)
{
    return name && (qstrcmp(name, kModbusCategory) == 0 || qstrcmp(name, kLowLevelCategory) == 0);
}

// The handler and filter are the process's; their state lives here, behind one lock, because Qt
// may log from any thread.
struct LogState {
    QMutex mutex;
    ModbusLogTap* tap = nullptr;
    QtMessageHandler previousHandler = nullptr;
    QLoggingCategory::CategoryFilter previousFilter = nullptr;
    // Whether debug output of each Modbus category was on before the tap turned it on.
    QHash<QByteArray, bool> debugWanted;
};

LogState& state()
{
    static LogState s;
    return s;
}

void filter(QLoggingCategory* category)
{
    LogState& s = state();
    QLoggingCategory::CategoryFilter previous = nullptr;
    bool tapping = false;
    {
        QMutexLocker lock(&s.mutex);
        previous = s.previousFilter;
        tapping = s.tap != nullptr;
    }
    if (previous)
        previous(category);
    if (!tapping || !isModbusCategory(category->categoryName()))
        return;
    {
        QMutexLocker lock(&s.mutex);
        s.debugWanted.insert(category->categoryName(), category->isDebugEnabled());
    }
    category->setEnabled(QtDebugMsg, true);
}

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    LogState& s = state();
    QtMessageHandler previous = nullptr;
    QPointer<ModbusLogTap> tap;
    bool wanted = true;
    {
        QMutexLocker lock(&s.mutex);
        previous = s.previousHandler;
        tap = s.tap;
        if (tap && isModbusCategory(context.category) && type == QtDebugMsg)
            wanted = s.debugWanted.value(context.category, false);
    }
    if (tap && isModbusCategory(context.category)) {
        if (const std::optional<ModbusLogEvent> event = parseModbusLogMessage(message)) {
            if (QThread::currentThread() == tap->thread())
                emit tap->logged(*event);
            else
                QMetaObject::invokeMethod(
                    tap, [tap, e = *event] { emit tap->logged(e); }, Qt::QueuedConnection);
        }
    }
    if (!wanted)
        return;
    // Qt hands out its default handler as the previous one, so there always is one.
    if (previous)
        previous(type, context, message);
}

} // namespace

ModbusLogTap::ModbusLogTap(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<ModbusLogEvent>();
    LogState& s = state();
    {
        QMutexLocker lock(&s.mutex);
        if (s.tap)
            return;
        s.tap = this;
        s.debugWanted.clear();
    }
    m_active = true;
    QtMessageHandler previousHandler = qInstallMessageHandler(handler);
    QLoggingCategory::CategoryFilter previousFilter = QLoggingCategory::installFilter(filter);
    QMutexLocker lock(&s.mutex);
    // Still ours from an earlier tap when it was never replaced since.
    if (previousHandler != handler)
        s.previousHandler = previousHandler;
    if (previousFilter != filter)
        s.previousFilter = previousFilter;
}

ModbusLogTap::~ModbusLogTap()
{
    if (!m_active)
        return;
    LogState& s = state();
    QtMessageHandler previousHandler = nullptr;
    QLoggingCategory::CategoryFilter previousFilter = nullptr;
    {
        QMutexLocker lock(&s.mutex);
        s.tap = nullptr;
        previousHandler = s.previousHandler;
        previousFilter = s.previousFilter;
    }
    // Put back what was there, unless someone has installed theirs on top of ours meanwhile; ours
    // then passes everything on untouched.
    QtMessageHandler current = qInstallMessageHandler(previousHandler);
    if (current != handler)
        qInstallMessageHandler(current);
    QLoggingCategory::CategoryFilter currentFilter = QLoggingCategory::installFilter(previousFilter);
    if (currentFilter != filter)
        QLoggingCategory::installFilter(currentFilter);
}

} // namespace velto::traffic

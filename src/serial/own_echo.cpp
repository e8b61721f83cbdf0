#include "serial/own_echo.h"

namespace velto::serial {

bool startsWithOwnFrame(QByteArrayView received, QByteArrayView sent)
{
    return !sent.isEmpty() && received.startsWith(sent);
}

QString withEchoHint(const QString& text)
{
    return QStringLiteral("%1 (%2)").arg(text, kEchoHint);
}

} // namespace velto::serial

#include "common/box_update.h"

#include <QStringList>

namespace velto {

namespace {

QString quotedIfNeeded(const QString& text)
{
    bool needsQuotes = text.isEmpty();
    for (QChar c : text) {
        if (c.isSpace() || c == u'"' || c == u'\\' || c == u'=') {
            needsQuotes = true;
            break;
        }
    }
    if (!needsQuotes)
        return text;
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace

QString formatBoxUpdates(const QList<BoxUpdate>& updates)
{
    QStringList pairs;
    for (const auto& update : updates) {
        if (update.text)
            pairs << update.objectName + QLatin1Char('=') + quotedIfNeeded(*update.text);
    }
    return pairs.join(QLatin1Char(' '));
}

} // namespace velto

#pragma once

#include <QByteArray>

#include <initializer_list>

namespace velto::test {

// Bytes written as numbers, as a protocol table lists them.
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace velto::test

#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace velto::flash {

// How a flash operation ended, for callers that act on it (the command line's exit code).
struct FlashResult {
    enum class Operation { Burn, Erase, Test };

    Operation operation = Operation::Burn;
    // Every exchange of the operation got an accepted answer, each proven to be its own.
    bool accepted = false;
    // Ended by stop() before it could finish.
    bool stopped = false;
    // What a stop left behind ("... the flash is incomplete"); empty unless stopped.
    QString stopText;
    // The converter failed: the file as it stands was not burnt and still waits for it.
    bool converterFailed = false;
    // The answer code of the erase (">B4") or test (">B1") command, when it was accepted.
    std::optional<quint8> commandCode;
    // A burn that was to erase first.
    bool eraseRequested = false;
    // Lines of the file, and lines the device accepted before the burn ended.
    int lineCount = 0;
    int linesAccepted = 0;

    // The device confirmed what was asked: a burn whose every line was accepted (and whose erase,
    // when asked for, succeeded), an erase that succeeded, a test that succeeded.
    bool deviceConfirmed() const;
};

} // namespace velto::flash

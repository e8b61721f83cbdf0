#pragma once

#include <QObject>

namespace velto::cli {

// One run of a poll command: started once the event loop runs, it exits the loop itself when its
// ticks are done or it failed.
class PollRun : public QObject {
public:
    using QObject::QObject;

    virtual void start() = 0;
    // Interrupted: the run ends as it would after its last tick, counting what was cut short.
    virtual void stop() = 0;
};

} // namespace velto::cli

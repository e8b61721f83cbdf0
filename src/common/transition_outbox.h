#pragma once

#include <QList>

#include <functional>
#include <memory>

namespace velto {

// What a state machine's transition makes known (its signals) and does next (the send that follows
// them), delivered in order once the transition has settled its state. A listener may stop the
// machine while a signal is out: the stop drops what is still queued, since it belonged to the
// operation that has ended, so no transition has to look again after an emit.
class TransitionOutbox {
public:
    TransitionOutbox() = default;
    TransitionOutbox(const TransitionOutbox&) = delete;
    TransitionOutbox& operator=(const TransitionOutbox&) = delete;
    ~TransitionOutbox() { *m_alive = false; }

    void post(std::function<void()> step) { m_steps.append(std::move(step)); }
    void drop() { m_steps.clear(); }

    // Safe when a step posts more (they go out in turn), delivers in turn, or deletes the owner.
    void deliver()
    {
        const std::shared_ptr<bool> alive = m_alive;
        while (*alive && !m_steps.isEmpty())
            m_steps.takeFirst()();
    }

private:
    QList<std::function<void()>> m_steps;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace velto

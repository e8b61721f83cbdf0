#pragma once

#include <functional>
#include <optional>

namespace velto::test {

// Runs `check` with the rights of an ordinary user, so file permissions apply even when the suite
// runs as root: as root in a forked child that drops to nobody, otherwise in place. Returns the
// check's result, or nothing when the child could not drop its rights.
std::optional<bool> runUnprivileged(const std::function<bool()>& check);

} // namespace velto::test

// The simulated USB bus: the boards attached to this machine, in attach order.
//
// At first use it reads TESSARY_SIM_BOARDS: unset gives one board "TS256A01";
// set but empty gives none; otherwise a comma-separated list of serial numbers
// (blanks trimmed, empty items and repeats skipped, each cut to 15 characters).
#pragma once

#include "Board.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace boardsim {

class Bus
{
public:
    static constexpr const char* kEnvironmentVariable = "TESSARY_SIM_BOARDS";
    static constexpr const char* kDefaultSerial = "TS256A01";
    static constexpr std::size_t kMaxSerialLength = 15;

    static Bus& instance();

    std::vector<std::string> serials() const;
    std::vector<std::shared_ptr<Board>> boards() const;
    std::shared_ptr<Board> board(const std::string& serial) const; // null when not attached

    // Plugs a board in (an attached serial returns its board unchanged, an
    // empty one null) and raises the hook with arrival.
    std::shared_ptr<Board> attach(const std::string& serial);
    // Unplugs it: every open handle on it fails from now on. Raises the hook
    // with removal; an unknown serial does nothing.
    void detach(const std::string& serial);

    // Called outside the bus lock, in the thread that attaches or detaches.
    void setDeviceChangeHook(std::function<void(bool arrived)> hook);

    // For tests: closes every handle, drops all boards and reads the
    // environment again. Raises no hook.
    void resetToEnvironment();

    static std::vector<std::string> parseSerials(const char* value);

private:
    Bus();
    void raise(bool arrived);

    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Board>> m_boards;
    std::function<void(bool)> m_hook;
};

} // namespace boardsim

#include "Bus.h"

#include <algorithm>
#include <cstdlib>

namespace boardsim {
namespace {

std::string trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

std::vector<std::shared_ptr<Board>> boardsFromEnvironment()
{
    std::vector<std::shared_ptr<Board>> boards;
    for (const std::string& s : Bus::parseSerials(std::getenv(Bus::kEnvironmentVariable)))
        boards.push_back(std::make_shared<Board>(s));
    return boards;
}

} // namespace

std::vector<std::string> Bus::parseSerials(const char* value)
{
    if (!value)
        return {kDefaultSerial};
    std::vector<std::string> out;
    std::string item;
    const std::string text(value);
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        item = trimmed(
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!item.empty()) {
            item.resize(std::min(item.size(), kMaxSerialLength));
            if (std::find(out.begin(), out.end(), item) == out.end())
                out.push_back(item);
        }
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return out;
}

Bus::Bus() : m_boards(boardsFromEnvironment())
{
}

Bus& Bus::instance()
{
    static Bus bus;
    return bus;
}

std::vector<std::string> Bus::serials() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> out;
    for (const auto& b : m_boards)
        out.push_back(b->serial());
    return out;
}

std::vector<std::shared_ptr<Board>> Bus::boards() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boards;
}

std::shared_ptr<Board> Bus::board(const std::string& serial) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& b : m_boards)
        if (b->serial() == serial)
            return b;
    return nullptr;
}

std::shared_ptr<Board> Bus::attach(const std::string& serial)
{
    const std::string name = serial.substr(0, kMaxSerialLength);
    if (name.empty())
        return nullptr; // a board without a serial number cannot be opened by it
    std::shared_ptr<Board> added;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& b : m_boards)
            if (b->serial() == name)
                return b;
        added = std::make_shared<Board>(name);
        m_boards.push_back(added);
    }
    raise(true);
    return added;
}

void Bus::detach(const std::string& serial)
{
    std::shared_ptr<Board> removed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = std::find_if(m_boards.begin(), m_boards.end(),
                                     [&](const auto& b) { return b->serial() == serial; });
        if (it == m_boards.end())
            return;
        removed = *it;
        m_boards.erase(it);
    }
    removed->markDetached();
    raise(false);
}

void Bus::setDeviceChangeHook(std::function<void(bool arrived)> hook)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hook = std::move(hook);
}

void Bus::raise(bool arrived)
{
    std::function<void(bool)> hook;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        hook = m_hook;
    }
    if (hook)
        hook(arrived);
}

void Bus::resetToEnvironment()
{
    std::vector<std::shared_ptr<Board>> old;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        old.swap(m_boards);
        m_boards = boardsFromEnvironment();
    }
    for (const auto& b : old)
        b->endSession();
}

} // namespace boardsim

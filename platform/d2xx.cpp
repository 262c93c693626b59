// The D2XX calls served by the simulated bus. Handles are opaque ids looked
// up in a registry, so a stale or foreign handle can never be dereferenced.
#include "d2xx.h"

#include "Bus.h"

#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

using boardsim::Board;
using boardsim::PortStatus;

struct OpenHandle
{
    std::shared_ptr<Board> board;
    uint64_t session;
};

struct Registry
{
    std::mutex mutex;
    std::unordered_map<uintptr_t, OpenHandle> handles;
    uintptr_t nextId = 0x7A50001; // never 0, never reused
    std::vector<FT_DEVICE_LIST_INFO_NODE> deviceList;
    bool deviceListBuilt = false;
};

Registry& registry()
{
    static Registry r;
    return r;
}

const char kDescription[] = "Tessary TFT256";

bool lookup(FT_HANDLE h, OpenHandle& out)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto it = r.handles.find(reinterpret_cast<uintptr_t>(h));
    if (it == r.handles.end())
        return false;
    out = it->second;
    return true;
}

void forget(FT_HANDLE h)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.handles.erase(reinterpret_cast<uintptr_t>(h));
}

FT_STATUS toStatus(FT_HANDLE h, PortStatus st)
{
    switch (st) {
    case PortStatus::Ok:
        return FT_OK;
    case PortStatus::NotOpen:
        forget(h); // closed behind our back (the bus was reset)
        return FT_INVALID_HANDLE;
    case PortStatus::Detached:
    case PortStatus::ReadFailed:
        return FT_IO_ERROR;
    }
    return FT_IO_ERROR;
}

// Runs `call(board, session)` on an open handle and maps its result.
template <typename Call> FT_STATUS onHandle(FT_HANDLE h, Call call)
{
    OpenHandle open;
    if (!h || !lookup(h, open))
        return FT_INVALID_HANDLE;
    return toStatus(h, call(*open.board, open.session));
}

// Changes the recorded USB-chip settings of an open handle.
template <typename Change> FT_STATUS configure(FT_HANDLE h, Change change)
{
    return onHandle(h, [&](Board& b, uint64_t s) { return b.configurePort(s, change); });
}

// A missing buffer or count on a valid handle is the caller's mistake.
FT_STATUS badParameter(FT_HANDLE h)
{
    OpenHandle open;
    return h && lookup(h, open) ? FT_INVALID_PARAMETER : FT_INVALID_HANDLE;
}

FT_HANDLE handleOf(const std::shared_ptr<Board>& board)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const auto& entry : r.handles)
        if (entry.second.board == board &&
            board->check(entry.second.session) != PortStatus::NotOpen)
            return reinterpret_cast<FT_HANDLE>(entry.first);
    return nullptr;
}

void buildDeviceList()
{
    std::vector<FT_DEVICE_LIST_INFO_NODE> list;
    const auto boards = boardsim::Bus::instance().boards();
    for (std::size_t i = 0; i < boards.size(); ++i) {
        FT_DEVICE_LIST_INFO_NODE node;
        std::memset(&node, 0, sizeof node);
        node.Flags = boards[i]->isOpen() ? FT_FLAGS_OPENED : 0;
        node.LocId = DWORD(i + 1);
        std::strncpy(node.SerialNumber, boards[i]->serial().c_str(), sizeof node.SerialNumber - 1);
        std::strncpy(node.Description, kDescription, sizeof node.Description - 1);
        node.ftHandle = handleOf(boards[i]);
        list.push_back(node);
    }
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.deviceList = std::move(list);
    r.deviceListBuilt = true;
}

} // namespace

extern "C" {

FT_STATUS FT_CreateDeviceInfoList(LPDWORD lpdwNumDevs)
{
    if (!lpdwNumDevs)
        return FT_INVALID_PARAMETER;
    buildDeviceList();
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    *lpdwNumDevs = DWORD(r.deviceList.size());
    return FT_OK;
}

FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* pDest, LPDWORD lpdwNumDevs)
{
    if (!pDest || !lpdwNumDevs)
        return FT_INVALID_PARAMETER;
    Registry& r = registry();
    bool built;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        built = r.deviceListBuilt;
    }
    if (!built)
        buildDeviceList();
    // The list of the last FT_CreateDeviceInfoList: the caller sized pDest by it.
    std::lock_guard<std::mutex> lock(r.mutex);
    std::copy(r.deviceList.begin(), r.deviceList.end(), pDest);
    *lpdwNumDevs = DWORD(r.deviceList.size());
    return FT_OK;
}

FT_STATUS FT_OpenEx(PVOID pArg1, DWORD Flags, FT_HANDLE* pHandle)
{
    if (!pHandle || Flags != FT_OPEN_BY_SERIAL_NUMBER)
        return FT_INVALID_PARAMETER;
    if (!pArg1)
        return FT_DEVICE_NOT_FOUND;
    const auto board = boardsim::Bus::instance().board(static_cast<const char*>(pArg1));
    if (!board)
        return FT_DEVICE_NOT_FOUND;
    const uint64_t session = board->open();
    if (session == 0)
        return FT_DEVICE_NOT_OPENED;

    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const uintptr_t id = r.nextId++;
    r.handles.emplace(id, OpenHandle{board, session});
    *pHandle = reinterpret_cast<FT_HANDLE>(id);
    return FT_OK;
}

FT_STATUS FT_Close(FT_HANDLE ftHandle)
{
    OpenHandle open;
    if (!ftHandle || !lookup(ftHandle, open))
        return FT_INVALID_HANDLE;
    forget(ftHandle);
    if (open.board->check(open.session) == PortStatus::NotOpen)
        return FT_INVALID_HANDLE;
    open.board->close(open.session); // an unplugged board closes fine
    return FT_OK;
}

FT_STATUS FT_ResetDevice(FT_HANDLE ftHandle)
{
    return configure(ftHandle, [](boardsim::PortSettings& p) { ++p.resets; });
}

FT_STATUS FT_Purge(FT_HANDLE ftHandle, ULONG Mask)
{
    return onHandle(ftHandle, [Mask](Board& b, uint64_t s) {
        return b.purge(s, (Mask & FT_PURGE_RX) != 0, (Mask & FT_PURGE_TX) != 0);
    });
}

FT_STATUS FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable)
{
    return configure(ftHandle, [=](boardsim::PortSettings& p) {
        p.bitMask = ucMask;
        p.bitMode = ucEnable;
    });
}

FT_STATUS FT_SetUSBParameters(FT_HANDLE ftHandle, ULONG ulInTransferSize, ULONG ulOutTransferSize)
{
    return configure(ftHandle, [=](boardsim::PortSettings& p) {
        p.inTransferSize = ulInTransferSize;
        p.outTransferSize = ulOutTransferSize;
    });
}

FT_STATUS FT_SetFlowControl(FT_HANDLE ftHandle, USHORT FlowControl, UCHAR XonChar, UCHAR XoffChar)
{
    return configure(ftHandle, [=](boardsim::PortSettings& p) {
        p.flowControl = FlowControl;
        p.xonChar = XonChar;
        p.xoffChar = XoffChar;
    });
}

FT_STATUS FT_SetTimeouts(FT_HANDLE ftHandle, ULONG ReadTimeout, ULONG WriteTimeout)
{
    return configure(ftHandle, [=](boardsim::PortSettings& p) {
        p.readTimeoutMs = ReadTimeout;
        p.writeTimeoutMs = WriteTimeout;
    });
}

FT_STATUS FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                   LPDWORD lpBytesWritten)
{
    if (lpBytesWritten)
        *lpBytesWritten = 0;
    if (!lpBuffer && dwBytesToWrite > 0)
        return badParameter(ftHandle);
    return onHandle(ftHandle, [&](Board& b, uint64_t s) {
        const PortStatus st = b.write(s, static_cast<const uint8_t*>(lpBuffer), dwBytesToWrite);
        if (st == PortStatus::Ok && lpBytesWritten)
            *lpBytesWritten = dwBytesToWrite;
        return st;
    });
}

FT_STATUS FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead, LPDWORD lpBytesReturned)
{
    if (lpBytesReturned)
        *lpBytesReturned = 0;
    if (!lpBytesReturned || (!lpBuffer && dwBytesToRead > 0))
        return badParameter(ftHandle);
    return onHandle(ftHandle, [&](Board& b, uint64_t s) {
        std::size_t got = 0;
        const PortStatus st = b.read(s, static_cast<uint8_t*>(lpBuffer), dwBytesToRead, got);
        *lpBytesReturned = DWORD(got);
        return st;
    });
}

FT_STATUS FT_GetStatus(FT_HANDLE ftHandle, DWORD* lpdwAmountInRxQueue, DWORD* lpdwAmountInTxQueue,
                       DWORD* lpdwEventStatus)
{
    return onHandle(ftHandle, [&](Board& b, uint64_t s) {
        std::size_t rx = 0;
        const PortStatus st = b.queueStatus(s, rx);
        if (lpdwAmountInRxQueue)
            *lpdwAmountInRxQueue = DWORD(rx);
        if (lpdwAmountInTxQueue)
            *lpdwAmountInTxQueue = 0; // writes reach the board at once
        if (lpdwEventStatus)
            *lpdwEventStatus = 0;
        return st;
    });
}

} // extern "C"

// The chunk reader against a simulated board that follows a script taken
// from the input: answers in random pieces, stray bytes after a chunk, a
// stop, silence, and at the end failing reads or an unplugged board. Every
// frame handed on must be exactly the board's latest frame, and the reader
// must end with a failed read once the board is lost.
//
// The input is a list of events of four bytes each: what (its value modulo
// 6: pieces, stray bytes, stop, silence, reads fail, unplug; the quotient
// adds detail), how many chunk requests after the previous event it happens
// (modulo 8; bit 3 set: once part of that request's answer has been read),
// and a 16-bit argument. Reads failing or the unplug ends the list; a list
// without either ends with one of them two frames later.
//
// The script runs inside the reader's own calls to FT_Write and FT_Read
// (linked with --wrap), so each input takes the same course on every run.
#include "Bus.h"
#include "ChunkReader.h"
#include "FuzzSupport.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
FT_STATUS __real_FT_Write(FT_HANDLE, LPVOID, DWORD, LPDWORD);
FT_STATUS __real_FT_Read(FT_HANDLE, LPVOID, DWORD, LPDWORD);
}

namespace {

constexpr const char* kSerial = "FUZZ-CHUNKS";
constexpr int kMaxEvents = 16;
// Frames one input may read before the script is played to its end.
constexpr int kMaxFrames = 8;
constexpr int kPixels = 65536;

enum Kind { Pieces, Stray, Stop, Silence, ReadsFail, Unplug, kKinds };

struct Event
{
    int kind;
    unsigned detail;
    unsigned atRequest; // fires before the reader's request of this number,
    bool inAnswer;      // or once a read has brought part of its answer
    unsigned argument;
};

// Every pixel of frame `tag` holds the tag above its own index. Built once
// per tag and kept: the same few tags come up in every input.
const std::vector<uint8_t>& taggedFrame(uint32_t tag)
{
    static std::vector<std::vector<uint8_t>> frames;
    while (frames.size() <= tag) {
        std::vector<uint8_t> raw(std::size_t(kPixels) * 4);
        for (uint32_t i = 0; i < uint32_t(kPixels); ++i) {
            const uint32_t value = uint32_t(frames.size()) << 16 | i;
            for (int b = 0; b < 4; ++b)
                raw[4 * i + b] = uint8_t(value >> 8 * b);
        }
        frames.push_back(std::move(raw));
    }
    return frames[tag];
}

struct Peer
{
    std::shared_ptr<boardsim::Board> board;
    FT_HANDLE handle = nullptr;
    std::vector<Event> events;
    std::size_t next = 0;
    std::atomic<bool> running{true};

    unsigned requests = 0;
    int lastChunk = -1;
    DWORD answered = 0; // bytes read since the last request
    uint32_t framesPushed = 0;
    std::size_t maxPiece = 0;
    bool stopped = false;
    bool silent = false;
    bool lost = false;

    void fire(const Event& e)
    {
        switch (e.kind) {
        case Pieces:
            maxPiece = e.argument % 8 == 7 ? 0 : std::size_t(1024) << e.argument % 7;
            board->setDeliveryPieces(maxPiece, e.argument);
            break;
        case Stray:
            board->injectExtraBytesAfterNextChunk(1 + e.argument + (e.detail & 4 ? 65536 : 0),
                                                  e.detail % 4);
            break;
        case Stop:
            running = false;
            stopped = true;
            break;
        case Silence:
            board->setSilent(true);
            silent = true;
            break;
        case ReadsFail:
            board->setReadsFail(true);
            lost = true;
            break;
        case Unplug:
            boardsim::Bus::instance().detach(kSerial);
            lost = true;
            break;
        }
    }

    void fireUpTo(unsigned request, bool reading)
    {
        while (next < events.size() && events[next].atRequest <= request &&
               (reading || !events[next].inAnswer))
            fire(events[next++]);
    }

    void fireAll() { fireUpTo(~0u, true); }

    // The reader's chunk request, before the board sees it.
    void beforeRequest(const uint8_t* bytes, DWORD n)
    {
        fuzzCheck(n == 6 && bytes[0] == 0xFF && bytes[1] == 0xAA && bytes[2] == 0x00 &&
                      bytes[3] <= 3 && bytes[4] == 0x0D && bytes[5] == 0xEB,
                  "only chunk requests are sent");
        const int k = bytes[3];
        fuzzCheck(k == 0 || k == lastChunk + 1, "chunks are asked for in order, from chunk 0");
        fuzzCheck(k == 0 || answered == DWORD(ChunkReader::kChunkBytes),
                  "the next chunk is asked for once the last has come whole");
        lastChunk = k;
        answered = 0;
        fireUpTo(requests++, false);
        if (k == 0)
            board->pushFrame(taggedFrame(framesPushed++));
    }

    // How much of the read to pass on: what the board says has arrived.
    DWORD piece(DWORD n)
    {
        DWORD queued = 0, sending = 0, eventStatus = 0;
        if (maxPiece == 0 || FT_GetStatus(handle, &queued, &sending, &eventStatus) != FT_OK ||
            queued == 0)
            return n;
        return std::min(n, queued);
    }

    void afterRead(DWORD got)
    {
        answered += got;
        if (got > 0 && requests > 0)
            fireUpTo(requests - 1, true);
        // A silent board stays silent: the loss follows as soon as the reader
        // finds nothing to read.
        else if (silent && !lost)
            fireAll();
    }
};

Peer* peer = nullptr;

std::vector<Event> script(const uint8_t* data, std::size_t size)
{
    std::vector<Event> events;
    unsigned at = 0;
    for (std::size_t i = 0; i + 4 <= size && events.size() < kMaxEvents; i += 4) {
        at += data[i + 1] % 8;
        events.push_back({data[i] % kKinds, unsigned(data[i] / kKinds), at, (data[i + 1] & 8) != 0,
                          unsigned(data[i + 2] | data[i + 3] << 8)});
        if (events.back().kind == ReadsFail || events.back().kind == Unplug)
            return events;
    }
    // Two frames after the last event, the board is lost.
    events.push_back({size % 2 ? ReadsFail : Unplug, 0, at + 8, false, 0});
    return events;
}

// Checks the frame just read: one whole board frame, the latest one served.
void checkFrame(ChunkReader& reader)
{
    fuzzCheck(peer->lastChunk == 3, "a frame ends with chunk 3");
    fuzzCheck(peer->board->framesServed() == peer->framesPushed,
              "every frame came from the script");
    const uint8_t* latest = taggedFrame(peer->framesPushed - 1).data();
    for (int k = 0; k < 4; ++k)
        fuzzCheck(std::memcmp(reader.chunk(k), latest + k * ChunkReader::kChunkBytes,
                              ChunkReader::kChunkBytes) == 0,
                  "the frame is exactly the board's latest frame");
}

} // namespace

extern "C" FT_STATUS __wrap_FT_Write(FT_HANDLE handle, LPVOID buffer, DWORD n, LPDWORD written)
{
    if (peer && handle == peer->handle)
        peer->beforeRequest(static_cast<const uint8_t*>(buffer), n);
    return __real_FT_Write(handle, buffer, n, written);
}

extern "C" FT_STATUS __wrap_FT_Read(FT_HANDLE handle, LPVOID buffer, DWORD n, LPDWORD got)
{
    if (!peer || handle != peer->handle)
        return __real_FT_Read(handle, buffer, n, got);
    const bool lost = peer->lost;
    const FT_STATUS status = __real_FT_Read(handle, buffer, peer->piece(n), got);
    // A frame whose last piece came before the loss may still be handed on.
    fuzzCheck(!lost || status == FT_IO_ERROR, "every read after the loss fails");
    peer->afterRead(*got);
    return status;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    Peer state;
    state.events = script(data, size);
    state.board = boardsim::Bus::instance().attach(kSerial);
    fuzzCheck(state.board != nullptr, "the board is attached");
    state.board->setPaced(false);
    fuzzCheck(FT_OpenEx(const_cast<char*>(kSerial), FT_OPEN_BY_SERIAL_NUMBER, &state.handle) ==
                  FT_OK,
              "the board opens");
    // Short waits: an empty read returns at once and the script goes on.
    FT_SetTimeouts(state.handle, 2, 2);
    peer = &state;

    {
        FT_STATUS status = FT_OK;
        ChunkReader reader(state.handle, status, state.running, std::chrono::milliseconds(100));
        ChunkReader::Outcome outcome = ChunkReader::Outcome::Frame;
        for (int frames = 0; outcome == ChunkReader::Outcome::Frame && state.running; ++frames) {
            // Enough frames: the rest of the script happens at once.
            if (frames == kMaxFrames)
                state.fireAll();
            state.lastChunk = -1;
            outcome = reader.readFrame();
            if (outcome == ChunkReader::Outcome::Frame)
                checkFrame(reader);
        }
        fuzzCheck(outcome != ChunkReader::Outcome::Silent, "a lost board fails a read first");
        if (outcome == ChunkReader::Outcome::ReadFailed)
            fuzzCheck(state.lost && status == FT_IO_ERROR, "a failed read means a lost board");
        if (outcome == ChunkReader::Outcome::Abandoned)
            fuzzCheck(state.stopped, "only a stop abandons a frame");
        if (outcome == ChunkReader::Outcome::Frame)
            fuzzCheck(state.stopped, "the reader goes on until stopped or the board is lost");
    }

    peer = nullptr;
    FT_Close(state.handle);
    boardsim::Bus::instance().detach(kSerial);
    return 0;
}

#pragma once
// Two logs: a human one with every frame in and out (time, direction, hex), and a machine one
// with one JSON object per line (request decoded, reply sent, block or output write stored,
// bytes dropped). Both are flushed after every line so a test can read them while we run.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "tools/modsim/Bus.h"
#include "tools/modsim/FaultInjector.h"
#include "tools/modsim/FrameCodec.h"

namespace velor::modsim {

// JSON lines, without the trailing newline. `link` names the connection ("tcp#1", "pty").
std::string requestEventJson(const Exchange& ex, const Frame& frame, std::string_view link);
std::string replyEventJson(const Exchange& ex, const Delivery& delivery, std::string_view link);
std::string storeEventJson(const Exchange& ex, const StoredWrite& write);
std::string dropEventJson(const Dropped& dropped, std::string_view link);
std::string linkEventJson(std::string_view what, std::string_view link);

class EventLog {
public:
    // Null sinks switch a log off; the log does not own the files.
    void setFrameSink(std::FILE* sink) { frames_ = sink; }
    void setEventSink(std::FILE* sink) { events_ = sink; }

    void frame(std::string_view direction, std::string_view link, std::span<const std::uint8_t> b);
    void note(std::string_view link, std::string_view text);
    void event(const std::string& json);

    void exchange(const Exchange& ex, const Frame& frame, std::string_view link);
    void dropped(const Dropped& dropped, std::string_view link);

private:
    std::FILE* frames_ = nullptr;
    std::FILE* events_ = nullptr;
};

std::string localTimestamp();

}  // namespace velor::modsim

#include "tools/modsim/EventLog.h"

#include <chrono>
#include <ctime>

namespace velor::modsim {

namespace {

std::string jsonText(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        if (static_cast<unsigned char>(c) < 0x20) continue;
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string itemJson(const Item& item) {
    return "{\"area\":" + std::to_string(item.area) + ",\"start\":" + std::to_string(item.start) +
           ",\"count\":" + std::to_string(item.count) + "}";
}

std::string itemsJson(const Exchange& ex) {
    std::string out = "[";
    for (const auto& list : {&ex.reads, &ex.writeItems}) {
        for (const auto& item : *list) {
            if (out.size() > 1) out.push_back(',');
            out += itemJson(item);
        }
    }
    return out + "]";
}

std::string_view outcomeName(Exchange::Outcome outcome) {
    switch (outcome) {
        case Exchange::Outcome::Ack:
            return "ack";
        case Exchange::Outcome::Data:
            return "data";
        case Exchange::Outcome::Negative:
            return "negative";
        case Exchange::Outcome::Silent:
            break;
    }
    return "none";
}

}  // namespace

std::string requestEventJson(const Exchange& ex, const Frame& frame, std::string_view link) {
    std::string out = "{\"event\":";
    out += ex.probe ? "\"probe\"" : "\"request\"";
    out += ",\"link\":" + jsonText(link) + ",\"addr\":" + std::to_string(ex.address);
    out += ",\"present\":" + std::string(ex.present ? "true" : "false");
    if (!ex.probe) {
        out += ",\"code\":" + (ex.code ? std::to_string(*ex.code) : std::string("null"));
        out += ",\"items\":" + itemsJson(ex);
    }
    return out + ",\"hex\":\"" + toHex(frame.raw) + "\"}";
}

std::string replyEventJson(const Exchange& ex, const Delivery& delivery, std::string_view link) {
    std::string out = "{\"event\":\"reply\",\"link\":" + jsonText(link);
    out += ",\"addr\":" + std::to_string(ex.address) + ",\"kind\":\"" +
           std::string(outcomeName(ex.outcome)) + "\"";
    if (ex.outcome == Exchange::Outcome::Negative)
        out += ",\"fc\":" + std::to_string(ex.functionCode);
    Bytes sent;
    for (const auto& piece : delivery.pieces) sent.insert(sent.end(), piece.begin(), piece.end());
    out += ",\"dropped\":" + std::string(delivery.dropped ? "true" : "false");
    out += ",\"badChecksum\":" + std::string(delivery.corrupted ? "true" : "false");
    out += ",\"garbage\":" + std::to_string(delivery.garbageBytes);
    out += ",\"pieces\":" + std::to_string(delivery.pieces.size());
    out += ",\"delay\":" + std::to_string(delivery.delayMs);
    return out + ",\"hex\":\"" + toHex(sent) + "\"}";
}

// Configuration writes (area 1) are blocks; writes into the live data are output writes.
std::string storeEventJson(const Exchange& ex, const StoredWrite& write) {
    std::string out = write.area == kConfigArea ? "{\"event\":\"block\"" : "{\"event\":\"write\"";
    out += ",\"addr\":" + std::to_string(ex.address) + ",\"area\":" + std::to_string(write.area) +
           ",\"start\":" + std::to_string(write.start);
    if (write.area == kConfigArea) out += ",\"count\":" + std::to_string(write.data.size());
    return out + ",\"hex\":\"" + toHex(write.data) + "\"}";
}

std::string dropEventJson(const Dropped& dropped, std::string_view link) {
    return "{\"event\":\"drop\",\"link\":" + jsonText(link) +
           ",\"reason\":" + jsonText(dropped.reason) + ",\"hex\":\"" + toHex(dropped.bytes) + "\"}";
}

std::string linkEventJson(std::string_view what, std::string_view link) {
    return "{\"event\":" + jsonText(what) + ",\"link\":" + jsonText(link) + "}";
}

std::string localTimestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    // The simulator logs from one thread, so the shared result of localtime is safe here.
    const std::tm local = *std::localtime(&seconds);
    char text[32];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    char full[40];
    std::snprintf(full, sizeof full, "%s.%03d", text, static_cast<int>(ms.count()));
    return full;
}

void EventLog::frame(std::string_view direction, std::string_view link,
                     std::span<const std::uint8_t> bytes) {
    if (frames_ == nullptr) return;
    std::fprintf(frames_, "%s %-5.*s %-4.*s %s\n", localTimestamp().c_str(),
                 static_cast<int>(link.size()), link.data(), static_cast<int>(direction.size()),
                 direction.data(), toHex(bytes, true).c_str());
    std::fflush(frames_);
}

void EventLog::note(std::string_view link, std::string_view text) {
    if (frames_ == nullptr) return;
    std::fprintf(frames_, "%s %-5.*s %.*s\n", localTimestamp().c_str(),
                 static_cast<int>(link.size()), link.data(), static_cast<int>(text.size()),
                 text.data());
    std::fflush(frames_);
}

void EventLog::event(const std::string& json) {
    if (events_ == nullptr) return;
    std::fprintf(events_, "%s\n", json.c_str());
    std::fflush(events_);
}

void EventLog::exchange(const Exchange& ex, const Frame& frame, std::string_view link) {
    this->frame("in", link, frame.raw);
    event(requestEventJson(ex, frame, link));
    for (const auto& w : ex.writes) event(storeEventJson(ex, w));
    if (!ex.present) note(link, "no module at address " + std::to_string(ex.address) + ", silent");
}

void EventLog::dropped(const Dropped& dropped, std::string_view link) {
    note(link, "drop " + dropped.reason + ": " + toHex(dropped.bytes, true));
    event(dropEventJson(dropped, link));
}

}  // namespace velor::modsim

#include "tools/modsim/Bus.h"

namespace velor::modsim {

namespace {

constexpr std::size_t kHeaderBytes = 4;      // address, 0x40, third byte, request code
constexpr std::size_t kDescriptorBytes = 4;  // area, start low, start high, count
constexpr std::size_t kReplyPrefix = 3;      // address, 0x40, third byte

Item readDescriptor(std::span<const std::uint8_t> d) {
    return Item{d[0], static_cast<std::uint16_t>(d[1] | (d[2] << 8)), d[3]};
}

}  // namespace

bool Bus::addModule(int address, ModuleType type) {
    if (address < 0 || address > kMaxAddress) return false;
    modules_.insert_or_assign(address, Module(type));
    return true;
}

const Module* Bus::module(int address) const {
    const auto it = modules_.find(address);
    return it == modules_.end() ? nullptr : &it->second;
}

Module* Bus::module(int address) {
    const auto it = modules_.find(address);
    return it == modules_.end() ? nullptr : &it->second;
}

void Bus::forceNegative(std::uint8_t functionCode, std::optional<int> address) {
    forcedFc_ = functionCode;
    forcedAddress_ = address;
}

Exchange Bus::handle(const Frame& frame, std::int64_t nowMs) {
    Exchange ex;
    ex.probe = frame.kind == Frame::Kind::Short;
    if (frame.userData.empty()) return ex;
    ex.address = frame.userData[0];
    Module* target = module(ex.address);
    ex.present = target != nullptr;
    if (!ex.present) return ex;
    if (ex.probe) {
        ex.outcome = Exchange::Outcome::Ack;
        ex.reply = {kAck};
        return ex;
    }
    handleRequest(frame, *target, ex, nowMs);
    return ex;
}

void Bus::handleRequest(const Frame& frame, Module& module, Exchange& ex, std::int64_t nowMs) {
    const auto& user = frame.userData;
    if (user.size() >= kHeaderBytes) ex.code = user[3];
    if (forcedFc_ && (!forcedAddress_ || *forcedAddress_ == ex.address)) {
        negative(ex, *forcedFc_);
        return;
    }
    if (!ex.code) {
        negative(ex, kFcMalformed);
        return;
    }
    if (*ex.code != kCodeRead && *ex.code != kCodeWrite && *ex.code != kCodeReadWrite) {
        negative(ex, kFcUnknownCode);
        return;
    }
    if (!decodeItems(std::span(user).subspan(kHeaderBytes), ex)) {
        negative(ex, kFcMalformed);
        return;
    }
    if (const std::uint8_t fc = checkItems(module, ex); fc != 0) {
        negative(ex, fc);
        return;
    }
    // Writes first, so a read-and-write answers with the state it has just set.
    for (const auto& w : ex.writes) module.write(w.area, w.start, w.data);
    if (ex.reads.empty()) {
        ex.outcome = Exchange::Outcome::Ack;
        ex.reply = {kAck};
        return;
    }
    Bytes answer{user[0], user[1], user[2]};
    for (const auto& r : ex.reads) {
        const Bytes part = module.read(r.area, r.start, r.count, nowMs);
        answer.insert(answer.end(), part.begin(), part.end());
    }
    ex.outcome = Exchange::Outcome::Data;
    ex.reply = buildVariableFrame(answer);
}

// Read: one or more read descriptors, nothing else. Write: one write descriptor and exactly its
// data. Read-and-write: one read descriptor, then a write as above. Counts of 0 are malformed.
bool Bus::decodeItems(std::span<const std::uint8_t> body, Exchange& ex) const {
    const std::uint8_t code = *ex.code;
    if (code == kCodeRead) {
        if (body.empty() || body.size() % kDescriptorBytes != 0) return false;
        for (std::size_t at = 0; at < body.size(); at += kDescriptorBytes) {
            ex.reads.push_back(readDescriptor(body.subspan(at, kDescriptorBytes)));
        }
    } else {
        if (code == kCodeReadWrite) {
            if (body.size() < kDescriptorBytes) return false;
            ex.reads.push_back(readDescriptor(body.first(kDescriptorBytes)));
            body = body.subspan(kDescriptorBytes);
        }
        if (body.size() < kDescriptorBytes) return false;
        const Item w = readDescriptor(body.first(kDescriptorBytes));
        ex.writeItems.push_back(w);
        const auto data = body.subspan(kDescriptorBytes);
        if (data.size() != w.count) return false;
        ex.writes.push_back(StoredWrite{w.area, w.start, Bytes(data.begin(), data.end())});
    }
    std::size_t answerBytes = kReplyPrefix;
    for (const auto& item : ex.reads) {
        if (item.count == 0) return false;
        answerBytes += item.count;
    }
    for (const auto& item : ex.writeItems) {
        if (item.count == 0) return false;
    }
    return answerBytes <= kMaxUserData;  // the answer must fit one variable frame
}

std::uint8_t Bus::checkItems(const Module& module, const Exchange& ex) const {
    for (const auto& items : {&ex.reads, &ex.writeItems}) {
        for (const auto& item : *items) {
            if (!module.covers(item.area, item.start, item.count)) return kFcUnavailable;
        }
    }
    return 0;
}

void Bus::negative(Exchange& ex, std::uint8_t functionCode) const {
    ex.writes.clear();
    ex.outcome = Exchange::Outcome::Negative;
    ex.functionCode = functionCode;
    ex.reply = buildNegativeReply(ex.address, functionCode);
}

void addDemoModules(Bus& bus) {
    bus.addModule(1, ModuleType::Kalu);
    bus.addModule(2, ModuleType::Tev);
    bus.addModule(3, ModuleType::Tew);
    bus.addModule(4, ModuleType::Tevw);
    bus.addModule(5, ModuleType::Mokr);
}

}  // namespace velor::modsim

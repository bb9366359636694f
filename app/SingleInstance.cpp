#include "app/SingleInstance.h"

#include <utility>

namespace velor {

SingleInstance::SingleInstance(std::string name) : name_(std::move(name)) {}

SingleInstance::~SingleInstance() {
    release();
}

void SingleInstance::release() {
    guard_.reset();
}

}  // namespace velor

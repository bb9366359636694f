#include "modules/ConfigSend.h"

namespace velor {

ConfigTarget sendTarget(const ConfigState& c) {
    return chooseConfigTarget(c.SendBinaryInputs, c.SendBinaryOutputs, c.SendMokr, c.SendZepa);
}

ConfigBlock nextConfigBlock(ConfigState& c, ConfigTarget target, bool kaluSecondHalf,
                            std::span<std::uint8_t> zepaImage) {
    auto analog = c.AnalogImage.toBytes();
    auto binary = c.BinaryImage.toBytes();
    ConfigBlock block = configUserData(target, kaluSecondHalf, c.AnalogConfig.ModuleAddress,
                                       c.BinaryConfig.ModuleAddress, c.TargetBaudIndex,
                                       {analog, binary, zepaImage});
    if (target == ConfigTarget::Kalu) c.AnalogImage.decode(analog);
    if (target != ConfigTarget::Kalu && target != ConfigTarget::Zepa) c.BinaryImage.decode(binary);
    return block;
}

bool kaluHalfAfterFailedBlock(ConfigTarget target, bool kaluSecondHalf) {
    return target == ConfigTarget::Kalu ? false : kaluSecondHalf;
}

void setExchangeSteps(TransferRequest& request, std::uint16_t replyTimeout) {
    request.ReplyCode = 0;
    request.Steps.fill(TransferStep{});
    request.step(1) = TransferStep{kOpSendFrame, 0, replyTimeout};
    request.step(2) = TransferStep{kOpReceiveFrame, 0, replyTimeout};
    request.step(3) = TransferStep{kOpEnd, 0, 0};
}

}  // namespace velor

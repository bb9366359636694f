#include "monitor/ConfigSend.h"

namespace velor {

ConfigTarget SendTarget(const ConfigState& c) {
    return ChooseConfigTarget(c.SendBinaryInputs, c.SendBinaryOutputs, c.SendMokr, c.SendZepa);
}

ConfigBlock NextConfigBlock(ConfigState& c, ConfigTarget target, bool kaluSecondHalf,
                            std::span<std::uint8_t> zepaImage) {
    auto analog = c.AnalogImage.toBytes();
    auto binary = c.BinaryImage.toBytes();
    ConfigBlock block = ConfigUserData(target, kaluSecondHalf, c.AnalogConfig.ModuleAddress,
                                       c.BinaryConfig.ModuleAddress, c.TargetBaudIndex,
                                       {analog, binary, zepaImage});
    if (target == ConfigTarget::Kalu) c.AnalogImage.decode(analog);
    if (target != ConfigTarget::Kalu && target != ConfigTarget::Zepa) c.BinaryImage.decode(binary);
    return block;
}

bool KaluHalfAfterFailedBlock(ConfigTarget target, bool kaluSecondHalf) {
    return target == ConfigTarget::Kalu ? false : kaluSecondHalf;
}

void SetExchangeSteps(TransferRequest& request, std::uint16_t replyTimeout) {
    request.ReplyCode = 0;
    request.Steps.fill(TransferStep{});
    request.step(1) = TransferStep{kOpSendFrame, 0, replyTimeout};
    request.step(2) = TransferStep{kOpReceiveFrame, 0, replyTimeout};
    request.step(3) = TransferStep{kOpEnd, 0, 0};
}

}  // namespace velor

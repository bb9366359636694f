#include "comm/SerialDevices.h"

#include <QSerialPortInfo>
#include <cstdio>

namespace velor {

SerialDevice describePort(const QSerialPortInfo& port) {
    SerialDevice d;
    d.description = port.description().toStdString();
    d.manufacturer = port.manufacturer().toStdString();
    d.serialNumber = port.serialNumber().toStdString();
    d.hasUsbIds = port.hasVendorIdentifier() && port.hasProductIdentifier();
    d.vendorId = port.vendorIdentifier();
    d.productId = port.productIdentifier();
    return d;
}

std::string usbIdsText(const SerialDevice& device) {
    if (!device.hasUsbIds) return {};
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", device.vendorId, device.productId);
    return ids;
}

std::string linkTargetOf(const SerialDevice& device) {
    return device.byIdPath.empty() ? device.device : device.byIdPath;
}

}  // namespace velor

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devicelink/HidPlatform.h"

namespace halvik {

// The platform's description of one device interface, as it was when the device was listed.
// DeviceID is the identity used to match devices across rebuilds; DevicePath opens the device.
// A property the platform does not supply reads empty (text, list) or 0 (number).
class THidPnPInfo {
  public:
    explicit THidPnPInfo(HidInterfaceRecord record) : F(std::move(record)) {}

    uint32_t DeviceID() const { return F.DeviceID; }
    const std::string& DevicePath() const { return F.DevicePath; }
    const std::string& InstanceId() const { return F.InstanceId; }
    uint32_t Capabilities() const { return F.Capabilities; }
    const std::string& ClassDescr() const { return F.ClassDescr; }
    const std::string& ClassGUID() const { return F.ClassGUID; }
    const std::vector<std::string>& CompatibleIDs() const { return F.CompatibleIDs; }
    uint32_t ConfigFlags() const { return F.ConfigFlags; }
    const std::string& DeviceDescr() const { return F.DeviceDescr; }
    const std::string& Driver() const { return F.Driver; }
    const std::string& FriendlyName() const { return F.FriendlyName; }
    const std::vector<std::string>& HardwareID() const { return F.HardwareID; }
    const std::vector<std::string>& LowerFilters() const { return F.LowerFilters; }
    const std::string& Mfg() const { return F.Mfg; }
    const std::vector<std::string>& UpperFilters() const { return F.UpperFilters; }
    const std::string& Address() const { return F.Address; }
    uint32_t BusNumber() const { return F.BusNumber; }
    const std::string& BusType() const { return F.BusType; }
    const std::string& Characteristics() const { return F.Characteristics; }
    uint32_t DevType() const { return F.DevType; }
    const std::string& EnumeratorName() const { return F.EnumeratorName; }
    uint32_t Exclusive() const { return F.Exclusive; }
    uint32_t LegacyBusType() const { return F.LegacyBusType; }
    const std::string& LocationInfo() const { return F.LocationInfo; }
    const std::string& PhysDevObjName() const { return F.PhysDevObjName; }
    const std::string& SecuritySDS() const { return F.SecuritySDS; }
    const std::string& Service() const { return F.Service; }
    uint32_t UINumber() const { return F.UINumber; }
    const std::string& UINumberFormat() const { return F.UINumberFormat; }

    const HidInterfaceRecord& Record() const { return F; }

  private:
    HidInterfaceRecord F;
};

}  // namespace halvik

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ExportComponents.h"

#include <QPrinter>

#include "report/Distributor.h"

namespace halvik {

ExportComponents::ExportComponents(QWidget* window)
    : RpPage1(kDistributorWebAddress),
      RpPage2(kDistributorWebAddress),
      RpReport1(CreateRpReport1()),
      RpReport2(CreateRpReport2()),
      printer(std::make_unique<QPrinter>(QPrinter::HighResolution)),
      systemDialogs_(window) {}

ExportComponents::~ExportComponents() = default;

}  // namespace halvik

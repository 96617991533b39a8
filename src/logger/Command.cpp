// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Command.h"

#include <algorithm>

namespace halvik {

std::vector<std::uint8_t> CommandBytes(const pic18Report& report, std::size_t outputReportLength) {
    const std::uint8_t record[8] = {report.ReportID, report.LEDBits, report.dakika, report.saniye,
                                    report.gunn,     report.ay,      report.sene,   report.kontrol};
    std::vector<std::uint8_t> bytes(outputReportLength, 0);
    std::copy_n(record, std::min<std::size_t>(8, outputReportLength), bytes.begin());
    return bytes;
}

std::vector<std::uint8_t> CommandBytes(std::uint8_t command, std::size_t outputReportLength) {
    pic18Report report;
    report.LEDBits = command;
    return CommandBytes(report, outputReportLength);
}

}  // namespace halvik

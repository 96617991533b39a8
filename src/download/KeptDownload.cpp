// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/KeptDownload.h"

namespace halvik {

const char* ProgramVersion() {
    return HALVIK_VERSION;
}

Record RecordOfDownload(const DownloadEnd& end, std::chrono::sys_seconds downloadedAt) {
    Record record;
    if (!end.header.empty())
        record.header.assign(end.header.begin() + 1, end.header.end());
    record.readings = end.readings;
    record.downloadedAt = downloadedAt;
    record.host = LocalHostName();
    record.programVersion = ProgramVersion();
    record.unit = end.unit;
    record.complete = end.complete;
    return record;
}

std::vector<std::uint8_t> HeaderReportOf(const Record& record) {
    std::vector<std::uint8_t> report;
    report.reserve(record.header.size() + 1);
    report.push_back(0);
    report.insert(report.end(), record.header.begin(), record.header.end());
    return report;
}

}  // namespace halvik

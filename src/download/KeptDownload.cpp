// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/KeptDownload.h"

#include "Version.h"

namespace halvik {

namespace {

// Takes what the flow shows; a replay sends no commands.
class Replay : public DownloadFlow::Sink {
  public:
    explicit Replay(ReplayedDownload& shown) : shown_(shown) {}
    bool SendCommand(std::uint8_t, std::string& reason) override {
        reason = "a kept download sends no commands";
        return false;
    }
    void ShowHeader(const HeaderResult& header) override {
        if (header.accepted)
            shown_.header = header;
        shown_.headerProblem = header.problem;
    }
    void ShowReadings(const ParseResult& result) override { shown_.parse = result; }
    void ShowView(const DownloadView&) override {}
    void ShowProblem(const std::string& message) override { shown_.problem = message; }
    void DownloadEnded(const DownloadEnd&) override {}

  private:
    ReplayedDownload& shown_;
};

}  // namespace

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

ReplayedDownload ReplayRecord(const Record& record, TemperatureUnit unit,
                              const LocaleSettings& locale) {
    ReplayedDownload shown;
    Replay replay(shown);
    DownloadFlow flow(shown.state, shown.grid, locale, replay);
    flow.ShowKept(HeaderReportOf(record), record.readings, unit);
    shown.phase = flow.Phase();
    return shown;
}

}  // namespace halvik

// SPDX-License-Identifier: GPL-3.0-or-later
// The record loader on arbitrary file contents: anything that is not a record this program can
// read is refused with RecordError; a record that loads can be written again (when it is one the
// program could have kept), exported as CSV and shown through the download flow as the window and
// halvik-cli show it, with one row per reading that arrived.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "download/DownloadFlow.h"
#include "download/KeptDownload.h"
#include "records/Csv.h"
#include "records/Record.h"

using namespace halvik;

namespace {

struct QuietSink : DownloadFlow::Sink {
    bool SendCommand(std::uint8_t, std::string& reason) override {
        reason = "no card";
        return false;
    }
    void ShowHeader(const HeaderResult&) override {}
    void ShowReadings(const ParseResult& result) override { points = result.points.size(); }
    void ShowView(const DownloadView&) override {}
    void ShowProblem(const std::string&) override {}
    void DownloadEnded(const DownloadEnd&) override {}
    std::size_t points = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    LoadedRecord loaded;
    try {
        loaded = ParseRecord(text, "fuzz.halvik");
    } catch (const RecordError&) {
        return 0;
    }
    const Record& record = loaded.record;
    if (RecordProblem(record).empty()) {
        const LoadedRecord again = ParseRecord(RecordText(record), "again.halvik");
        FUZZ_CHECK(again.intact);
        FUZZ_CHECK(again.record == record);
    }
    const std::string csv = RecordCsv(record);
    FUZZ_CHECK(!csv.empty() && csv.back() == '\n');

    DownloadState state;
    CellStore grid;
    const LocaleSettings locale;
    QuietSink sink;
    DownloadFlow flow(state, grid, locale, sink);
    try {
        flow.ShowKept(HeaderReportOf(record), record.readings, record.unit);
    } catch (const std::exception&) {
        return 0;
    }
    FUZZ_CHECK(static_cast<int>(sink.points) == RecordReadingsReceived(record));
    FUZZ_CHECK(grid.rowCount() == RecordReadingsReceived(record) + 1);
    return 0;
}

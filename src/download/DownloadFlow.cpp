// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/DownloadFlow.h"

#include <algorithm>
#include <stdexcept>

#include "logger/Command.h"
#include "logger/Conversions.h"
#include "logger/Header.h"
#include "logger/LogClock.h"

namespace halvik {

namespace {

std::vector<std::uint8_t> ReportBytes(std::uint8_t reportId, const std::uint8_t* data,
                                      std::size_t size) {
    std::vector<std::uint8_t> report;
    report.reserve(size + 1);
    report.push_back(reportId);
    if (data != nullptr)
        report.insert(report.end(), data, data + size);
    return report;
}

}  // namespace

DownloadFlow::DownloadFlow(DownloadState& state, CellStore& grid, const LocaleSettings& locale,
                           Sink& sink, Clock clock)
    : state_(state), grid_(grid), locale_(locale), sink_(sink), clock_(std::move(clock)) {}

std::chrono::steady_clock::time_point DownloadFlow::Now() const {
    return clock_ ? clock_() : std::chrono::steady_clock::now();
}

std::size_t DownloadFlow::ExpectedBytes() const {
    return 2 * static_cast<std::size_t>(std::max(state_.RecordCount, 0));
}

void DownloadFlow::Publish() {
    sink_.ShowView(view_);
}

// ---- The card ----

bool DownloadFlow::CardConnected(bool stayed, bool accessible) {
    cardPresent_ = true;
    view_.connection = "Connected";
    if (phase_ == DownloadPhase::Staging && stayed) {
        // Another device came or went: asking for the header now would hand the rest of the
        // readings to the header handler.
        view_.downloadEnabled = true;
        Publish();
        return false;
    }
    // After "Downloaded" the same card is not offered again; a card plugged in anew is.
    view_.downloadEnabled = !(phase_ == DownloadPhase::Downloaded && stayed);
    if (!accessible) {
        awaitingHeader_ = false;
        if (!stayed)
            sink_.ShowProblem(kNoCardAccessMessage);
        Publish();
        return false;
    }
    std::string reason;
    awaitingHeader_ = sink_.SendCommand(kCommandSendHeader, reason);
    Publish();
    if (!awaitingHeader_ && !stayed)
        sink_.ShowProblem("The card did not take the command: " + reason);
    return true;
}

void DownloadFlow::CardGone() {
    cardPresent_ = false;
    awaitingHeader_ = false;
    view_.connection = "Not Connected";
    view_.downloadEnabled = false;
    state_.PidText.clear();
    if (phase_ == DownloadPhase::Staging) {
        Finish(false, "The card was unplugged during the download");
        return;
    }
    view_.resultsEnabled = resultsShown_;
    Publish();
}

void DownloadFlow::CardStoppedAnswering(const std::string& reason) {
    const std::string what = "The card stopped answering: " + reason;
    if (phase_ == DownloadPhase::Staging) {
        Finish(false, what);
        return;
    }
    // No header can come any more: DOWNLOAD says so rather than waiting for it.
    awaitingHeader_ = false;
    sink_.ShowProblem(what + ". Plug the card in again.");
}

void DownloadFlow::HeaderReport(std::uint8_t reportId, const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> report = ReportBytes(reportId, data, size);
    if (resultsShown_ && report != header_) {
        // The grid shows a download: another card's header waits for DOWNLOAD instead of giving
        // those readings the other card's dates.
        awaitingHeader_ = false;
        pendingHeader_ = std::move(report);
        return;
    }
    pendingHeader_.clear();
    const HeaderResult header = ApplyHeaderReport(state_, grid_, reportId, data, size, locale_);
    if (header.accepted) {
        awaitingHeader_ = false;
        header_ = report;
    }
    sink_.ShowHeader(header);
    // A header with a problem is re-read after every device-list change: say it once.
    if (!header.problem.empty() && report != problemHeader_) {
        problemHeader_ = report;
        sink_.ShowProblem(header.problem);
    }
}

// ---- The download ----

bool DownloadFlow::Download(TemperatureUnit unit) {
    if (!pendingHeader_.empty()) {
        // A new card's header: its download replaces what the grid shows.
        resultsShown_ = false;
        view_.resultsEnabled = false;
        std::vector<std::uint8_t> pending = std::move(pendingHeader_);
        pendingHeader_.clear();
        HeaderReport(pending[0], pending.data() + 1, pending.size() - 1);
        Publish();
    }
    StartLogClock(state_);  // fails before anything else changes when no header came yet
    if (awaitingHeader_ && cardPresent_) {
        // The card's answer to the header command is still on its way: it would arrive at the
        // download handler and shift every reading by a report.
        throw std::runtime_error(
            "The card has not sent its header yet. Please press DOWNLOAD again in a moment.");
    }
    const int count = TextToInt(state_.RecordCountText);
    if (count <= 0) {
        // An empty card: nothing to download, and no staging that could never end.
        view_.status = "No Readings";
        Publish();
        return false;
    }
    if (!cardPresent_)
        throw std::runtime_error("No logger card is connected.");

    const bool restart = phase_ != DownloadPhase::Staging;
    if (phase_ == DownloadPhase::Staging && unit != unit_)
        unit = unit_;  // the unit is fixed from DOWNLOAD to the end of the download
    std::string reason;
    if (!sink_.SendCommand(kCommandSendReadings, reason)) {
        sink_.ShowProblem("The card did not take the command: " + reason);
        return false;
    }
    if (restart) {
        received_.clear();
        state_.DownloadText.clear();
        resultsShown_ = false;
    }
    unit_ = unit;
    grid_.setCell(3, 0, TemperatureCaption(unit));
    phase_ = DownloadPhase::Staging;
    const auto now = Now();
    lastReport_ = now;
    // The staging timer's ten ticks stay as the outer bound for a card that keeps sending too
    // slowly, with the stall time added so that a small card's bound never cuts a stall short.
    deadline_ = now + std::chrono::milliseconds(10 * TimerInterval(state_)) + kStallTime;
    view_.status = "Please Wait";
    // The count was read from the header's text: a record count that disagrees with it must not
    // become a division by zero.
    const std::size_t expected = ExpectedBytes();
    view_.progress = expected > 0 ? static_cast<int>(received_.size() * 100 / expected) : 0;
    view_.busy = true;
    view_.downloadEnabled = true;
    view_.resultsEnabled = false;
    view_.unitEnabled = false;
    Publish();
    return true;
}

void DownloadFlow::ReadingReport(std::uint8_t, const std::uint8_t* data, std::size_t size) {
    if (phase_ != DownloadPhase::Staging)
        return;  // the tail of a stream whose download already ended
    lastReport_ = Now();
    received_.insert(received_.end(), data, data + (data != nullptr ? size : 0));
    AppendReadingBytes(state_, data, data != nullptr ? size : 0);
    const std::size_t expected = ExpectedBytes();
    if (received_.size() >= expected) {
        Finish(true, {});
        return;
    }
    const int progress = static_cast<int>(received_.size() * 100 / expected);
    if (progress != view_.progress) {
        view_.progress = progress;
        Publish();
    }
}

void DownloadFlow::Tick() {
    if (phase_ != DownloadPhase::Staging)
        return;
    const auto now = Now();
    if (now - lastReport_ >= kStallTime)
        Finish(false, "The card stopped sending");
    else if (now >= deadline_)
        Finish(false, "The card did not send all its readings in time");
}

void DownloadFlow::ShowKept(const std::vector<std::uint8_t>& header,
                            const std::vector<std::uint8_t>& readings, TemperatureUnit unit) {
    if (header.empty())
        throw std::runtime_error("The kept download has no header report.");
    if (phase_ == DownloadPhase::Staging)
        throw std::runtime_error("A download is under way.");
    // The plugged card's header (if any) waits for DOWNLOAD, as another card's does.
    std::vector<std::uint8_t> cardHeader = pendingHeader_.empty() ? header_ : pendingHeader_;
    if (!cardPresent_)
        cardHeader.clear();
    resultsShown_ = false;
    pendingHeader_.clear();
    HeaderReport(header[0], header.data() + 1, header.size() - 1);
    if (header_ != header)
        throw std::runtime_error("The kept download's header report cannot be read.");
    StartLogClock(state_);
    unit_ = unit;
    grid_.setCell(3, 0, TemperatureCaption(unit));
    received_ = readings;
    state_.DownloadText.clear();
    AppendReadingBytes(state_, received_.data(), received_.size());
    phase_ = DownloadPhase::Staging;
    Finish(received_.size() >= ExpectedBytes(), {}, false);
    if (!cardHeader.empty() && cardHeader != header_)
        pendingHeader_ = std::move(cardHeader);
    view_.downloadEnabled = cardPresent_;  // a plugged card can still be downloaded
    Publish();
}

void DownloadFlow::Finish(bool complete, const std::string& reason, bool keep) {
    const int announced = state_.RecordCount;
    const int arrived = static_cast<int>(
        std::min<std::size_t>(received_.size() / 2, static_cast<std::size_t>(announced)));
    const int shown = complete ? announced : arrived;

    ParseResult result;
    try {
        ParseReadings(state_, grid_, unit_, locale_, result, shown);
    } catch (const std::exception& e) {
        phase_ = DownloadPhase::Failed;
        resultsShown_ = false;
        view_.status = "Download Failed";
        view_.progress = 0;
        view_.busy = false;
        view_.resultsEnabled = false;
        view_.downloadEnabled = cardPresent_;
        view_.unitEnabled = true;
        Publish();
        sink_.ShowProblem(e.what());
        return;
    }
    sink_.ShowReadings(result);

    resultsShown_ = shown > 0;
    view_.busy = false;
    if (complete) {
        phase_ = DownloadPhase::Downloaded;
        view_.status = "Downloaded";
        view_.progress = 100;
        view_.resultsEnabled = true;
        view_.downloadEnabled = false;
        view_.unitEnabled = false;
    } else {
        phase_ = DownloadPhase::Incomplete;
        view_.status = "Incomplete: " + IntText(arrived) + " of " + IntText(announced);
        view_.progress = announced > 0 ? arrived * 100 / announced : 0;
        view_.resultsEnabled = resultsShown_;
        view_.downloadEnabled = cardPresent_;
        view_.unitEnabled = !resultsShown_;
    }
    Publish();

    if (!reason.empty()) {
        std::string message =
            reason + ": " + IntText(arrived) + " of " + IntText(announced) + " readings arrived.";
        message += arrived > 0 ? " They are shown and kept." : " Nothing could be shown.";
        if (cardPresent_)
            message += " Press DOWNLOAD to try again.";
        sink_.ShowProblem(message);
    }
    if (!keep)
        return;
    DownloadEnd end;
    end.complete = complete;
    end.announced = announced;
    end.received = shown;
    end.unit = unit_;
    end.header = header_;
    end.readings = received_;
    end.reason = reason;
    sink_.DownloadEnded(end);
}

}  // namespace halvik

// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CardCommands.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "cli/Output.h"
#include "cli/RecordSummary.h"
#include "devicelink/linux/LinuxHidPlatform.h"
#include "devicelink/sim/CardPace.h"
#include "devicelink/sim/LoggerCard.h"
#include "devicelink/sim/SimHidPlatform.h"
#include "download/CardSession.h"
#include "download/KeptDownload.h"
#include "records/Csv.h"
#include "records/RecordStore.h"

namespace halvik::cli {

namespace {

using namespace std::chrono_literals;

// How long a card has to answer the header request.
constexpr auto kHeaderTimeout = 5s;

// The platform the cards are on, with the simulated cards plugged in.
class Cards {
  public:
    explicit Cards(const CardSource& source) {
        if (source.simImages.empty()) {
            platform_ = std::make_unique<LinuxHidPlatform>();
            return;
        }
        const std::optional<DemoPace> pace = ParseDemoPace(source.pace);
        if (!pace)
            throw UsageError("unknown pace '" + source.pace +
                             "': use fast, usb-fs or stall-after:N");
        auto sim = std::make_unique<SimHidPlatform>();
        for (const std::string& path : source.simImages) {
            auto card = std::make_unique<SimLoggerCard>(*sim, LoggerCardImage::Load(path, false),
                                                        pace->pace);
            card->SetReadingReportLimit(pace->readingReportLimit);
            card->Plug();
            cards_.push_back(std::move(card));
        }
        platform_ = std::move(sim);
    }
    ~Cards() { cards_.clear(); }
    IHidPlatform& platform() { return *platform_; }

  private:
    std::unique_ptr<IHidPlatform> platform_;
    std::vector<std::unique_ptr<SimLoggerCard>> cards_;
};

// A progress bar on standard error while a download runs, when that is a terminal.
class ProgressBar {
  public:
    ProgressBar() : shown_(::isatty(STDERR_FILENO) == 1) {}
    ~ProgressBar() { Done(); }
    void Show(const DownloadView& view) {
        // While the download runs, and its last state (100 %, or how far an incomplete one got).
        if (!shown_ || (!view.busy && !drawn_))
            return;
        constexpr int kWidth = 40;
        const int filled = view.progress * kWidth / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%% %-24.24s", std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, ' ').c_str(), view.progress, view.status.c_str());
        std::fflush(stderr);
        drawn_ = true;
    }
    void Done() {
        if (drawn_)
            std::fputc('\n', stderr);
        drawn_ = false;
    }

  private:
    bool shown_;
    bool drawn_ = false;
};

std::string Pid(const std::string& pidText) {
    std::string pid = pidText;
    while (!pid.empty() && pid.back() == ' ')
        pid.pop_back();
    return pid;
}

}  // namespace

int ListCards(const CardSource& source) {
    Cards cards(source);
    const LocaleSettings locale;
    CardSession session(cards.platform(), locale);
    const std::vector<CardSession::Card> found = session.Cards();
    if (found.empty()) {
        Problem("no logger card is plugged in");
        return 0;
    }
    int status = 0;
    for (const CardSession::Card& card : found) {
        if (!card.accessible) {
            std::printf("%s  no access: %s\n", card.path.c_str(),
                        DownloadFlow::kNoCardAccessMessage);
            continue;
        }
        try {
            session.Connect(card.path);
        } catch (const std::exception& e) {
            std::printf("%s  cannot be opened: %s\n", card.path.c_str(), e.what());
            status = 2;
            continue;
        }
        if (session.WaitForHeader(kHeaderTimeout)) {
            std::printf("%s  PID %s  %d readings  ok\n", card.path.c_str(),
                        Pid(session.state().PidText).c_str(), session.state().RecordCount);
        } else {
            std::printf("%s  no answer to the header request\n", card.path.c_str());
            status = 2;
        }
        session.Disconnect();
    }
    return status;
}

int DownloadCard(const CardSource& source, const DownloadOptions& options) {
    // A profile that cannot be used stops the command before the card is touched.
    const std::optional<NamedProfile> requested =
        RequestedProfile(options.review, std::nullopt, options.unit);
    Cards cards(source);
    const LocaleSettings locale;
    CardSession session(cards.platform(), locale);
    ProgressBar bar;
    std::string where = options.card;
    std::vector<std::string> problems;
    session.hooks.view = [&bar](const DownloadView& view) { bar.Show(view); };
    session.hooks.problem = [&problems](const std::string& message) {
        problems.push_back(message);
    };
    try {
        session.Connect(options.card);
    } catch (const std::runtime_error& e) {
        Problem(e.what());
        return 2;
    }
    if (where.empty())
        where = session.Cards().front().path;
    if (!session.WaitForHeader(kHeaderTimeout)) {
        Problem(where + ": the card did not answer the header request");
        return 2;
    }
    const bool ran = session.DownloadAll(options.unit);
    bar.Done();
    // The window's advice to press DOWNLOAD reads, in a terminal, as running the command again.
    for (std::string message : problems) {
        if (const auto at = message.find(" Press DOWNLOAD to try again."); at != message.npos)
            message.replace(at, std::string::npos, " Run the download again.");
        Problem(where + ": " + message);
    }
    if (!ran) {
        if (problems.empty())
            Problem(where + ": the card holds no readings; nothing was kept");
        return 2;
    }
    session.Disconnect();

    const Record record = RecordOfDownload(
        session.lastEnd(),
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
    const KeptRecord kept = KeepRecord(record, RecordFolder());
    if (kept.alreadyKept)
        Problem(EscapedName(kept.path.string()) + ": this download was already kept");

    // With the CSV on standard output the summary goes to standard error. A CSV that cannot be
    // written is said after the summary and the record's name: the record was kept all the same.
    std::FILE* summaryOut = stdout;
    std::string csvProblem;
    if (options.csv) {
        try {
            const std::string csv = RecordCsv(record, options.timeBase);
            if (*options.csv == "-") {
                summaryOut = stderr;
                WriteStdout(csv);
            } else {
                WriteFileAtomically(*options.csv, csv);
            }
        } catch (const std::exception& e) {
            csvProblem = e.what();
        }
    }
    ShownRecord shown;
    shown.file = kept.path.string();
    shown.summary = SummariseRecord(record, record.unit);
    shown.timeBase = options.timeBase;
    shown.review = ReviewDownload(record, shown.summary, options.review, requested);
    std::fputs(SummaryText(shown).c_str(), summaryOut);
    std::fprintf(summaryOut, "record: %s\n", EscapedName(kept.path.string()).c_str());
    if (options.review.failOnAlarm && !shown.review)
        Problem("--fail-on-alarm: no limit profile applies to this card");
    if (!csvProblem.empty()) {
        std::fflush(summaryOut);
        Problem(csvProblem);
        return 2;
    }
    if (options.review.failOnAlarm && (!shown.review || shown.review->verdict == Verdict::Alarm))
        return 1;
    return record.complete ? 0 : 1;
}

}  // namespace halvik::cli

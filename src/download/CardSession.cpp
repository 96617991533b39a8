// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/CardSession.h"

#include <poll.h>

namespace halvik {

CardSession::CardSession(IHidPlatform& platform, const LocaleSettings& locale,
                         DownloadFlow::Clock clock, CardLink::Choice choice)
    : flow_(state_, grid_, locale, *this, std::move(clock)),
      link_(platform, mainThread_, flow_, choice) {
    mainThread_.RunPending();  // the controller's first rebuild
}

CardSession::~CardSession() {
    link_.Close();
}

void CardSession::Connect(const std::string& path) {
    headerSeen_ = false;
    link_.Connect(path);
}

void CardSession::PumpOnce(int waitMs) {
    mainThread_.RunPendingFor(waitMs);
    const int fd = link_.NotificationFd();
    if (fd >= 0) {
        pollfd watch{fd, POLLIN, 0};
        while (::poll(&watch, 1, 0) > 0 && (watch.revents & POLLIN) != 0)
            link_.HandleNotification();
    }
    const auto now = std::chrono::steady_clock::now();
    if (link_.TicksWanted() && now >= nextTick_) {
        nextTick_ = now + std::chrono::milliseconds(DownloadFlow::kTickMs);
        link_.Tick();
    }
}

void CardSession::Pump(std::chrono::milliseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < deadline)
        PumpOnce(2);
}

bool CardSession::WaitForHeader(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!headerSeen_ && link_.HasCard() && std::chrono::steady_clock::now() < deadline)
        PumpOnce(2);
    return headerSeen_;
}

bool CardSession::StartDownload(TemperatureUnit unit) {
    ended_ = false;
    if (!link_.Download(unit))
        return false;
    nextTick_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(DownloadFlow::kTickMs);
    return true;
}

bool CardSession::DownloadAll(TemperatureUnit unit) {
    if (!StartDownload(unit))
        return false;
    while (link_.TicksWanted())
        PumpOnce(1);
    return ended_;
}

// ---- What the flow asks for ----

bool CardSession::SendCommand(std::uint8_t command, std::string& reason) {
    return link_.SendCommand(command, reason);
}

void CardSession::ShowHeader(const HeaderResult& header) {
    if (header.accepted && !state_.RecordCountText.empty())
        headerSeen_ = true;
}

void CardSession::ShowView(const DownloadView& view) {
    if (hooks.view)
        hooks.view(view);
}

void CardSession::ShowProblem(const std::string& message) {
    if (hooks.problem)
        hooks.problem(message);
}

void CardSession::DownloadEnded(const DownloadEnd& end) {
    lastEnd_ = end;
    ended_ = true;
}

}  // namespace halvik

// SPDX-License-Identifier: GPL-3.0-or-later
// halvik-card-sim: a virtual logger card. It creates a HID device with vendor and product 0x3543
// through /dev/uhid and answers the header and download commands from a card image, so that
// Halvik finds it like a real card.
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <string>

#include "devicelink/sim/LoggerCard.h"

namespace {

using halvik::kCardProductId;
using halvik::kCardVendorId;
using halvik::LoggerCardImage;
using halvik::LoggerCardModel;

// Vendor-defined page, one 64-byte input and one 64-byte output report, no report IDs: what the
// card declares.
const uint8_t kReportDescriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x02,
                                     0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40,
                                     0x81, 0x02, 0x09, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x00,
                                     0x75, 0x08, 0x95, 0x40, 0x91, 0x02, 0xC0};

volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int) {
    stopRequested = 1;
}

void Usage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: halvik-card-sim [--interval-us N] [CARD_IMAGE]\n"
                 "Creates a virtual temperature-logger card (USB HID 3543:3543) through /dev/uhid\n"
                 "and serves CARD_IMAGE: 64 header bytes, then two bytes per reading. Without\n"
                 "CARD_IMAGE a demo card with one day of readings is served. Input reports go out\n"
                 "one every N microseconds (default 1000). Stop with Ctrl+C, which unplugs it.\n");
}

// A day of readings (one every six minutes) around 4 °C, starting at the current hour (UTC).
LoggerCardImage DemoCard() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    halvik::CardDateTime first;
    first.year = utc.tm_year + 1900;
    first.month = utc.tm_mon + 1;
    first.day = utc.tm_mday;
    first.hour = utc.tm_hour;
    std::vector<halvik::CardReading> readings;
    for (int i = 0; i < 240; ++i) {
        const double celsius = 4.0 + 1.5 * std::sin(i * 2 * M_PI / 240.0) + ((i * 7) % 5) * 0.125;
        readings.push_back(halvik::EncodeReading(celsius));
    }
    return LoggerCardImage::Make({0x12, 0x34, 0x56, 0x78, 0x9A}, first, readings);
}

bool Send(int fd, const uhid_event& event) {
    return ::write(fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
}

}  // namespace

int main(int argc, char** argv) {
    std::string imagePath;
    long intervalUs = 1000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            Usage(stdout);
            return 0;
        }
        if (arg == "--interval-us" && i + 1 < argc) {
            char* end = nullptr;
            intervalUs = std::strtol(argv[++i], &end, 10);
            if (!end || *end || intervalUs < 0 || intervalUs > 10000000) {
                std::fprintf(stderr, "halvik-card-sim: --interval-us needs 0 to 10000000\n");
                return 2;
            }
        } else if (!arg.empty() && arg[0] == '-') {
            Usage(stderr);
            return 2;
        } else if (imagePath.empty()) {
            imagePath = arg;
        } else {
            Usage(stderr);
            return 2;
        }
    }

    LoggerCardImage image;
    try {
        image = imagePath.empty() ? DemoCard() : LoggerCardImage::Load(imagePath);
    } catch (const halvik::CardImageError& e) {
        std::fprintf(stderr, "halvik-card-sim: %s\n", e.what());
        return 1;
    }
    const LoggerCardModel model(image);

    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENODEV || error == ENXIO) {
            std::fprintf(stderr,
                         "halvik-card-sim: /dev/uhid is missing: this system cannot create virtual "
                         "HID devices (the kernel needs the uhid module: modprobe uhid)\n");
        } else if (error == EACCES || error == EPERM) {
            std::fprintf(stderr,
                         "halvik-card-sim: /dev/uhid is not permitted for this user: run it as "
                         "root, or give your user access to /dev/uhid\n");
        } else {
            std::fprintf(stderr, "halvik-card-sim: cannot open /dev/uhid: %s\n",
                         std::strerror(error));
        }
        return 1;
    }

    uhid_event create{};
    create.type = UHID_CREATE2;
    std::snprintf(reinterpret_cast<char*>(create.u.create2.name), sizeof create.u.create2.name,
                  "Halvik virtual logger card");
    std::snprintf(reinterpret_cast<char*>(create.u.create2.phys), sizeof create.u.create2.phys,
                  "halvik-card-sim");
    std::snprintf(reinterpret_cast<char*>(create.u.create2.uniq), sizeof create.u.create2.uniq,
                  "%02X%02X%02X%02X%02X", image.Header()[0], image.Header()[1], image.Header()[2],
                  image.Header()[3], image.Header()[4]);
    create.u.create2.rd_size = sizeof kReportDescriptor;
    std::memcpy(create.u.create2.rd_data, kReportDescriptor, sizeof kReportDescriptor);
    create.u.create2.bus = 0x03;  // USB
    create.u.create2.vendor = kCardVendorId;
    create.u.create2.product = kCardProductId;
    create.u.create2.version = 0x0100;
    if (!Send(fd, create)) {
        std::fprintf(stderr, "halvik-card-sim: the kernel refused the virtual card: %s\n",
                     std::strerror(errno));
        ::close(fd);
        return 1;
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    std::printf(
        "halvik-card-sim: virtual card 3543:3543 ready, PID %02X %02X %02X %02X %02X, "
        "%zu readings. Ctrl+C unplugs it.\n",
        image.Header()[0], image.Header()[1], image.Header()[2], image.Header()[3],
        image.Header()[4], image.ReadingCount());
    std::fflush(stdout);

    std::deque<std::vector<uint8_t>> outbox;
    auto nextSend = std::chrono::steady_clock::now();
    int status = 0;
    while (!stopRequested) {
        int timeoutMs = -1;
        if (!outbox.empty()) {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                nextSend - std::chrono::steady_clock::now());
            timeoutMs = static_cast<int>(std::max<long>(0, wait.count()));
        }
        pollfd p = {fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeoutMs);
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "halvik-card-sim: %s\n", std::strerror(errno));
            status = 1;
            break;
        }
        if (ready > 0 && (p.revents & POLLIN)) {
            uhid_event event{};
            const ssize_t n = ::read(fd, &event, sizeof event);
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN)
                    continue;
                std::fprintf(stderr, "halvik-card-sim: %s\n", std::strerror(errno));
                status = 1;
                break;
            }
            if (event.type == UHID_OUTPUT) {
                // uhid passes the output report with its report-ID byte (0) in front.
                const uint8_t* data = event.u.output.data;
                std::size_t size = event.u.output.size;
                if (size == 65 && data[0] == 0) {
                    ++data;
                    --size;
                }
                for (auto& report : model.Answer(data, size))
                    outbox.push_back(std::move(report));
                if (size > 0) {
                    std::printf("halvik-card-sim: command %u, %zu report%s to send\n", data[0],
                                outbox.size(), outbox.size() == 1 ? "" : "s");
                    std::fflush(stdout);
                }
            } else if (event.type == UHID_GET_REPORT) {
                uhid_event reply{};
                reply.type = UHID_GET_REPORT_REPLY;
                reply.u.get_report_reply.id = event.u.get_report.id;
                reply.u.get_report_reply.err = EIO;
                Send(fd, reply);
            } else if (event.type == UHID_SET_REPORT) {
                uhid_event reply{};
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = event.u.set_report.id;
                reply.u.set_report_reply.err = EIO;
                Send(fd, reply);
            }
        }
        if (!outbox.empty() && std::chrono::steady_clock::now() >= nextSend) {
            uhid_event input{};
            input.type = UHID_INPUT2;
            input.u.input2.size = static_cast<uint16_t>(outbox.front().size());
            std::memcpy(input.u.input2.data, outbox.front().data(), outbox.front().size());
            outbox.pop_front();
            if (!Send(fd, input)) {
                std::fprintf(stderr, "halvik-card-sim: sending a report failed: %s\n",
                             std::strerror(errno));
            }
            nextSend = std::chrono::steady_clock::now() + std::chrono::microseconds(intervalUs);
        }
    }

    uhid_event destroy{};
    destroy.type = UHID_DESTROY;
    Send(fd, destroy);
    ::close(fd);
    std::printf("halvik-card-sim: virtual card unplugged\n");
    return status;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The logger card model, its image file, and whole downloads through the device link.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "DeviceLinkFixture.h"
#include "devicelink/sim/CardPace.h"

namespace halvik::testing {
namespace {

std::vector<CardReading> Readings(std::size_t n) {
    std::vector<CardReading> readings;
    for (std::size_t i = 0; i < n; ++i) {
        readings.push_back(EncodeReading(-20.0 + static_cast<double>(i % 400) * 0.25));
    }
    return readings;
}

TEST(CardModel, HeaderBytesCarryPidFirstReadingAndCount) {
    const auto image =
        LoggerCardImage::Make({1, 2, 3, 4, 5}, {2014, 3, 7, 9, 0, 30}, Readings(14400));
    const auto& h = image.Header();
    EXPECT_EQ(std::vector<uint8_t>(h.begin(), h.begin() + 5),
              (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(h[5], 9);    // hour
    EXPECT_EQ(h[6], 0);    // minute
    EXPECT_EQ(h[7], 30);   // second
    EXPECT_EQ(h[8], 7);    // day
    EXPECT_EQ(h[9], 3);    // month
    EXPECT_EQ(h[10], 14);  // year within the century
    EXPECT_EQ(h[19], 0x38);
    EXPECT_EQ(h[20], 0x40);
    for (std::size_t i : {11u, 12u, 18u, 21u, 63u})
        EXPECT_EQ(h[i], 0) << i;
    EXPECT_EQ(image.AnnouncedCount(), 14400u);
    EXPECT_EQ(LoggerCardImage::Make({}, {}, Readings(1440)).Header()[19], 0x05);
    EXPECT_EQ(LoggerCardImage::Make({}, {}, Readings(1440)).Header()[20], 0xA0);
}

// The --pace texts of halvik-demo and halvik-cli.
TEST(CardPace, Texts) {
    using Pace = SimLoggerCard::Pace;
    struct Case {
        const char* text;
        bool valid;
        Pace pace;
        std::size_t limit;
    };
    const Case cases[] = {
        {"fast", true, Pace::AsFastAsRead, SIZE_MAX},
        {"usb-fs", true, Pace::UsbFullSpeed, SIZE_MAX},
        {"stall-after:0", true, Pace::UsbFullSpeed, 0},
        {"stall-after:450", true, Pace::UsbFullSpeed, 450},
        {"stall-after:999999999", true, Pace::UsbFullSpeed, 999999999},
        {"stall-after:1000000000", false, Pace::AsFastAsRead, 0},
        {"stall-after:", false, Pace::AsFastAsRead, 0},
        {"stall-after:-1", false, Pace::AsFastAsRead, 0},
        {"stall-after:1x", false, Pace::AsFastAsRead, 0},
        {"Fast", false, Pace::AsFastAsRead, 0},
        {"", false, Pace::AsFastAsRead, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto pace = ParseDemoPace(c.text);
        ASSERT_EQ(pace.has_value(), c.valid);
        if (pace) {
            EXPECT_EQ(pace->pace, c.pace);
            EXPECT_EQ(pace->readingReportLimit, c.limit);
        }
    }
}

TEST(CardModel, ImpossibleDateOrTooManyReadingsAreRefused) {
    const CardDateTime bad[] = {{1999, 1, 1, 0, 0, 0},  {2014, 13, 1, 0, 0, 0},
                                {2014, 1, 0, 0, 0, 0},  {2014, 1, 32, 0, 0, 0},
                                {2014, 1, 1, 24, 0, 0}, {2014, 1, 1, 0, 60, 0}};
    for (const CardDateTime& when : bad) {
        EXPECT_THROW(LoggerCardImage::Make({}, when, {}), CardImageError);
    }
    EXPECT_THROW(LoggerCardImage::Make({}, {}, Readings(65536)), CardImageError);
}

TEST(CardModel, ReadingBytesInTheCardsFormat) {
    struct Case {
        double celsius;
        CardReading bytes;
    };
    const Case cases[] = {{24, {0x83, 0x40}},   {24.25, {0x83, 0x42}}, {-24.25, {0x83, 0xC2}},
                          {0.75, {0x7E, 0x40}}, {-0.5, {0x7E, 0x80}},  {-0.03125, {0x7A, 0x80}},
                          {1, {0x7F, 0x00}},    {70, {0x85, 0x0C}},    {0, {0x00, 0x00}}};
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeReading(c.celsius), c.bytes) << c.celsius;
        if (c.celsius != 0) {
            EXPECT_EQ(DecodeCardReading(c.bytes), c.celsius);
        }
    }
    // Rounded to the nearest value the card can hold: 24.3 lies between 24.25 and 24.375.
    EXPECT_EQ(EncodeReading(24.3), (CardReading{0x83, 0x42}));
    EXPECT_EQ(EncodeReading(255.9), (CardReading{0x87, 0x00})) << "rounds up into the next power";
    EXPECT_THROW(EncodeReading(1e40), CardImageError);
}

TEST(CardModel, AnswersHeaderAndReadingCommandsWithPackedReports) {
    const auto image = LoggerCardImage::Make({9, 8, 7, 6, 5}, {}, Readings(33));
    LoggerCardModel model(image);
    const uint8_t header[] = {22, 0, 0, 0, 0, 0, 0};
    auto answer = model.Answer(header, sizeof header);
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0], std::vector<uint8_t>(image.Header().begin(), image.Header().end()));

    const uint8_t download[] = {11};
    answer = model.Answer(download, 1);
    ASSERT_EQ(answer.size(), 2u) << "66 stream bytes: one full report and one padded";
    for (const auto& report : answer)
        EXPECT_EQ(report.size(), 64u);
    std::vector<uint8_t> joined = answer[0];
    joined.insert(joined.end(), answer[1].begin(), answer[1].end());
    EXPECT_TRUE(std::equal(image.Stream().begin(), image.Stream().end(), joined.begin()));
    for (std::size_t i = image.Stream().size(); i < joined.size(); ++i)
        EXPECT_EQ(joined[i], 0);

    const uint8_t other[] = {33};
    EXPECT_TRUE(model.Answer(other, 1).empty());
    EXPECT_TRUE(model.Answer(other, 0).empty());
    EXPECT_EQ(
        LoggerCardModel(LoggerCardImage::Make({}, {}, Readings(14400))).Answer(download, 1).size(),
        450u);
    EXPECT_TRUE(LoggerCardModel(LoggerCardImage::Make({}, {}, {})).Answer(download, 1).empty());
}

class CardImageFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/halvik-card-XXXXXX";
        const int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path = name;
    }
    void TearDown() override { std::remove(path.c_str()); }
    void WriteBytes(const std::vector<uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::string path;
};

TEST_F(CardImageFile, SavedImageLoadsBackByteForByte) {
    const auto image =
        LoggerCardImage::Make({1, 2, 3, 4, 5}, {2020, 2, 29, 23, 59, 59}, Readings(1000));
    image.Save(path);
    const auto loaded = LoggerCardImage::Load(path);
    EXPECT_EQ(loaded.Bytes(), image.Bytes());
    EXPECT_EQ(loaded.Bytes().size(), 64u + 2000u);
    EXPECT_EQ(loaded.ReadingCount(), 1000u);
}

TEST_F(CardImageFile, BadFilesGiveAClearError) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    std::vector<uint8_t> oddStream(64 + 3, 0);
    std::vector<uint8_t> countMismatch(64 + 4, 0);
    countMismatch[20] = 3;  // announces 3 readings, holds 2
    const Case cases[] = {
        {"empty", {}, "is 0 bytes long"},
        {"one byte", {7}, "is 1 byte long"},
        {"short header", std::vector<uint8_t>(63, 0), "is 63 bytes long"},
        {"odd stream", oddStream, "an odd number"},
        {"count mismatch", countMismatch, "announces 3 readings but the file holds 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(c.bytes);
        try {
            LoggerCardImage::Load(path);
            ADD_FAILURE() << "loaded";
        } catch (const CardImageError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(path), std::string::npos) << what;
            EXPECT_NE(what.find(c.message), std::string::npos) << what;
        }
    }
    WriteBytes(countMismatch);
    EXPECT_EQ(LoggerCardImage::Load(path, false).ReadingCount(), 2u);
    try {
        LoggerCardImage::Load(path + ".missing");
        ADD_FAILURE();
    } catch (const CardImageError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot be opened"), std::string::npos);
    }
    // A folder given as the card image is named, not reported in the stream library's words.
    const std::string folder = path + ".d";
    std::filesystem::create_directory(folder);
    try {
        LoggerCardImage::Load(folder);
        ADD_FAILURE() << "loaded";
    } catch (const CardImageError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Card image " + folder + ": is a folder; give the card image file inside it");
    }
    std::filesystem::remove(folder);
    EXPECT_THROW(LoggerCardImage::Make({}, {}, {}).Save("/nonexistent-dir/card.bin"),
                 CardImageError);
}

// A whole card through the controller, the reader thread and the hand-over, in the window's
// order: header command, ShowPID, download command, ShowRead.
class CardDownload : public DeviceLinkTest,
                     public ::testing::WithParamInterface<SimLoggerCard::Pace> {};

TEST_P(CardDownload, WholeCardOf14400ReadingsArrivesIntact) {
    const auto image =
        LoggerCardImage::Make({1, 2, 3, 4, 5}, {2014, 1, 5, 5, 6, 0}, Readings(14400));
    platform.Plug(Keyboard());
    SimLoggerCard card(platform, image, GetParam());
    card.Plug();
    THidDeviceController controller(platform, queue);
    THidDevice* pic18 = nullptr;
    controller.SetOnEnumerate([&](THidDevice* dev, int32_t idx) {
        if (dev->Attributes().VendorID == 0x3543 && dev->Attributes().ProductID == 0x3543) {
            controller.CheckOutByIndex(pic18, idx);
        }
        return pic18 == nullptr;
    });
    std::vector<uint8_t> header;
    std::vector<uint8_t> stream;
    auto send = [&](uint8_t command) {
        const uint32_t towrite = pic18->Caps().OutputReportByteLength;
        std::vector<uint8_t> report(towrite, 0);
        report[1] = command;
        uint32_t written = 0;
        pic18->WriteFile(report.data(), towrite, written);
    };
    controller.SetOnDeviceChange([&](THidDeviceController*) {
        if (!pic18)
            controller.Enumerate();
        if (pic18) {
            send(22);
            pic18->SetOnData([&](THidDevice*, uint8_t reportId, const uint8_t* data, uint16_t n) {
                EXPECT_EQ(reportId, 0);
                header.assign(data, data + n);
            });
        }
    });
    queue.RunPending();
    ASSERT_NE(pic18, nullptr);
    if (GetParam() == SimLoggerCard::Pace::Manual)
        card.Send();
    PumpUntil([&] { return !header.empty(); });
    ASSERT_EQ(header, std::vector<uint8_t>(image.Header().begin(), image.Header().end()));

    send(11);
    pic18->SetOnData([&](THidDevice*, uint8_t, const uint8_t* data, uint16_t n) {
        stream.insert(stream.end(), data, data + n);
    });
    const std::size_t expected = 450 * 64;
    PumpUntil([&] {
        if (GetParam() == SimLoggerCard::Pace::Manual)
            card.Send(16);
        return stream.size() >= expected;
    });
    PumpUntilReaderWaits(card.DeviceID(), [&] { return card.Outbox() == 0; });
    ASSERT_EQ(stream.size(), expected);
    EXPECT_TRUE(std::equal(image.Stream().begin(), image.Stream().end(), stream.begin()));
    EXPECT_EQ(card.Commands(), (std::vector<uint8_t>{22, 11}));
    EXPECT_EQ(platform.DroppedInput(card.DeviceID()), 0u);
    delete pic18;
}

INSTANTIATE_TEST_SUITE_P(Paces, CardDownload,
                         ::testing::Values(SimLoggerCard::Pace::AsFastAsRead,
                                           SimLoggerCard::Pace::Manual));

}  // namespace
}  // namespace halvik::testing

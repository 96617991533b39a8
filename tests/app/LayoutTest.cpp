// SPDX-License-Identifier: GPL-3.0-or-later
// The window's controls at their places, and the logo.

#include <gtest/gtest.h>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>

#include "AppTestSupport.h"
#include "report/Distributor.h"
#include "report/qt/Logo.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik::testing {
namespace {

class LayoutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<TForm3>(platform);
        window->showMaximized();
        ASSERT_TRUE(
            waitFor([&] { return window->StatusBar1Panels[1]->text() == "Not Connected"; }));
    }
    SimHidPlatform platform;
    MessageRecorder recorder;
    std::unique_ptr<TForm3> window;
};

TEST_F(LayoutTest, ControlsStandAtTheirDesignedPlaces) {
    struct Place {
        const char* name;
        QWidget* widget;
        QRect rect;
    };
    const Place places[] = {
        {"RadioButton1", window->RadioButton1, {12, 16, 113, 17}},
        {"RadioButton2", window->RadioButton2, {12, 39, 113, 17}},
        {"BitBtn1", window->BitBtn1, {8, 106, 105, 21}},
        {"ProgressBar1", window->ProgressBar1, {136, 106, 161, 21}},
        {"StringGrid1", window->StringGrid1, {8, 154, 348, 475}},
        {"BitBtn2", window->BitBtn2, {9, 635, 80, 25}},
        {"BitBtn10", window->BitBtn10, {97, 635, 83, 25}},
        {"BitBtn11", window->BitBtn11, {189, 635, 75, 25}},
        {"BitBtn12", window->BitBtn12, {273, 635, 83, 25}},
        {"BitBtn9", window->BitBtn9, {362, 568, 112, 39}},
        {"BitBtn6", window->BitBtn6, {362, 613, 112, 36}},
        {"BitBtn3", window->BitBtn3, {762, 221, 75, 25}},
        {"BitBtn4", window->BitBtn4, {864, 221, 73, 25}},
        {"BitBtn5", window->BitBtn5, {968, 221, 75, 25}},
        {"Chart1", window->Chart1, {480, 253, 850, 401}},
    };
    for (const Place& p : places) {
        EXPECT_EQ(p.widget->geometry(), p.rect) << p.name;
        EXPECT_EQ(p.widget->parentWidget(), window->client) << p.name;
    }
    // Labels at their top-left corners.
    EXPECT_EQ(window->Label21->pos(), QPoint(630, 12));
    EXPECT_EQ(window->Label15->pos(), QPoint(432, 59));
    EXPECT_EQ(window->Label2->pos(), QPoint(785, 59));
    EXPECT_EQ(window->Label14->pos(), QPoint(930, 125));
    EXPECT_EQ(window->Label10->pos(), QPoint(186, 82));
    EXPECT_EQ(window->Label22->pos(), QPoint(16, 129));
    // The logo keeps its size and its distance from the right edge.
    EXPECT_EQ(window->Image1->size(), QSize(129, 122));
    EXPECT_EQ(window->client->width() - window->Image1->geometry().right() - 1, 15);
}

TEST_F(LayoutTest, CaptionsAndFonts) {
    EXPECT_EQ(window->windowTitle(), "Temperature Recorder Card");
    EXPECT_TRUE(window->isMaximized());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->BitBtn1->text(), "DOWNLOAD");
    EXPECT_EQ(window->BitBtn1->toolTip(), "click for download");
    EXPECT_FALSE(window->BitBtn1->icon().isNull());
    EXPECT_EQ(window->BitBtn1->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    EXPECT_EQ(window->BitBtn2->text(), "Select && Print");  // shows as "Select & Print"
    EXPECT_EQ(window->BitBtn12->text(), "Select && Copy");
    EXPECT_TRUE(window->BitBtn3->text().isEmpty());
    EXPECT_FALSE(window->BitBtn4->icon().isNull());
    EXPECT_EQ(window->StartDate->text(), "Start Date&Time:");
    EXPECT_EQ(window->Label15->text(),
              "PID                           :                            ");
    EXPECT_EQ(window->Label22->text(), " ALL TIMES  SHOWN ARE BASED ON GMT AND 24 HOUR CLOCK");
    EXPECT_EQ(window->Label17->text(), "6 min");
    EXPECT_EQ(window->Label21->font().pixelSize(), 24);
    EXPECT_EQ(window->Label22->font().pixelSize(), 13);
    EXPECT_EQ(window->Label2->font().pixelSize(), 19);
    EXPECT_TRUE(window->Label2->font().bold());
    EXPECT_EQ(window->Label10->font().pixelSize(), 16);
    EXPECT_EQ(window->BitBtn9->font().pixelSize(), 16);
    EXPECT_EQ(window->RadioButton1->font().pixelSize(), 16);
    EXPECT_FALSE(window->RadioButton1->font().bold());
    EXPECT_EQ(window->font().pixelSize(), 11);
}

TEST_F(LayoutTest, StatusBarHiddenComponentsAndStartState) {
    EXPECT_EQ(window->StatusBar1Panels[0]->width(), 50);
    EXPECT_EQ(window->StatusBar1Panels[1]->width(), 200);
    EXPECT_EQ(window->StatusBar1Panels[0]->text(), " ");
    EXPECT_EQ(window->StatusBar1Panels[2]->text(), QString(kDistributorWebAddress) + " ");
    EXPECT_TRUE(window->StatusBar1Panels[2]->alignment() & Qt::AlignRight);
    EXPECT_GT(window->StatusBar1Panels[2]->width(), 600);  // takes the rest of the bar
    EXPECT_EQ(window->statusBar()->height(), 23);
    EXPECT_FALSE(window->Edit1->isVisible());
    EXPECT_FALSE(window->BitBtn8->isVisible());
    EXPECT_EQ(window->BitBtn8->text(), "BitBtn8");
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_TRUE(window->Label10->text().isEmpty());
    EXPECT_EQ(window->ProgressBar1->value(), 0);
    EXPECT_EQ(window->ProgressBar1->maximum(), 100);
    // Grid captions and widths after activation.
    const CellStore& cells = window->StringGrid1->cells();
    EXPECT_EQ(cells.cell(0, 0), " Points");
    EXPECT_EQ(cells.cell(1, 0), "       Date");
    EXPECT_EQ(cells.cell(2, 0), "    Time");
    EXPECT_EQ(cells.cell(3, 0), "Temperature (°C)");
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(window->StringGrid1->gridColumnWidth(column), DataGrid::kColumnWidths[column]);
    }
    EXPECT_EQ(window->Label4->text(), "°C");
    EXPECT_EQ(window->RpLabel24, "°C");
    EXPECT_EQ(window->Chart1->yRange(), (AxisRange{-20, 70}));
}

TEST(Logo, TheResourceDecodesWithLibjpegAndShowsProportionally) {
    SimHidPlatform platform;
    TForm3 window(platform);  // registers the resources
    const Bitmap& logo = logoPicture();
    EXPECT_EQ(logo.width, 397);
    EXPECT_EQ(logo.height, 376);
    EXPECT_EQ(logo.bitsPerPixel, 24);
    EXPECT_TRUE(logo.IsValid());
    // The picture: white corners, a blue badge in the middle of its upper part.
    const QImage image = toQImage(logo);
    EXPECT_GT(qGray(image.pixel(2, 2)), 245);
    const QColor badge = image.pixelColor(120, 60);
    EXPECT_GT(badge.blue(), badge.red() + 60);

    const QPixmap shown = window.Image1->pixmap();
    EXPECT_LE(shown.width(), 129);
    EXPECT_LE(shown.height(), 122);
    EXPECT_NEAR(double(shown.width()) / shown.height(), 397.0 / 376.0, 0.02);
}

TEST(Logo, DataThatIsNotAJpegIsRefusedWithAMessage) {
    QFile file(":/halvik/logo.jpg");
    SimHidPlatform platform;
    TForm3 window(platform);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray jpeg = file.readAll();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(jpeg.constData());
    // Cut short: libjpeg pads and warns; either a picture of the right size or an error.
    try {
        const Bitmap partial = decodeJpeg(bytes, static_cast<std::size_t>(jpeg.size() / 3));
        EXPECT_EQ(partial.width, 397);
        EXPECT_EQ(partial.pixels.size(), partial.stride * 376);
    } catch (const std::runtime_error&) {
    }
    const std::uint8_t text[] = "not a picture at all";
    try {
        decodeJpeg(text, sizeof text);
        FAIL() << "text decoded as a picture";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot decode the picture"), std::string::npos);
    }
    EXPECT_THROW(decodeJpeg(nullptr, 0), std::runtime_error);
}

}  // namespace
}  // namespace halvik::testing

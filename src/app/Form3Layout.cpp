// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's controls: places, sizes, captions and fonts.

#include <QFontMetricsF>
#include <QIcon>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

#include "app/Form3.h"
#include "report/Captions.h"
#include "report/Distributor.h"
#include "report/qt/Logo.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"
#include "views/widgets/WidgetFonts.h"

namespace halvik {

namespace {

const QString kWindowFace = QStringLiteral("Sakkal Majalla");

// The unit captions' designed left edge, and the room they keep after a longer value.
constexpr int kUnitCaptionLeft = 967;
constexpr double kUnitCaptionGap = 3;
constexpr int kLeftOutNoteLeft = 785;

// The system colour "gradient active caption", the window's background.
const QColor kWindowBackground(185, 209, 234);

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top,
                  int pixelSize = 19, bool bold = true) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    QFont font = windowFont(kWindowFace, pixelSize, bold);
    if (caption.contains("   ") && installedFamilyFor(kWindowFace) != kWindowFace) {
        // Captions whose runs of blanks line up their colons in front of the value labels:
        // the stand-in face is wider than the designed one, so narrow it until the colons
        // end before the values again.
        font.setStretch(std::min(font.stretch(), 82));
    }
    label->setFont(font);
    label->setText(caption);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int left,
                        int top, int width, int height, int pixelSize = 16) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(left, top, width, height);
    button->setFont(windowFont(kWindowFace, pixelSize, true));
    return button;
}

QPushButton* makePictureButton(QWidget* parent, const char* name, const char* picture, int left,
                               int top, int width, int height) {
    auto* button = makeButton(parent, name, QString(), left, top, width, height);
    button->setIcon(QIcon(QString(":/halvik/") + picture));
    button->setIconSize(QSize(20, 20));
    return button;
}

QLabel* makePanel(const char* name, int width, QFrame::Shadow shadow, Qt::Alignment align) {
    auto* panel = new QLabel;
    panel->setObjectName(name);
    panel->setTextFormat(Qt::PlainText);
    panel->setFrameStyle(QFrame::Panel | shadow);
    panel->setAlignment(align | Qt::AlignVCenter);
    if (width > 0) {
        panel->setFixedWidth(width);
    }
    return panel;
}

}  // namespace

void TForm3::createControls() {
    setObjectName("Form3");
    setWindowTitle("Temperature Recorder Card");
    setWindowIcon(QIcon(":/halvik/logo.jpg"));
    // System menu and minimise only: no maximise button (the window opens maximised).
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(windowFont(kWindowFace, 11, false));

    client = new QWidget(this);
    client->setObjectName("client");
    client->setAutoFillBackground(true);
    QPalette background = client->palette();
    background.setColor(QPalette::Window, kWindowBackground);
    client->setPalette(background);
    setCentralWidget(client);

    // Unit switch.
    RadioButton1 = new QRadioButton("(C) Temperature", client);
    RadioButton1->setObjectName("RadioButton1");
    RadioButton1->setGeometry(12, 16, 113, 17);
    RadioButton1->setFont(windowFont(kWindowFace, 16, false));
    RadioButton1->setChecked(true);
    RadioButton2 = new QRadioButton("(F) Temperature", client);
    RadioButton2->setObjectName("RadioButton2");
    RadioButton2->setGeometry(12, 39, 113, 17);
    RadioButton2->setFont(windowFont(kWindowFace, 16, false));

    // Download.
    BitBtn1 = makePictureButton(client, "BitBtn1", "download.png", 8, 106, 105, 21);
    BitBtn1->setText("DOWNLOAD");
    BitBtn1->setIconSize(QSize(16, 16));
    BitBtn1->setToolTip("click for download");
    QPalette red = BitBtn1->palette();
    red.setColor(QPalette::ButtonText, QColor(255, 0, 0));
    BitBtn1->setPalette(red);
    ProgressBar1 = new QProgressBar(client);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(136, 106, 161, 21);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    Label10 = makeLabel(client, "Label10", QString(), 186, 82, 16);
    Label22 = makeLabel(client, "Label22", " ALL TIMES  SHOWN ARE BASED ON GMT AND 24 HOUR CLOCK",
                        16, 129, 13);
    Label22->setAutoFillBackground(true);
    QPalette sky = Label22->palette();
    sky.setColor(QPalette::Window, QColor(166, 202, 240));
    Label22->setPalette(sky);

    // The readings table and the buttons under it.
    StringGrid1 = new DataGrid(client);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setGeometry(8, 154, 348, 475);
    BitBtn2 = makeButton(client, "BitBtn2", "Select && Print", 9, 635, 80, 25);
    BitBtn10 = makeButton(client, "BitBtn10", "Print All", 97, 635, 83, 25);
    BitBtn11 = makeButton(client, "BitBtn11", "Copy All", 189, 635, 75, 25);
    BitBtn12 = makeButton(client, "BitBtn12", "Select && Copy", 273, 635, 83, 25);
    BitBtn9 = makeButton(client, "BitBtn9", "Data Report", 362, 568, 112, 39);
    BitBtn6 = makeButton(client, "BitBtn6", "Chart Print", 362, 613, 112, 36);

    // Statistics panel.
    Label21 = makeLabel(client, "Label21", "Temperature Statistics", 630, 12, 24);
    Label15 = makeLabel(client, "Label15",
                        "PID                           :                            ", 432, 59);
    StartDate = makeLabel(client, "StartDate", "Start Date&Time:", 432, 92);
    StopDate = makeLabel(client, "StopDate", "Stop Date&Time :", 432, 123);
    Label16 = makeLabel(client, "Label16", "Log Interval          : ", 432, 154);
    Label17 = makeLabel(client, "Label17", "6 min", 559, 155);
    Label18 = makeLabel(client, "Label18", "Elapsed Time       :", 432, 187);
    Label2 = makeLabel(client, "Label2", "Max. Temperature   :", 785, 59);
    Label3 = makeLabel(client, "Label3", "Min. Temperature   :", 785, 92);
    Meankinetic = makeLabel(client, "Meankinetic", "MKT (DH:83.144)   :", 785, 123);
    DataPoint = makeLabel(client, "DataPoint", "Data Points                :", 785, 154);

    Label6 = makeLabel(client, "Label6", QString(), 558, 60);
    Label7 = makeLabel(client, "Label7", QString(), 552, 93);
    Label8 = makeLabel(client, "Label8", QString(), 629, 93);
    Label1 = makeLabel(client, "Label1", QString(), 552, 124);
    Label11 = makeLabel(client, "Label11", QString(), 629, 124);
    Label19 = makeLabel(client, "Label19", QString(), 558, 188);
    Label12 = makeLabel(client, "Label12", QString(), 922, 61);
    Label13 = makeLabel(client, "Label13", QString(), 922, 94);
    Label14 = makeLabel(client, "Label14", QString(), 930, 125);
    Label9 = makeLabel(client, "Label9", QString(), 922, 156);
    Label4 = makeLabel(client, "Label4", QString(), kUnitCaptionLeft, 61);
    Label5 = makeLabel(client, "Label5", QString(), kUnitCaptionLeft, 94);
    Label20 = makeLabel(client, "Label20", QString(), kUnitCaptionLeft, 125);
    Label23 = makeLabel(client, "Label23", QString(), kLeftOutNoteLeft, 188, 16);

    // Chart and its zoom buttons.
    BitBtn3 = makePictureButton(client, "BitBtn3", "zoom-undo.png", 762, 221, 75, 25);
    BitBtn4 = makePictureButton(client, "BitBtn4", "zoom-in.png", 864, 221, 73, 25);
    BitBtn5 = makePictureButton(client, "BitBtn5", "zoom-out.png", 968, 221, 75, 25);
    Chart1 = new TemperatureChart(client);
    Chart1->setObjectName("Chart1");
    Chart1->setGeometry(QRect(QPoint(480, 253), TemperatureChart::kDesignedSize));

    // The logo, scaled to fit its frame; it keeps its distance from the right edge.
    Image1 = new QLabel(client);
    Image1->setObjectName("Image1");
    Image1->setGeometry(1166, 5, 129, 122);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(QPixmap::fromImage(toQImage(logoPicture()))
                          .scaled(Image1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    // Hidden components.
    Edit1 = new QLineEdit(client);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(354, 0, 345, 23);
    Edit1->hide();
    BitBtn8 = makeButton(client, "BitBtn8", "BitBtn8", 929, 8, 75, 25);
    BitBtn8->hide();
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");

    // Status bar: a blank panel, the connection text, the web address taking the rest.
    auto* bar = new QStatusBar(this);
    bar->setObjectName("StatusBar1");
    bar->setFixedHeight(23);
    bar->setSizeGripEnabled(false);
    StatusBar1Panels[0] = makePanel("StatusBar1Panel0", 50, QFrame::Sunken, Qt::AlignLeft);
    StatusBar1Panels[0]->setText(" ");
    StatusBar1Panels[1] = makePanel("StatusBar1Panel1", 200, QFrame::Sunken, Qt::AlignLeft);
    StatusBar1Panels[2] = makePanel("StatusBar1Panel2", 0, QFrame::Raised, Qt::AlignRight);
    StatusBar1Panels[2]->setMinimumWidth(50);
    // Messages (what became of the record, where a report went): as wide as their text.
    StatusMessage = new QLabel(this);
    StatusMessage->setObjectName("StatusMessage");
    bar->addWidget(StatusBar1Panels[0]);
    bar->addWidget(StatusBar1Panels[1]);
    bar->addWidget(StatusMessage);
    bar->addWidget(StatusBar1Panels[2], 1);
    setStatusBar(bar);

    // The restored size holds the designed client area above the status bar, at the screen's
    // top-left corner; the window is then shown maximised (where a window manager does that).
    move(0, 0);
    resize(kDesignedWidth, kDesignedHeight + bar->height());

    // Keyboard focus order.
    QWidget* order[] = {BitBtn1, StringGrid1,  BitBtn2,      BitBtn3, BitBtn4,
                        BitBtn5, RadioButton1, RadioButton2, BitBtn6, BitBtn9,
                        Chart1,  BitBtn10,     BitBtn11,     BitBtn12};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    (void)kDistributorWebAddress;
}

void TForm3::placeUnitCaptions() {
    struct Follower {
        QLabel* value;
        QLabel* caption;
        int designedLeft;
    };
    // The note of readings left out shares its line with a long elapsed time.
    const Follower followers[] = {{Label12, Label4, kUnitCaptionLeft},
                                  {Label13, Label5, kUnitCaptionLeft},
                                  {Label14, Label20, kUnitCaptionLeft},
                                  {Label19, Label23, kLeftOutNoteLeft}};
    for (const Follower& f : followers) {
        const QFontMetricsF metrics(f.value->font());
        f.caption->move(
            FollowingCaptionLeft(f.designedLeft, f.value->x(),
                                 metrics.horizontalAdvance(f.value->text()), kUnitCaptionGap),
            f.caption->y());
    }
}

void TForm3::placeLogo() {
    if (Image1 == nullptr || client == nullptr) {
        return;
    }
    const int rightGap = kDesignedWidth - (1166 + 129);
    const int left = std::max(1166, client->width() - rightGap - Image1->width());
    Image1->move(left, Image1->y());
}

}  // namespace halvik

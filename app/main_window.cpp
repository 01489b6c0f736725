#include "app/main_window.h"

#include "app/edit_list.h"
#include "app/key_filter.h"
#include "app/layout.h"
#include "app/parameter_boxes.h"
#include "app/port_tips.h"
#include "settings/settings_file.h"
#include "settings/settings_store.h"
#include "app/texts.h"
#include "device/parameter_table.h"
#include "device/parameters.h"
#include "device/register_map.h"
#include "device/reply_decoding.h"
#include "modbus/frames.h"
#include "modbus/hex_text.h"
#include "modbus/exchange.h"
#include "serial/open_failure_advice.h"
#include "serial/port_names.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QThread>
#include <QUrl>

#include <cmath>
#include <cstdio>
#include <limits>

using layout::Tw;
using texts::Tr;

namespace {

QString Q(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

const QColor kGreen(0, 255, 0);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kCyan(0, 255, 255);
const QColor kLinkBlue(128, 128, 255);

// The reply check refuses anything longer than 111 characters, so text beyond this
// bound can change no verdict; it only stops a flooding line from growing memory.
constexpr std::size_t kReceiveBufferLimit = 3 * 1024;
// The parameter write (address, function, register, count, byte count, values, CRC) and
// the read reply (address, function, byte count, values, CRC), in bytes.
constexpr int kLongestRequest = 9 + 2 * device::kParameterBlockCount;
constexpr int kLongestReply = 5 + 2 * device::kReadBlockCount;

enum class Latin { Legible, Narrow };

// SimSun where it is installed. Elsewhere a Song/Ming face draws the Chinese; for captions
// the Latin letters and digits come from the serif face before it in the list, as the Ming
// faces draw "l" and "1" alike ("Vo1t"). The lists hold no "l" and keep the Ming face's
// narrower Latin, so that "COM1" fits their text field. Sizes are SimSun's either way.
QFont SimSun(double points, bool bold = false, Latin latin = Latin::Legible)
{
    QStringList families{QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
                         QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC"),
                         QStringLiteral("WenQuanYi Zen Hei")};
    if (latin == Latin::Legible)
        families.insert(1, QStringLiteral("Liberation Serif"));
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// The longest frame a display box shows, `bytes` long as hex text, fits on its one line:
// the default font, made smaller where it is too wide for the box.
void FitHexLine(QPlainTextEdit *box, int bytes)
{
    const QString longest = QStringLiteral("00 ").repeated(bytes);
    const int room = box->width() - 2 * box->frameWidth()
                     - 2 * static_cast<int>(std::ceil(box->document()->documentMargin())) - box->cursorWidth();
    QFont font = box->font();
    while (QFontMetricsF(font).horizontalAdvance(longest) > room && font.pointSizeF() > 6)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    box->setFont(font);
}

// One line of the box's font fits its height, without a scroll bar: the margin around the
// text gives way where the line is too tall for the default one. QPlainTextEdit counts a
// line as shown when it ends a pixel above the bottom margin.
void FitOneLineHigh(QPlainTextEdit *box)
{
    const QFontMetricsF metrics(box->font());
    const qreal line = std::ceil(std::max(metrics.lineSpacing(), std::ceil(metrics.ascent()) + std::ceil(metrics.descent())));
    const qreal margin = std::floor(std::max<qreal>(0, (box->contentsRect().height() - line - 1) / 2));
    if (margin < box->document()->documentMargin())
        box->document()->setDocumentMargin(margin);
}

void SetBackground(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// sin(2 pi k / 33), k = 0..32, worked out by the compiler: libm's sin would map some
// 300 KB of its code and tables into the process for the picture's 67 points.
constexpr double SineSample(int k)
{
    double x = 2 * M_PI * k / 33.0;
    if (x > M_PI)
        x -= 2 * M_PI;  // into -pi..pi, where the series converges quickly
    double term = x;
    double sum = x;
    for (int n = 1; n < 12; ++n) {
        term *= -x * x / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

constexpr std::array<double, 33> MakeSineSamples()
{
    std::array<double, 33> samples{};
    for (int k = 0; k < 33; ++k)
        samples[static_cast<std::size_t>(k)] = SineSample(k);
    return samples;
}

constexpr std::array<double, 33> kSineSamples = MakeSineSamples();

QPixmap MakePicture()
{
    // A small picture of the module's waveforms: a sine and a pulse train.
    QPixmap pixmap(68, 39);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 120, 200), 2));
    QPainterPath sine;
    for (int x = 0; x <= 66; ++x) {
        const double y = 11 - 8 * kSineSamples[static_cast<std::size_t>(x % 33)];
        if (x == 0)
            sine.moveTo(1 + x, y);
        else
            sine.lineTo(1 + x, y);
    }
    painter.drawPath(sine);
    painter.setPen(QPen(QColor(0, 160, 0), 2));
    const QPoint pulse[] = {{1, 35}, {10, 35}, {10, 25}, {22, 25}, {22, 35}, {34, 35}, {34, 25},
                            {46, 25}, {46, 35}, {58, 35}, {58, 25}, {67, 25}};
    painter.drawPolyline(pulse, static_cast<int>(std::size(pulse)));
    return pixmap;
}

} // namespace

// ---------------------------------------------------------------- the window

MainWindow::MainWindow(serial::Port &port, QWidget *parent) : QWidget(parent), m_port(port)
{
    setObjectName(QStringLiteral("frmmain"));
    setWindowTitle(Q(texts::kWindowCaptionName) + QString(texts::kWindowCaptionBlanks, QLatin1Char(' '))
                   + Q(texts::kWindowCaptionVersion));
    SetBackground(this, kWhite);
    setWindowIcon(QIcon(QStringLiteral(":/velqor-config.png")));
    setFixedSize(layout::Px(14310), layout::Px(6990));

    m_showMessage = [this](const QString &text, const QString &reason) {
        QMessageBox box(QMessageBox::NoIcon, Q(texts::kProgramTitle), text, QMessageBox::Ok, this);
        box.setInformativeText(reason);
        box.exec();
    };
    m_sleep = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
    m_openUrl = [](const QString &url) { QDesktopServices::openUrl(QUrl(url)); };
    m_printError = [](const QString &line) {
        std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    };

    BuildCommunicationGroup();
    BuildPresetGroup();
    BuildAddressGroup();
    BuildStatusRow();
    InstallParameterSetKeys();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(160);
    // A coarse timer may tick up to 5 % (8 ms) early or late; the reply check is due
    // 160 ms after the pause, to the millisecond.
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(500);
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(1000);

    WireEvents();
    Form_Load();
}

MainWindow::~MainWindow()
{
    m_port.onBytesWaiting = nullptr;
    m_port.onDeviceLost = nullptr;
}

namespace {

// A group with its caption in SimSun 12 pt bold.
QGroupBox *Group(QWidget *parent, const QString &name, const char *title, const QRect &rect)
{
    auto *group = new QGroupBox(Tr(title), parent);
    group->setObjectName(name);
    group->setFont(SimSun(12, true));
    group->setGeometry(rect);
    return group;
}

// A caption in SimSun 10.5 pt at left, top (twips), sized to its text.
template <typename Label = QLabel>
Label *Caption(QWidget *parent, const QString &name, const char *text, int left, int top)
{
    auto *label = new Label(Tr(text), parent);
    label->setObjectName(name);
    label->setFont(SimSun(10.5));
    label->move(layout::Px(left), layout::Px(top));
    label->adjustSize();
    return label;
}

// An editable list that never adds typed text as an item and takes it as typed.
QComboBox *List(QWidget *parent, const QString &name, const QStringList &items, const QRect &rect)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    app::TakeTextAsTyped(combo);
    app::WheelOnlyWhenFocused(combo);
    combo->setFont(SimSun(10.5, false, Latin::Narrow));
    combo->addItems(items);
    combo->setGeometry(rect);
    return combo;
}

QPushButton *Button(QWidget *parent, const QString &name, const char *text, double points, const QRect &rect)
{
    auto *button = new QPushButton(Tr(text), parent);
    button->setObjectName(name);
    button->setFont(SimSun(points));
    button->setGeometry(rect);
    return button;
}

QStringList RateItems()
{
    QStringList rates;
    for (const char *rate : device::kBaudRates)
        rates << QLatin1String(rate);
    return rates;
}

} // namespace

void MainWindow::BuildCommunicationGroup()
{
    Frame1 = Group(this, QStringLiteral("Frame1"), texts::kFrame1, Tw(120, 120, 2415, 5655));

    Label1 = Caption(Frame1, QStringLiteral("Label1"), texts::kPortNumber, 480, 550);
    Label2 = Caption(Frame1, QStringLiteral("Label2"), texts::kBaudRate, 480, 1250);
    Label3 = Caption(Frame1, QStringLiteral("Label3"), texts::kParity, 480, 1950);
    Label4 = Caption(Frame1, QStringLiteral("Label4"), texts::kDataBits, 480, 2650);
    Label5 = Caption(Frame1, QStringLiteral("Label5"), texts::kStopBits, 480, 3435);
    Label12 = Caption(Frame1, QStringLiteral("Label12"), "Slave ID", 240, 4125);

    QStringList ports;
    for (int n = 1; n <= serial::kPortCount; ++n)
        ports << QStringLiteral("COM%1").arg(n);
    auto list = [this](const QString &name, int top, const QStringList &items) {
        return List(Frame1, name, items, Tw(1200, top, 975, 300));
    };
    Combo1 = list(QStringLiteral("Combo1"), 480, ports);
    // The port opened is the one Combo1 shows.
    app::FollowTypedText(Combo1);
    new PortTips(Combo1);
    Combo2 = list(QStringLiteral("Combo2"), 1200, RateItems());
    Combo3 = list(QStringLiteral("Combo3"), 1920, {Tr(texts::kNoParity), Tr(texts::kOddParity), Tr(texts::kEvenParity)});
    Combo4 = list(QStringLiteral("Combo4"), 2640, {QStringLiteral("8"), QStringLiteral("7"), QStringLiteral("6")});
    Combo5 = list(QStringLiteral("Combo5"), 3360, {QStringLiteral("1"), QStringLiteral("2")});
    // Parity, data bits and stop bits are fixed: shown, not open to the user.
    Combo3->setEnabled(false);
    Combo4->setEnabled(false);
    Combo5->setEnabled(false);
    Combo_Addr[2] = list(QStringLiteral("Combo_Addr(2)"), 4080, {});

    Shape1 = new Lamp(Frame1);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(Tw(840, 5040, 255, 375));
    Shape1->SetColor(kBlack);

    Command1 = Button(Frame1, QStringLiteral("Command1"), texts::kPortClosedCaption, 10.5, Tw(1200, 5040, 975, 375));
}

void MainWindow::BuildPresetGroup()
{
    Frame3 = Group(this, QStringLiteral("Frame3"), texts::kFrame3, Tw(2760, 120, 11415, 4575));

    // Three columns of caption and value box; six rows.
    const int captionLeft[] = {240, 4200, 8520};
    const int boxLeft[] = {2520, 6840, 9960};
    const int rowTop[] = {480, 1185, 1890, 2595, 3300, 4005};
    auto rowHeight = [](int row) { return row == 0 ? 375 : 405; };

    auto caption = [&](const QString &name, const char *text, int column, int row) {
        return Caption(Frame3, name, text, captionLeft[column], rowTop[row] + 75);
    };
    auto box = [&](ValueBox *&field, const char *name, int column, int row) {
        field = new ValueBox(Frame3);
        field->setObjectName(QLatin1String(name));
        field->setFont(SimSun(14.25));
        QPalette palette = field->palette();
        palette.setColor(QPalette::Base, kBlack);
        palette.setColor(QPalette::Text, kCyan);
        field->setPalette(palette);
        field->setGeometry(Tw(boxLeft[column], rowTop[row], 1215, rowHeight(row)));
    };

    Label11 = caption(QStringLiteral("Label11"), "PWM Volt(1.0-24.0V):", 0, 0);
    Label10[0] = caption(QStringLiteral("Label10(0)"), "PWM Freq(1-150000HZ):", 0, 1);
    Label19 = caption(QStringLiteral("Label19"), "PWM Duty(0-100%):", 0, 2);
    Label22 = caption(QStringLiteral("Label22"), texts::kVoltageSource, 0, 3);
    Label10[2] = caption(QStringLiteral("Label10(2)"), texts::kCurrentSource, 0, 4);
    Label23 = caption(QStringLiteral("Label23"), texts::kSineFrequency, 0, 5);
    Label20[1] = caption(QStringLiteral("Label20(1)"), "Pulse DT(0-60.000S):", 1, 0);
    Label10[1] = caption(QStringLiteral("Label10(1)"), "Pulse HT(0.001-60.000S):", 1, 1);
    Label17 = caption(QStringLiteral("Label17"), "Pulse LT(0.001-60.000S):", 1, 2);
    Label21 = caption(QStringLiteral("Label21"), "Pulse NUM(1-60000):", 1, 3);
    Label24 = caption(QStringLiteral("Label24"), "Pulse Count:", 1, 4);
    Label9 = Caption<ClickLabel>(Frame3, QStringLiteral("Label9"), texts::kWorkMode, captionLeft[2], rowTop[0] + 75);
    Label16 = caption(QStringLiteral("Label16"), texts::kModuleBaudRate, 2, 1);
    Label18[3] = caption(QStringLiteral("Label18(3)"), texts::kOutputState, 2, 2);

    box(Text3, "Text3", 0, 0);
    box(Text4, "Text4", 0, 1);
    box(Text5, "Text5", 0, 2);
    box(Text10, "Text10", 0, 3);
    box(Text11, "Text11", 0, 4);
    box(Text13, "Text13", 0, 5);
    box(Text6, "Text6", 1, 0);
    box(Text7, "Text7", 1, 1);
    box(Text8, "Text8", 1, 2);
    box(Text9, "Text9", 1, 3);
    box(Text14, "Text14", 1, 4);
    box(Text12, "Text12", 2, 0);
    for (ValueBox *pwm : {Text3, Text4, Text5})
        pwm->SetKeyFilter(true);

    Combo6 = List(Frame3, QStringLiteral("Combo6"), RateItems(), Tw(9960, 1200, 1215, 300));

    // Label15(0) lies behind Command5 and is larger on every side: its colour is the
    // button's frame.
    Label15[0] = new QLabel(Frame3);
    Label15[0]->setObjectName(QStringLiteral("Label15(0)"));
    Label15[0]->setGeometry(Tw(9900, 1875, 1335, 460));
    SetBackground(Label15[0], kWhite);

    Command5 = Button(Frame3, QStringLiteral("Command5"), texts::kOff, 15, Tw(9960, 1920, 1215, 375));
    Command2 = Button(Frame3, QStringLiteral("Command2"), texts::kWrite, 15, Tw(9960, 2640, 1215, 375));
    Command3 = Button(Frame3, QStringLiteral("Command3"), texts::kRead, 15, Tw(9960, 3960, 1215, 375));

    Picture1[0] = new QLabel(Frame3);
    Picture1[0]->setObjectName(QStringLiteral("Picture1(0)"));
    Picture1[0]->setGeometry(Tw(8520, 3480, 1095, 855));
    Picture1[0]->setPixmap(MakePicture());
    Picture1[0]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label8 = Caption(Picture1[0], QStringLiteral("Label8"), texts::kPictureWord, 180, 600);

    auto line = [this](QFrame *&f, const char *name, QFrame::Shape shape, const QRect &rect) {
        f = new QFrame(Frame3);
        f->setObjectName(QLatin1String(name));
        f->setFrameShape(shape);
        f->setFrameShadow(QFrame::Plain);
        f->setGeometry(rect);
    };
    line(Line2, "Line2", QFrame::HLine, Tw(240, 2450, 3720 - 240, 15));
    line(Line1, "Line1", QFrame::VLine, Tw(3960, 480, 15, 4320 - 480));
    line(Line3, "Line3", QFrame::VLine, Tw(8280, 480, 15, 4320 - 480));
}

void MainWindow::BuildAddressGroup()
{
    Frame2 = Group(this, QStringLiteral("Frame2"), texts::kFrame2, Tw(2760, 4800, 11415, 975));

    Label6 = Caption(Frame2, QStringLiteral("Label6"), texts::kModuleAddress, 240, 480);
    Combo_Addr[0] = List(Frame2, QStringLiteral("Combo_Addr(0)"), {}, Tw(1680, 400, 1215, 300));

    Label30 = new QLabel(Q(texts::kVendorUrl), Frame2);
    Label30->setObjectName(QStringLiteral("Label30"));
    Label30->setFont(SimSun(14.25));
    QPalette palette = Label30->palette();
    palette.setColor(QPalette::WindowText, kLinkBlue);
    Label30->setPalette(palette);
    Label30->setGeometry(Tw(3480, 400, 5895, 255));

    Command_OK1 = Button(Frame2, QStringLiteral("Command_OK1"), texts::kChangeAddress, 15, Tw(9960, 360, 1215, 375));
}

void MainWindow::BuildStatusRow()
{
    auto display = [this](const QString &name, const QRect &rect) {
        auto *box = new QPlainTextEdit(this);
        box->setObjectName(name);
        box->setReadOnly(true);
        box->setGeometry(rect);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        return box;
    };
    Label13[0] = Caption(this, QStringLiteral("Label13(0)"), "Send:", 135, 6120);
    Text1[0] = display(QStringLiteral("Text1(0)"), Tw(720, 6000, 9975, 375));
    FitHexLine(Text1[0], kLongestRequest);
    Label7 = Caption(this, QStringLiteral("Label7"), "Mess:", 11040, 6120);
    Message_Show = display(QStringLiteral("Message_Show"), Tw(11640, 6000, 2535, 375));
    Message_Show->setFont(SimSun(10.5));
    Label14 = Caption(this, QStringLiteral("Label14"), "Rece:", 120, 6600);
    Text2 = display(QStringLiteral("Text2"), Tw(720, 6480, 13455, 375));
    FitHexLine(Text2, kLongestReply);
    for (QPlainTextEdit *box : {Text1[0], Message_Show, Text2})
        FitOneLineHigh(box);
}

void MainWindow::WireEvents()
{
    // "Click" on a list is an item chosen by the user; typing into its text is not one.
    connect(Combo1, qOverload<int>(&QComboBox::activated), this, [this] { Combo1_Click(); });
    connect(Combo2, qOverload<int>(&QComboBox::activated), this, [this] { Combo2_Click(); });
    connect(Combo6, qOverload<int>(&QComboBox::activated), this, [this] { Combo6_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command_OK1, &QPushButton::clicked, this, [this] { Command_OK1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(Text3, &ValueBox::clicked, this, [this] { Text3_Click(); });
    connect(Text4, &ValueBox::clicked, this, [this] { Text4_Click(); });
    connect(Text5, &ValueBox::clicked, this, [this] { Text5_Click(); });
    connect(Label9, &ClickLabel::clicked, this, [this] { Label9_Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });
    connect(Timer3, &QTimer::timeout, this, [this] { Timer3_Timer(); });
    m_port.onBytesWaiting = [this] { MSComm1_OnComm(); };
    m_port.onDeviceLost = [this] {
        // The adapter went away while open: show the closed state, as a close would, and
        // say why the lamp went black.
        const int port = OpenPortNumber != 0 ? OpenPortNumber : Combo1->currentIndex() + 1;
        Timer2->stop();
        ShowPortClosed();
        if (m_port.lastFailure.reason.empty())
            m_port.lastFailure.reason = "the device went away";
        PrintPortFailure(port, serial::OpenResult::NotFound);
        ShowMessage(Tr(texts::kPortMissing), PortFailureReason(port, serial::OpenResult::NotFound));
    };
}

// ---------------------------------------------------------------- start-up and shutdown

void MainWindow::Form_Load()
{
    const app::StoredSettings stored = app::ReadSettingsFile();
    // A missing file or line leaves COM1 and 9600.
    const QString portText = stored.portText ? QString::fromLocal8Bit(stored.portText->c_str()) : QStringLiteral("1");
    const QString baudText = stored.baudText ? QString::fromLocal8Bit(stored.baudText->c_str()) : QStringLiteral("9600");
    m_baudLineRead = stored.baudText.value_or(std::string());
    m_baudTextShown = stored.baudText ? baudText : QString();

    Combo1->setEditText(QStringLiteral("COM") + portText);
    Combo2->setCurrentIndex(Combo2->findText(baudText));
    Combo2->setEditText(baudText);
    Combo3->setCurrentIndex(0);
    Combo4->setCurrentIndex(0);
    Combo5->setCurrentIndex(0);
    Combo6->setCurrentIndex(1);

    const int index = app::PortIndexFromText(portText.toStdString(), Combo1->count());
    Combo1->setCurrentIndex(index);
    // Qt rewrites the text of an editable list with its selection; with none, the text
    // keeps what line 1 said ("COM0").
    if (index < 0)
        Combo1->setEditText(QStringLiteral("COM") + portText);
    Combo1_Click();

    QStringList addresses;
    for (int i = 0; i < 255; ++i)
        addresses << QString::number(i + 1);
    Combo_Addr[0]->addItems(addresses.mid(0, 254));
    Combo_Addr[2]->addItems(addresses);
    Combo_Addr[0]->setEditText(QStringLiteral("1"));
    Combo_Addr[2]->setEditText(QStringLiteral("1"));

    // Typing limits and start numbers from the parameter rows; the numbers are shown in each
    // box's format (the counter Text14 is not formatted).
    for (const device::Parameter &row : device::kParameters) {
        auto *const box = findChild<ValueBox *>(QLatin1String(BoxName(row)));
        if (!box)
            continue;
        if (row.typingLimit > 0)
            box->SetTypingLimit(row.typingLimit);
        std::string shown = row.start;
        if (row.coding == device::Coding::Number && device::IsSettable(row))
            shown = device::FormatNumber(shown, row.decimals).value_or(shown);
        box->setText(QString::fromStdString(shown));
    }
}

void MainWindow::Form_QueryUnload()
{
    // Shutdown writes the two lines back; a file that cannot be written is skipped, and
    // the close goes ahead whatever happens here.
    const QFileInfo info(QString::fromLatin1(app::kSettingsFileName));
    if (info.exists() && !info.isFile())
        return;
    QFile file(info.filePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    const QString baud = Combo2->currentText();
    const bool asRead = !m_baudTextShown.isNull() && baud == m_baudTextShown;
    file.write(QByteArray::fromStdString(
        app::FormatSettings(Combo1->currentIndex() + 1, asRead ? m_baudLineRead : baud.toLocal8Bit().toStdString())));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    Form_QueryUnload();
    event->accept();
}

// ---------------------------------------------------------------- the port

bool MainWindow::PortIsOpen() const
{
    return m_portShownOpen;
}

void MainWindow::ShowPortLook(bool open)
{
    m_portShownOpen = open;
    Command1->setText(Tr(open ? texts::kPortOpenCaption : texts::kPortClosedCaption));
    Shape1->SetColor(open ? kGreen : kBlack);
}

void MainWindow::ShowPortClosed()
{
    ShowPortLook(false);
    OpenPortNumber = 0;
}

void MainWindow::ShowMessage(const QString &text, const QString &reason)
{
    if (m_showMessage)
        m_showMessage(text, reason);
}

namespace {
const char *OpenFailureMessage(serial::OpenResult result)
{
    switch (result) {
    case serial::OpenResult::NotFound:
        return texts::kPortMissing;
    case serial::OpenResult::Busy:
        return texts::kPortAlreadyOpen;
    default:
        return texts::kOtherError;
    }
}
} // namespace

void MainWindow::Command1_Click()
{
    if (PortIsOpen()) {
        Timer2->stop();
        m_port.Close();
        ShowPortClosed();
        return;
    }
    const int port = Combo1->currentIndex() + 1;
    if (!OpenPortChecked(port))
        return;
    ShowPortLook(true);
    // The letter goes with the item the text names, in whichever language the items are.
    static const char *const kParityLetters[] = {"N", "O", "E"};
    const int parity = Combo3->findText(Combo3->currentText(), Qt::MatchExactly);
    if (parity >= 0 && parity < static_cast<int>(std::size(kParityLetters)))
        ParityLetter = QLatin1String(kParityLetters[parity]);
    PortSettings = Combo2->currentText() + QLatin1Char(',') + ParityLetter + QLatin1Char(',')
                   + Combo4->currentText() + QLatin1Char(',') + Combo5->currentText();
    const serial::OpenResult result = ConfigureAndOpenPort(port);
    if (result != serial::OpenResult::Ok) {
        // The device was taken since the trial, or the port refuses the settings (the
        // baud text is editable): back to closed, with the message the trial would give.
        ShowPortClosed();
        PrintPortFailure(port, result);
        ShowMessage(Tr(OpenFailureMessage(result)), PortFailureReason(port, result));
        return;
    }
    OpenPortNumber = static_cast<int16_t>(port);
}

bool MainWindow::OpenPortChecked(int port)
{
    const serial::OpenResult result = port >= 1 ? m_port.TrialOpen(port) : serial::OpenResult::NotFound;
    if (result == serial::OpenResult::Ok)
        return true;
    if (port < 1)
        m_port.lastFailure = {{}, "no port chosen in the list"};
    PrintPortFailure(port, result);
    ShowMessage(Tr(OpenFailureMessage(result)), PortFailureReason(port, result));
    return false;
}

void MainWindow::PrintPortFailure(int port, serial::OpenResult result)
{
    if (m_printError)
        m_printError(QString::fromStdString(serial::FailureLine(port, m_port.lastFailure, result)));
}

// The box's informative text: the system's reason in words that fit the device and the user.
QString MainWindow::PortFailureReason(int port, serial::OpenResult result) const
{
    const serial::OpenFacts facts = serial::GatherOpenFacts(port, m_port.lastFailure.device);
    return QString::fromStdString(serial::OpenFailureAdvice(port, m_port.lastFailure, result, facts));
}

serial::OpenResult MainWindow::ConfigureAndOpenPort(int port)
{
    return m_port.Open(port, serial::Settings{PortSettings.toStdString()});
}

void MainWindow::Combo1_Click()
{
    const int n = Combo1->currentIndex() + 1;
    // The port in use is the open one: text typed into Combo1 may have moved the chosen
    // item since it was opened, without a click. Otherwise it is the last one clicked.
    if (n == (OpenPortNumber != 0 ? OpenPortNumber : SelectedPort)) {
        SelectedPort = static_cast<int16_t>(n);
        return;
    }
    // Another port chosen while open: close it and say so, rather than leave a window
    // that reads "open" over a closed port.
    if (OpenPortNumber != 0 || PortIsOpen()) {
        Timer2->stop();
        m_port.Close();
        ShowPortClosed();
    }
    SelectedPort = static_cast<int16_t>(n);
}

void MainWindow::Combo2_Click()
{
    if (PortIsOpen())
        Command1_Click();
}

void MainWindow::Combo6_Click() { Timer2->stop(); }
void MainWindow::Text3_Click() { Timer2->stop(); }
void MainWindow::Text4_Click() { Timer2->stop(); }
void MainWindow::Text5_Click() { Timer2->stop(); }

void MainWindow::Label9_Click()
{
    if (m_openUrl)
        m_openUrl(Q(texts::kVendorUrl));
}

// ---------------------------------------------------------------- the exchange

void MainWindow::MSComm1_OnComm()
{
    const std::vector<uint8_t> bytes = m_port.ReadAll();
    if (ReceiveBuffer.size() < kReceiveBufferLimit)
        modbus::AppendHexText(ReceiveBuffer, bytes.data(), bytes.size());
}

void MainWindow::ClearExchangeTexts(bool frameFields)
{
    Message_Show->clear();
    SendText.clear();
    ReceiveBuffer.clear();
    if (frameFields) {
        Text1[0]->clear();
        Text2->clear();
    }
}

std::optional<uint8_t> MainWindow::CheckedAddress(QComboBox *list, const char *emptyMessage)
{
    if (!PortIsOpen()) {
        ShowMessage(Tr(texts::kOpenPortFirst));
        return std::nullopt;
    }
    // Text that is not a whole number 0..255 never becomes an address byte.
    const auto address = modbus::ParseSlaveAddress(list->currentText().toStdString());
    if (!address)
        ShowMessage(Tr(emptyMessage));
    return address;
}

void MainWindow::SendFrame(const std::vector<uint8_t> &frame, bool pause)
{
    modbus::AppendHexText(SendText, frame.data(), frame.size());
    Text1[0]->setPlainText(QString::fromLatin1(SendText.c_str()));
    // A port that refuses (the device vanished) sends nothing; the check then finds no
    // reply and says so.
    m_port.Write(frame);
    if (m_onRequestSent)
        m_onRequestSent(frame);
    if (pause && m_sleep)
        m_sleep(100);
    StartReplyCheck();
}

void MainWindow::StartReplyCheck()
{
    // A check already pending keeps its tick.
    if (!Timer1->isActive())
        Timer1->start();
}

void MainWindow::Timer1_Timer()
{
    if (m_onReplyCheck)
        m_onReplyCheck(SendText, ReceiveBuffer);
    if (modbus::WindowAcceptsReply(modbus::ParseHexText(SendText).value_or(std::vector<uint8_t>{}),
                                   modbus::ParseHexText(ReceiveBuffer).value_or(std::vector<uint8_t>{}))) {
        Text2->setPlainText(QString::fromLatin1(ReceiveBuffer.c_str()));
        DecodeReply();
        Message_Show->setPlainText(Tr(texts::kReplyGood));
    } else {
        Message_Show->setPlainText(Tr(texts::kReplyBad));
    }
    Timer1->stop();
}

void MainWindow::DecodeReply()
{
    const auto decoded = device::DecodeReply(ReceiveBuffer);
    if (!decoded)
        return;
    // A box that already shows its value is left alone: rewriting it would repaint the
    // box and the group behind it, on every read, for nothing.
    for (const auto &[row, text] : decoded->texts) {
        ValueBox *const field = findChild<ValueBox *>(QLatin1String(BoxName(*row)));
        if (!field)
            continue;
        const QString shown = QString::fromStdString(text);
        if (field->text() != shown)
            field->setText(shown);
    }
    if (decoded->baudItem) {
        Combo6->setCurrentIndex(*decoded->baudItem);
        const QString item = Combo6->itemText(*decoded->baudItem);
        if (Combo6->currentText() != item)
            Combo6->setEditText(item);
    }
    if (decoded->outputState) {
        OutputFlag = *decoded->outputState;
        SetOutputLook(OutputFlag == 1);
    }
}

void MainWindow::SetOutputLook(bool on)
{
    m_outputShownOn = on;
    Command5->setText(Q(on ? texts::kOn : texts::kOff));
    SetBackground(Label15[0], on ? kGreen : kWhite);
}

// ---------------------------------------------------------------- the operations

void MainWindow::Command_OK1_Click()
{
    ClearExchangeTexts(true);
    // The new address goes to every module on the line: the broadcast address.
    const auto newAddress = CheckedAddress(Combo_Addr[0], texts::kParameterError);
    if (!newAddress)
        return;
    SendFrame(modbus::BuildWriteSingleRequest(modbus::kBroadcastAddress, device::kSlaveAddressRegister, *newAddress),
              true);
}

void MainWindow::Command2_Click()
{
    ClearExchangeTexts(true);
    device::FieldTexts texts;
    for (const device::Parameter &row : device::kParameters) {
        if (auto *const box = findChild<ValueBox *>(QLatin1String(BoxName(row))))
            texts[device::RowIndex(row)] = box->text().toStdString();
    }
    const device::ParameterWrite write =
        device::NormaliseParameters(texts, Combo6->currentText().toStdString(), BaudRateCode);
    // The fields are normalised whether or not the request then goes out.
    for (const device::Parameter &row : device::kParameters) {
        auto *const box = findChild<ValueBox *>(QLatin1String(BoxName(row)));
        const QString shown = QString::fromStdString(write.texts[device::RowIndex(row)]);
        if (box && row.written == device::Written::InBlock && box->text() != shown)
            box->setText(shown);
    }
    BaudRateCode = write.baudRateCode;
    const auto slave = CheckedAddress(Combo_Addr[2], texts::kParameterError);
    if (!slave)
        return;
    // A module baud text that is none of the six rates would send a code the user did not
    // choose (0 before any write: 4800 baud, and the module is out of reach).
    if (!device::BaudRateCodeFor(Combo6->currentText().toStdString())) {
        ShowMessage(Tr(texts::kParameterError));
        return;
    }
    SendFrame(device::BuildParameterWriteRequest(*slave, write.registers), true);
}

void MainWindow::Command3_Click()
{
    ClearExchangeTexts(true);
    Timer2->stop();
    const auto slave = CheckedAddress(Combo_Addr[2], texts::kParameterError);
    if (!slave)
        return;
    SendFrame(modbus::BuildReadRequest(*slave, device::kReadBlockFirst, device::kReadBlockCount), true);
}

void MainWindow::Command5_Click()
{
    ClearExchangeTexts(true);
    // The switch flips at once, whether or not the write then goes out.
    const bool on = !m_outputShownOn;
    SetOutputLook(on);
    OutputFlag = on ? 1 : 0;
    const auto slave = CheckedAddress(Combo_Addr[2], texts::kParameterError);
    if (!slave)
        return;
    SendFrame(modbus::BuildWriteSingleRequest(*slave, device::OutputState, static_cast<uint16_t>(OutputFlag)), true);
}

// ---------------------------------------------------------------- polling (nothing starts it)

void MainWindow::Timer2_Timer()
{
    ClearExchangeTexts(true);
    if (!PortIsOpen()) {
        Timer2->stop();
        ShowMessage(Tr(texts::kOpenPortFirst));
        return;
    }
    const auto slave = modbus::ParseSlaveAddress(Combo_Addr[2]->currentText().toStdString());
    if (!slave) {
        Timer2->stop();
        ShowMessage(Tr(texts::kAddressNotSet));
        return;
    }
    // The polled read asks for the same block as the read button, so that its reply is
    // judged and decoded like one.
    SendFrame(modbus::BuildReadRequest(*slave, device::kReadBlockFirst, device::kReadBlockCount), false);
}

void MainWindow::Timer3_Timer()
{
    ClearExchangeTexts(true);
    Timer2->stop();
    if (const auto slave = CheckedAddress(Combo_Addr[2], texts::kParameterError))
        SendFrame(modbus::BuildReadRequest(*slave, device::kReadBlockFirst, device::kReadBlockCount), true);
    Timer3->stop();
}

void MainWindow::WriteRegister0012AndReadBack()
{
    if (OutputFlag == 0) {
        ClearExchangeTexts(false);
        if (const auto slave = CheckedAddress(Combo_Addr[2], texts::kParameterError))
            SendFrame(modbus::BuildWriteSingleRequest(*slave, device::PollMarker, 1), true);
    }
    Timer3->start();
}

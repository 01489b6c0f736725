// bench-floor: the least a Qt Widgets program with the tool's window costs. The same
// number and kinds of widgets at the same places (3 group boxes, 28 labels, 8 editable
// lists, 12 line edits, 5 buttons, 3 read-only multi-line boxes, 3 lines, 1 plain
// widget), the same captions and list items, one QSerialPort and three stopped timers;
// the application's default font, palette and nothing else.
//
//   bench-floor [--focus] [--port DEVICE] [--sizes]
//     --focus        put the keyboard focus into the first line edit (blinking caret)
//     --port DEVICE  open the serial port object on DEVICE, 9600 8N1
//     --sizes        the default font in the window's four sizes, each set before the text
//                    it draws: 10.5 pt (captions, lists, the three boxes below), 12 pt bold
//                    (group titles), 14.25 pt (value boxes, the link), 15 pt (buttons)

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <cstring>
#include <vector>

namespace {

// Twips to pixels at 96 dpi, as the tool's layout does.
int Px(int twips)
{
    return (twips + 7) / 15;
}
QRect Tw(int left, int top, int width, int height)
{
    return QRect(Px(left), Px(top), Px(width), Px(height));
}
QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QLabel *Caption(QWidget *parent, const char *text, int left, int top)
{
    auto *label = new QLabel(U(text), parent);
    label->move(Px(left), Px(top));
    label->adjustSize();
    return label;
}

QComboBox *List(QWidget *parent, const QRect &rect, const QStringList &items)
{
    auto *combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->addItems(items);
    combo->setGeometry(rect);
    return combo;
}

bool g_sized = false;  // --sizes

void SetText(QGroupBox *group, const QString &text)
{
    group->setTitle(text);
}
template <typename Widget>
void SetText(Widget *widget, const QString &text)
{
    widget->setText(text);
}

// A widget showing `text` at `rect`: in the default font, or with --sizes in one of the
// window's sizes, set before the text.
template <typename Widget>
Widget *Text(QWidget *parent, const QString &text, const QRect &rect, double points, bool bold = false)
{
    Widget *widget;
    if (g_sized) {
        widget = new Widget(parent);
        QFont font = widget->font();
        font.setPointSizeF(points);
        font.setBold(bold);
        widget->setFont(font);
        SetText(widget, text);
    } else {
        widget = new Widget(text, parent);
    }
    widget->setGeometry(rect);
    return widget;
}

QStringList Numbers(int last)
{
    QStringList items;
    for (int i = 1; i <= last; ++i)
        items << QString::number(i);
    return items;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    bool focus = false;
    QString device;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--focus") == 0)
            focus = true;
        else if (std::strcmp(argv[i], "--sizes") == 0)
            g_sized = true;
        else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc)
            device = QString::fromLocal8Bit(argv[++i]);
    }

    if (g_sized) {
        QFont font = QApplication::font();
        font.setPointSizeF(10.5);
        QApplication::setFont(font);
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("Floor"));
    window.setFixedSize(Px(14310), Px(6990));

    const QStringList rates{"4800", "9600", "19200", "38400", "57600", "115200"};

    auto *portGroup = Text<QGroupBox>(&window, U(" 通讯设置 "), Tw(120, 120, 2415, 5655), 12, true);
    Caption(portGroup, "串口号", 480, 550);
    Caption(portGroup, "波特率", 480, 1250);
    Caption(portGroup, "校验位", 480, 1950);
    Caption(portGroup, "数据位", 480, 2650);
    Caption(portGroup, "停止位", 480, 3435);
    Caption(portGroup, "Slave ID", 240, 4125);
    QStringList ports;
    for (int n = 1; n <= 9; ++n)
        ports << QStringLiteral("COM%1").arg(n);
    List(portGroup, Tw(1200, 480, 975, 300), ports);
    List(portGroup, Tw(1200, 1200, 975, 300), rates);
    List(portGroup, Tw(1200, 1920, 975, 300), {U("无校验"), U("奇校验"), U("偶校验")})->setEnabled(false);
    List(portGroup, Tw(1200, 2640, 975, 300), {"8", "7", "6"})->setEnabled(false);
    List(portGroup, Tw(1200, 3360, 975, 300), {"1", "2"})->setEnabled(false);
    List(portGroup, Tw(1200, 4080, 975, 300), Numbers(255));
    (new QWidget(portGroup))->setGeometry(Tw(840, 5040, 255, 375));
    (new QPushButton(U("打开串口"), portGroup))->setGeometry(Tw(1200, 5040, 975, 375)); // 10.5 pt

    auto *presetGroup = Text<QGroupBox>(&window, U(" 预设值 "), Tw(2760, 120, 11415, 4575), 12, true);
    const int captionLeft[] = {240, 4200, 8520};
    const int boxLeft[] = {2520, 6840, 9960};
    const int rowTop[] = {480, 1185, 1890, 2595, 3300, 4005};
    const char *captions[][6] = {
        {"PWM Volt(1.0-24.0V):", "PWM Freq(1-150000HZ):", "PWM Duty(0-100%):", "电压源(2.00-10.00V):",
         "电流源(4.00-20.00mA):", "正弦波频率(1-1005HZ):"},
        {"Pulse DT(0-60.000S):", "Pulse HT(0.001-60.000S):", "Pulse LT(0.001-60.000S):", "Pulse NUM(1-60000):",
         "Pulse Count:", nullptr},
        {"工作模式:", "修改波特率:", "输出状态:", nullptr, nullptr, nullptr}};
    const char *starts[][6] = {{"10.0", "1000", "50.0", "5.00", "4.00", "50"},
                               {"0.000", "0.010", "0.010", "50", "50", nullptr},
                               {"1", nullptr, nullptr, nullptr, nullptr, nullptr}};
    std::vector<QLineEdit *> boxes;
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 6; ++row) {
            if (captions[column][row])
                Caption(presetGroup, captions[column][row], captionLeft[column], rowTop[row] + 75);
            if (starts[column][row]) {
                boxes.push_back(Text<QLineEdit>(presetGroup, QString::fromLatin1(starts[column][row]),
                                                Tw(boxLeft[column], rowTop[row], 1215, row == 0 ? 375 : 405), 14.25));
            }
        }
    }
    List(presetGroup, Tw(9960, 1200, 1215, 300), rates)->setCurrentIndex(1);
    (new QLabel(presetGroup))->setGeometry(Tw(9900, 1875, 1335, 460));
    Text<QPushButton>(presetGroup, QStringLiteral("OFF"), Tw(9960, 1920, 1215, 375), 15);
    Text<QPushButton>(presetGroup, U("设 置"), Tw(9960, 2640, 1215, 375), 15);
    Text<QPushButton>(presetGroup, U("读 取"), Tw(9960, 3960, 1215, 375), 15);
    auto *picture = new QLabel(presetGroup);
    picture->setGeometry(Tw(8520, 3480, 1095, 855));
    Caption(picture, "Velqor", 180, 600);
    auto line = [presetGroup](QFrame::Shape shape, const QRect &rect) {
        auto *f = new QFrame(presetGroup);
        f->setFrameShape(shape);
        f->setGeometry(rect);
    };
    line(QFrame::HLine, Tw(240, 2450, 3480, 15));
    line(QFrame::VLine, Tw(3960, 480, 15, 3840));
    line(QFrame::VLine, Tw(8280, 480, 15, 3840));

    auto *addressGroup = Text<QGroupBox>(&window, U(" 模块地址更改 "), Tw(2760, 4800, 11415, 975), 12, true);
    Caption(addressGroup, "模块地址:", 240, 480);
    List(addressGroup, Tw(1680, 400, 1215, 300), Numbers(254));
    Text<QLabel>(addressGroup, QStringLiteral("http://www.velqor.example"), Tw(3480, 400, 5895, 255), 14.25);
    Text<QPushButton>(addressGroup, U("修 改"), Tw(9960, 360, 1215, 375), 15);

    Caption(&window, "Send:", 135, 6120);
    Caption(&window, "Mess:", 11040, 6120);
    Caption(&window, "Rece:", 120, 6600);
    for (const QRect &rect : {Tw(720, 6000, 9975, 375), Tw(11640, 6000, 2535, 375), Tw(720, 6480, 13455, 375)}) {
        auto *box = new QPlainTextEdit(&window);
        box->setReadOnly(true);
        box->setGeometry(rect);
    }

    QSerialPort port;
    QTimer timer1, timer2, timer3;
    timer1.setInterval(160);
    timer2.setInterval(500);
    timer3.setInterval(1000);

    window.show();
    if (focus) {
        window.activateWindow();
        boxes.front()->setFocus();
    }
    if (!device.isEmpty()) {
        port.setPortName(device);
        port.setBaudRate(9600);
        if (!port.open(QIODevice::ReadWrite))
            qWarning("bench-floor: cannot open %s", qPrintable(device));
    }
    return application.exec();
}

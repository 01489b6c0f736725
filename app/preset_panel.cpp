#include "app/preset_panel.h"

#include "app/click_label.h"
#include "app/exchange_controller.h"
#include "app/look.h"
#include "app/value_box.h"
#include "app/waveform_picture.h"
#include "device/parameter_table.h"
#include "device/parameters.h"
#include "device/reply_decoding.h"
#include "modbus/frames.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QPushButton>

#include <algorithm>
#include <cstring>

using layout::Tw;
using texts::Tr;

namespace {

// Where each parameter row sits in the group's three columns of six rows. The PWM boxes
// take only digits and points; the work-mode caption opens the vendor's page. A row without
// a place here has no control in the window.
enum class Extra { None, KeyFilter, VendorLink };
struct Place {
    const char *key;
    int column;
    int row;
    Extra extra;
};
constexpr Place kPlaces[] = {
    {"pwm_voltage", 0, 0, Extra::KeyFilter},  {"pwm_frequency", 0, 1, Extra::KeyFilter},
    {"pwm_duty", 0, 2, Extra::KeyFilter},     {"voltage_source", 0, 3, Extra::None},
    {"current_source", 0, 4, Extra::None},    {"sine_frequency", 0, 5, Extra::None},
    {"pulse_delay", 1, 0, Extra::None},       {"pulse_high", 1, 1, Extra::None},
    {"pulse_low", 1, 2, Extra::None},         {"pulse_number", 1, 3, Extra::None},
    {"pulse_count", 1, 4, Extra::None},       {"work_mode", 2, 0, Extra::VendorLink},
    {"module_baud", 2, 1, Extra::None},       {"output", 2, 2, Extra::None},
};
constexpr int kCaptionLeft[] = {240, 4200, 8520};
constexpr int kBoxLeft[] = {2520, 6840, 9960};
constexpr int kRowTop[] = {480, 1185, 1890, 2595, 3300, 4005};

const Place *PlaceOf(const device::Parameter &row)
{
    for (const Place &place : kPlaces) {
        if (std::strcmp(place.key, row.key) == 0)
            return &place;
    }
    return nullptr;
}

// "pulse_high" gives "pulseHigh".
QString CamelCase(const char *key)
{
    QString name;
    bool upper = false;
    for (const char *c = key; *c; ++c) {
        if (*c == '_') {
            upper = true;
            continue;
        }
        name += upper ? QChar::fromLatin1(*c).toUpper() : QChar::fromLatin1(*c);
        upper = false;
    }
    return name;
}

} // namespace

PresetPanel::PresetPanel(ExchangeController &exchange, const ShowMessage &showMessage,
                         const std::function<void(const QString &)> &openUrl, const ChooseFile &chooseSaveFile,
                         const ChooseFile &chooseOpenFile, QWidget *parent)
    : QGroupBox(parent), m_exchange(exchange), m_showMessage(showMessage), m_openUrl(openUrl),
      m_chooseSaveFile(chooseSaveFile), m_chooseOpenFile(chooseOpenFile)
{
    look::SetUpGroup(this, QStringLiteral("presetGroup"), Tr(texts::kPresetGroup), Tw(2760, 120, 11415, 4575));

    // The rows in the order of their places, column by column: the order the keyboard visits them.
    std::vector<std::pair<const device::Parameter *, const Place *>> placed;
    for (const device::Parameter &row : device::kParameters) {
        if (const Place *place = PlaceOf(row))
            placed.emplace_back(&row, place);
    }
    std::sort(placed.begin(), placed.end(), [](const auto &a, const auto &b) {
        return std::pair(a.second->column, a.second->row) < std::pair(b.second->column, b.second->row);
    });

    for (const auto &[row, place] : placed) {
        const QString name = CamelCase(row->key) + QStringLiteral("Caption");
        const int left = kCaptionLeft[place->column];
        const int top = kRowTop[place->row] + 75;
        const QString text = QCoreApplication::translate(device::kCaptionContext, row->caption);
        QLabel *caption = place->extra == Extra::VendorLink ? look::Caption<ClickLabel>(this, name, text, left, top)
                                                            : look::Caption(this, name, text, left, top);
        m_fields.push_back({row, caption, nullptr});
    }
    for (Field &field : m_fields) {
        if (field.row->coding != device::Coding::Number)
            continue;
        const Place *place = PlaceOf(*field.row);
        auto *box = new ValueBox(this);
        box->setObjectName(CamelCase(field.row->key) + QStringLiteral("Box"));
        box->setFont(look::SimSun(14.25));
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, look::kBlack);
        palette.setColor(QPalette::Text, look::kCyan);
        box->setPalette(palette);
        box->setGeometry(Tw(kBoxLeft[place->column], kRowTop[place->row], 1215, place->row == 0 ? 375 : 405));
        box->SetKeyFilter(place->extra == Extra::KeyFilter);
        field.box = box;
    }

    m_moduleBaudList = look::List(this, QStringLiteral("moduleBaudList"), look::RateItems(), Tw(9960, 1200, 1215, 300));

    m_outputFrame = new QLabel(this);
    m_outputFrame->setObjectName(QStringLiteral("outputFrame"));
    m_outputFrame->setGeometry(Tw(9900, 1875, 1335, 460));
    look::SetBackground(m_outputFrame, look::kWhite);

    m_outputButton = look::Button(this, QStringLiteral("outputButton"), texts::kOff, 15, Tw(9960, 1920, 1215, 375));
    m_writeButton = look::Button(this, QStringLiteral("writeButton"), texts::kWrite, 15, Tw(9960, 2640, 1215, 375));
    m_readButton = look::Button(this, QStringLiteral("readButton"), texts::kRead, 15, Tw(9960, 3960, 1215, 375));

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setGeometry(Tw(8520, 3480, 1095, 855));
    m_picture->setPixmap(WaveformPicture());
    m_picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pictureCaption = look::Caption(m_picture, QStringLiteral("pictureCaption"), texts::kPictureWord, 180, 600);

    auto line = [this](const char *name, QFrame::Shape shape, const QRect &rect) {
        auto *frame = new QFrame(this);
        frame->setObjectName(QLatin1String(name));
        frame->setFrameShape(shape);
        frame->setFrameShadow(QFrame::Plain);
        frame->setGeometry(rect);
        return frame;
    };
    m_pwmLine = line("pwmLine", QFrame::HLine, Tw(240, 2450, 3720 - 240, 15));
    m_firstColumnLine = line("firstColumnLine", QFrame::VLine, Tw(3960, 480, 15, 4320 - 480));
    m_secondColumnLine = line("secondColumnLine", QFrame::VLine, Tw(8280, 480, 15, 4320 - 480));

    connect(m_writeButton, &QPushButton::clicked, this, [this] { m_exchange.WhenIdle([this] { writeParameters(); }); });
    connect(m_readButton, &QPushButton::clicked, this, [this] { m_exchange.WhenIdle([this] { readParameters(); }); });
    connect(m_outputButton, &QPushButton::clicked, this, [this] { m_exchange.WhenIdle([this] { switchOutput(); }); });
    for (const Field &field : m_fields) {
        if (auto *link = qobject_cast<ClickLabel *>(field.caption))
            connect(link, &ClickLabel::clicked, this, &PresetPanel::openVendorPage);
    }
}

void PresetPanel::Start()
{
    m_moduleBaudList->setCurrentIndex(1);
    // The start numbers are shown in each box's format; the counter is not formatted.
    for (const Field &field : m_fields) {
        if (!field.box)
            continue;
        const device::Parameter &row = *field.row;
        if (row.typingLimit > 0)
            field.box->SetTypingLimit(row.typingLimit);
        std::string shown = row.start;
        if (device::IsSettable(row))
            shown = device::FormatNumber(shown, row.decimals).value_or(shown);
        field.box->setText(QString::fromStdString(shown));
    }
}

device::FieldTexts PresetPanel::FieldTexts() const
{
    device::FieldTexts texts;
    for (const Field &field : m_fields) {
        if (field.box)
            texts[device::RowIndex(*field.row)] = field.box->text().toStdString();
    }
    return texts;
}

ValueBox *PresetPanel::Box(std::string_view key) const
{
    for (const Field &field : m_fields) {
        if (key == field.row->key)
            return field.box;
    }
    return nullptr;
}

void PresetPanel::openVendorPage()
{
    if (m_openUrl)
        m_openUrl(QString::fromUtf8(texts::kVendorUrl));
}

void PresetPanel::writeParameters()
{
    m_exchange.Begin();
    const device::ParameterWrite write =
        device::NormaliseParameters(FieldTexts(), m_moduleBaudList->currentText().toStdString(), m_moduleBaudCode);
    // The fields are corrected whether or not the request then goes out.
    for (const Field &field : m_fields) {
        const QString corrected = QString::fromStdString(write.texts[device::RowIndex(*field.row)]);
        if (field.box && field.row->written == device::Written::InBlock && field.box->text() != corrected)
            field.box->setText(corrected);
    }
    m_moduleBaudCode = write.baudRateCode;
    const auto slave = m_exchange.CheckedSlave();
    if (!slave)
        return;
    // A module baud text that is none of the six rates would send a code the user did not
    // choose (0 before any write: 4800 baud, and the module is out of reach).
    if (!device::BaudRateCodeFor(m_moduleBaudList->currentText().toStdString())) {
        m_showMessage(Tr(texts::kParameterError), QString());
        return;
    }
    m_exchange.Send(device::BuildParameterWriteRequest(*slave, write.registers));
}

void PresetPanel::readParameters()
{
    m_exchange.Begin();
    if (const auto slave = m_exchange.CheckedSlave())
        m_exchange.Send(modbus::BuildReadRequest(*slave, device::kReadBlockFirst, device::kReadBlockCount));
}

void PresetPanel::switchOutput()
{
    m_exchange.Begin();
    // The switch flips at once, whether or not the write then goes out.
    const bool on = !m_outputShownOn;
    showOutput(on);
    if (const auto slave = m_exchange.CheckedSlave())
        m_exchange.Send(modbus::BuildWriteSingleRequest(*slave, device::OutputState, on ? 1 : 0));
}

void PresetPanel::showOutput(bool on)
{
    m_outputShownOn = on;
    m_outputButton->setText(QString::fromUtf8(on ? texts::kOn : texts::kOff));
    look::SetBackground(m_outputFrame, on ? look::kGreen : look::kWhite);
}

void PresetPanel::showReadValues(const std::vector<uint8_t> &reply)
{
    const auto decoded = device::DecodeReply(reply);
    if (!decoded)
        return;
    // A box that already shows its value is left alone: rewriting it would repaint the
    // box and the group behind it, on every read, for nothing.
    for (const auto &[row, text] : decoded->texts) {
        ValueBox *const box = Box(row->key);
        const QString shown = QString::fromStdString(text);
        if (box && box->text() != shown)
            box->setText(shown);
    }
    if (decoded->baudItem) {
        m_moduleBaudList->setCurrentIndex(*decoded->baudItem);
        const QString item = m_moduleBaudList->itemText(*decoded->baudItem);
        if (m_moduleBaudList->currentText() != item)
            m_moduleBaudList->setEditText(item);
    }
    // ON only for 1; the next press writes the opposite of what is shown.
    if (decoded->outputState)
        showOutput(*decoded->outputState == 1);
}

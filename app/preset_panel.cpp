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

using layout::Tw;
using texts::Tr;

namespace {

// The preset group's grid: three columns of a caption and a box, six rows. The first row's
// boxes are lower than the others; each caption sits a little below its box.
namespace grid {
constexpr int kColumns = 3;
constexpr int kRows = 6;
constexpr int kCaptionLeft[kColumns] = {240, 4200, 8520};
constexpr int kBoxLeft[kColumns] = {2520, 6840, 9960};
constexpr int kRowTop[kRows] = {480, 1185, 1890, 2595, 3300, 4005};
constexpr int kBoxWidth = 1215;
constexpr int kFirstBoxHeight = 375;
constexpr int kBoxHeight = 405;
constexpr int kCaptionDrop = 75;
// The last column's lower rows hold the write button, the picture and the read button.
constexpr int kFixedFrom = 3;

struct Cell {
    int column;
    int row;
};

// Every row's cell: its own, or the first free one, column by column. A row that finds no
// free cell is a table the window cannot show: that stops at once rather than hide it.
std::vector<Cell> CellsOf()
{
    bool taken[kColumns][kRows] = {};
    for (int row = kFixedFrom; row < kRows; ++row)
        taken[kColumns - 1][row] = true;
    for (const device::Parameter &p : device::kParameters) {
        if (p.gridColumn >= 0)
            taken[p.gridColumn][p.gridRow] = true;
    }
    std::vector<Cell> cells;
    for (const device::Parameter &p : device::kParameters) {
        Cell cell{p.gridColumn, p.gridRow};
        for (int i = 0; cell.column < 0 && i < kColumns * kRows; ++i) {
            if (!taken[i / kRows][i % kRows]) {
                taken[i / kRows][i % kRows] = true;
                cell = {i / kRows, i % kRows};
            }
        }
        if (cell.column < 0)
            qFatal("the preset group has no free cell for the parameter %s", p.key);
        cells.push_back(cell);
    }
    return cells;
}

// in twips
QPoint CaptionAt(Cell cell)
{
    return {kCaptionLeft[cell.column], kRowTop[cell.row] + kCaptionDrop};
}

QRect BoxAt(Cell cell)
{
    return layout::Tw(kBoxLeft[cell.column], kRowTop[cell.row], kBoxWidth,
                      cell.row == 0 ? kFirstBoxHeight : kBoxHeight);
}
} // namespace grid

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

    // The rows in the order of their cells, column by column: the order the keyboard visits them.
    const std::vector<grid::Cell> cells = grid::CellsOf();
    std::vector<std::size_t> order(device::kParameterCount);
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&cells](std::size_t a, std::size_t b) {
        return std::pair(cells[a].column, cells[a].row) < std::pair(cells[b].column, cells[b].row);
    });

    for (std::size_t i : order) {
        const device::Parameter &row = device::kParameters[i];
        const QString name = CamelCase(row.key) + QStringLiteral("Caption");
        const QPoint at = grid::CaptionAt(cells[i]);
        const QString text = QCoreApplication::translate(device::kCaptionContext, row.caption);
        QLabel *caption = row.opensVendorPage ? look::Caption<ClickLabel>(this, name, text, at.x(), at.y())
                                              : look::Caption(this, name, text, at.x(), at.y());
        m_fields.push_back({&row, caption, nullptr});
    }
    for (Field &field : m_fields) {
        if (field.row->coding != device::Coding::Number)
            continue;
        auto *box = new ValueBox(this);
        box->setObjectName(CamelCase(field.row->key) + QStringLiteral("Box"));
        box->setFont(look::SimSun(14.25));
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, look::kBlack);
        palette.setColor(QPalette::Text, look::kCyan);
        box->setPalette(palette);
        box->setGeometry(grid::BoxAt(cells[device::RowIndex(*field.row)]));
        box->SetKeyFilter(field.row->digitsOnly);
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
    for (const device::Parameter &row : device::kParameters) {
        if (row.coding == device::Coding::RateCode)
            m_moduleBaudList->setCurrentIndex(m_moduleBaudList->findText(QString::fromLatin1(row.start)));
    }
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
        if (field.box && device::IsSettable(*field.row) && field.box->text() != corrected)
            field.box->setText(corrected);
    }
    m_moduleBaudCode = write.baudRateCode;
    const auto slave = m_exchange.CheckedSlave();
    if (!slave)
        return;
    // A module baud text that is none of the module's rates would send a code the user did not
    // choose (0 before any write: 4800 baud, and the module is out of reach).
    if (!device::BaudRateCodeFor(m_moduleBaudList->currentText().toStdString())) {
        m_showMessage(Tr(texts::kParameterError), QString());
        return;
    }
    // The rows written on their own follow the block, each after the one before was answered.
    std::vector<std::vector<uint8_t>> following;
    for (const device::Parameter &row : device::kParameters) {
        if (row.written == device::Written::OnItsOwn && device::IsSettable(row))
            following.push_back(device::BuildOwnWriteRequest(*slave, row, write.registers));
    }
    m_exchange.Send(device::BuildParameterWriteRequest(*slave, write.registers), std::move(following));
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

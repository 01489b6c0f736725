#include "app/status_row.h"

#include "app/look.h"
#include "device/parameter_table.h"

#include <QPlainTextEdit>

#include <cmath>

using layout::Tw;

namespace {

// The parameter write (address, function, register, count, byte count, values, CRC) and
// the read reply (address, function, byte count, values, CRC), in bytes.
constexpr int kLongestRequest = 9 + 2 * device::kParameterBlockCount;
constexpr int kLongestReply = 5 + 2 * device::kReadBlockCount;

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

QPlainTextEdit *Display(QWidget *window, const QString &name, const QRect &rect)
{
    auto *box = new QPlainTextEdit(window);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setGeometry(rect);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return box;
}

} // namespace

void StatusRow::Build(QWidget *window)
{
    m_sentCaption = look::Caption(window, QStringLiteral("sentCaption"), "Send:", 135, 6120);
    m_sentBox = Display(window, QStringLiteral("sentBox"), Tw(720, 6000, 9975, 375));
    FitHexLine(m_sentBox, kLongestRequest);
    m_statusCaption = look::Caption(window, QStringLiteral("statusCaption"), "Mess:", 11040, 6120);
    m_statusBox = Display(window, QStringLiteral("statusBox"), Tw(11640, 6000, 2535, 375));
    m_statusBox->setFont(look::SimSun(10.5));
    m_receivedCaption = look::Caption(window, QStringLiteral("receivedCaption"), "Rece:", 120, 6600);
    m_receivedBox = Display(window, QStringLiteral("receivedBox"), Tw(720, 6480, 13455, 375));
    FitHexLine(m_receivedBox, kLongestReply);
    for (QPlainTextEdit *box : {m_sentBox, m_statusBox, m_receivedBox})
        FitOneLineHigh(box);
}

void StatusRow::Clear()
{
    m_statusBox->clear();
    m_sentBox->clear();
    m_receivedBox->clear();
}

void StatusRow::ShowSent(const QString &hex)
{
    m_sentBox->setPlainText(hex);
}

void StatusRow::ShowReceived(const QString &hex)
{
    m_receivedBox->setPlainText(hex);
}

void StatusRow::ShowStatus(const QString &text)
{
    m_statusBox->setPlainText(text);
}

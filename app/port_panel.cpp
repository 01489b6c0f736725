#include "app/port_panel.h"

#include "app/edit_list.h"
#include "app/exchange_controller.h"
#include "app/lamp.h"
#include "app/look.h"
#include "app/port_tips.h"
#include "serial/line_settings.h"
#include "serial/open_failure_advice.h"
#include "settings/settings_file.h"
#include "serial/port_names.h"

#include <QComboBox>
#include <QPushButton>

using layout::Tw;
using texts::Tr;

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

PortPanel::PortPanel(serial::Port &port, ExchangeController &exchange, const ShowMessage &showMessage,
                     const std::function<void(const QString &)> &printError, QWidget *parent)
    : QGroupBox(parent), m_port(port), m_exchange(exchange), m_showMessage(showMessage),
      m_printError(printError)
{
    look::SetUpGroup(this, QStringLiteral("portGroup"), Tr(texts::kPortGroup), Tw(120, 120, 2415, 5655));

    m_portCaption = look::Caption(this, QStringLiteral("portCaption"), texts::kPortNumber, 480, 550);
    m_baudCaption = look::Caption(this, QStringLiteral("baudCaption"), texts::kBaudRate, 480, 1250);
    m_parityCaption = look::Caption(this, QStringLiteral("parityCaption"), texts::kParity, 480, 1950);
    m_dataBitsCaption = look::Caption(this, QStringLiteral("dataBitsCaption"), texts::kDataBits, 480, 2650);
    m_stopBitsCaption = look::Caption(this, QStringLiteral("stopBitsCaption"), texts::kStopBits, 480, 3435);
    m_slaveCaption = look::Caption(this, QStringLiteral("slaveCaption"), "Slave ID", 240, 4125);

    QStringList ports;
    for (int n = 1; n <= serial::kPortCount; ++n)
        ports << QStringLiteral("COM%1").arg(n);
    auto list = [this](const char *name, int top, const QStringList &items) {
        return look::List(this, QLatin1String(name), items, Tw(1200, top, 975, 300));
    };
    m_portList = list("portList", 480, ports);
    // The port opened is the one the list shows.
    app::FollowTypedText(m_portList);
    // COM1 to COM9 always, then the ports present above them (Windows numbers USB adapters
    // high: COM12, COM23), found again each time the list opens.
    (new PortTips(m_portList))->ListPresentPorts();
    m_baudList = list("baudList", 1200, look::RateItems());
    m_parityList = list("parityList", 1920, {Tr(texts::kNoParity), Tr(texts::kOddParity), Tr(texts::kEvenParity)});
    m_dataBitsList = list("dataBitsList", 2640, {QStringLiteral("8"), QStringLiteral("7"), QStringLiteral("6")});
    m_stopBitsList = list("stopBitsList", 3360, {QStringLiteral("1"), QStringLiteral("2")});
    // Parity, data bits and stop bits are fixed: shown, not open to the user.
    m_parityList->setEnabled(false);
    m_dataBitsList->setEnabled(false);
    m_stopBitsList->setEnabled(false);
    m_slaveList = list("slaveList", 4080, {});

    m_lamp = new Lamp(this);
    m_lamp->setObjectName(QStringLiteral("portLamp"));
    m_lamp->setGeometry(Tw(840, 5040, 255, 375));
    m_lamp->SetColor(look::kBlack);

    m_portButton = look::Button(this, QStringLiteral("portButton"), texts::kPortClosedCaption, 10.5,
                                Tw(1200, 5040, 975, 375));

    // A list's click is an item chosen by the user; typing into its text is not one.
    connect(m_portList, qOverload<int>(&QComboBox::activated), this, [this] { m_exchange.WhenIdle([this] { portChosen(); }); });
    connect(m_baudList, qOverload<int>(&QComboBox::activated), this, [this] { m_exchange.WhenIdle([this] { baudChosen(); }); });
    connect(m_portButton, &QPushButton::clicked, this, [this] { m_exchange.WhenIdle([this] { openOrClosePort(); }); });
    m_port.onDeviceLost = [this] { m_exchange.WhenIdle([this] { portLost(); }); };
}

void PortPanel::Start(const QString &portText, const QString &baudText)
{
    m_portList->setEditText(QStringLiteral("COM") + portText);
    m_baudList->setCurrentIndex(m_baudList->findText(baudText));
    m_baudList->setEditText(baudText);
    m_parityList->setCurrentIndex(0);
    m_dataBitsList->setCurrentIndex(0);
    m_stopBitsList->setCurrentIndex(0);

    // Line 1 is the port's number, read by the list's rule; a number above the list's
    // ports (COM23 not plugged in) shows as typed text, which still names the port.
    const int number = settings::PortIndexFromText(portText.toStdString(), serial::kHighestPortNumber) + 1;
    const int index = number >= 1 ? m_portList->findText(QStringLiteral("COM%1").arg(number)) : -1;
    m_portList->setCurrentIndex(index);
    // Qt rewrites the text of an editable list with its selection; with none, the text
    // keeps what line 1 said ("COM0"), or the port it names.
    if (index < 0)
        m_portList->setEditText(number >= 1 ? QStringLiteral("COM%1").arg(number) : QStringLiteral("COM") + portText);
    portChosen();

    QStringList addresses;
    for (int i = 1; i <= 255; ++i)
        addresses << QString::number(i);
    m_slaveList->addItems(addresses);
    m_slaveList->setEditText(QStringLiteral("1"));
}

QString PortPanel::SlaveText() const
{
    return m_slaveList->currentText();
}

int PortPanel::ChosenPortNumber() const
{
    // An item of the list, or a port typed into it in any letter case ("com12").
    const int index = m_portList->currentIndex();
    const QString text = index >= 0 ? m_portList->itemText(index) : m_portList->currentText();
    return serial::ParsePortName(text.trimmed().toStdString()).value_or(0);
}

QString PortPanel::BaudText() const
{
    return m_baudList->currentText();
}

void PortPanel::showLook(bool open)
{
    m_shownOpen = open;
    m_portButton->setText(Tr(open ? texts::kPortOpenCaption : texts::kPortClosedCaption));
    m_lamp->SetColor(open ? look::kGreen : look::kBlack);
}

void PortPanel::showClosed()
{
    showLook(false);
    m_openPort = 0;
}

void PortPanel::openOrClosePort()
{
    if (IsOpen()) {
        m_port.Close();
        showClosed();
        return;
    }
    const int port = ChosenPortNumber();
    if (!trialOpen(port))
        return;
    showLook(true);
    // The letter goes with the item the text names, in whichever language the items are.
    static const char *const kParityLetters[] = {"N", "O", "E"};
    const int parity = m_parityList->findText(m_parityList->currentText(), Qt::MatchExactly);
    if (parity >= 0 && parity < static_cast<int>(std::size(kParityLetters)))
        m_parityLetter = QLatin1String(kParityLetters[parity]);
    const QString settings = m_baudList->currentText() + QLatin1Char(',') + m_parityLetter + QLatin1Char(',')
                             + m_dataBitsList->currentText() + QLatin1Char(',') + m_stopBitsList->currentText();
    const serial::OpenResult result = m_port.Open(port, serial::Settings{settings.toStdString()});
    if (result != serial::OpenResult::Ok) {
        // The device was taken since the trial, or the port refuses the settings (the
        // baud text is editable): back to closed, with the message the trial would give.
        showClosed();
        showFailure(OpenFailureMessage(result), port, result);
        return;
    }
    m_openPort = port;
    m_openSettings = settings;
    if (const auto line = serial::ParseLineSettings(settings.toStdString()))
        m_exchange.SetLine(line->baud, 1 + line->dataBits + (line->parity == 'N' ? 0 : 1) + line->stopBits);
}

void PortPanel::TakeModule(int address, int baud)
{
    m_slaveList->setCurrentIndex(m_slaveList->findText(QString::number(address), Qt::MatchExactly));
    const QString rate = QString::number(baud);
    if (m_baudList->currentText() == rate)
        return;
    m_baudList->setCurrentIndex(m_baudList->findText(rate, Qt::MatchExactly));
    baudChosen();
}

// Opens and closes the port once, only to turn a failure into its message.
bool PortPanel::trialOpen(int port)
{
    const serial::OpenResult result = port >= 1 ? m_port.TrialOpen(port) : serial::OpenResult::NotFound;
    if (result == serial::OpenResult::Ok)
        return true;
    if (port < 1) {
        const std::string typed = m_portList->currentText().trimmed().toStdString();
        m_port.lastFailure = {{}, serial::LooksLikePortName(typed) ? serial::NoSuchPortReason(typed)
                                                                   : std::string("no port chosen in the list")};
    }
    showFailure(OpenFailureMessage(result), port, result);
    return false;
}

void PortPanel::printFailure(int port, serial::OpenResult result)
{
    if (m_printError)
        m_printError(QString::fromStdString(serial::FailureLine(port, m_port.lastFailure, result)));
}

// The line on stderr, and the message box with the system's reason beneath it in words
// that fit the device and the user.
void PortPanel::showFailure(const char *message, int port, serial::OpenResult result)
{
    printFailure(port, result);
    const serial::OpenFacts facts = serial::GatherOpenFacts(port, m_port.lastFailure.device);
    Show(m_showMessage, Tr(message),
         QString::fromStdString(serial::OpenFailureAdvice(port, m_port.lastFailure, result, facts)));
}

void PortPanel::portChosen()
{
    const int n = ChosenPortNumber();
    // The port in use is the open one: text typed into the list may have moved the chosen
    // item since it was opened, without a click. Otherwise it is the last one clicked.
    if (n == (m_openPort != 0 ? m_openPort : m_chosenPort)) {
        m_chosenPort = n;
        return;
    }
    // Another port chosen while open: close it and say so, rather than leave a window
    // that reads "open" over a closed port.
    if (m_openPort != 0 || IsOpen()) {
        m_port.Close();
        showClosed();
    }
    m_chosenPort = n;
}

void PortPanel::baudChosen()
{
    // The port closes; the button opens it again at the new rate.
    if (IsOpen())
        openOrClosePort();
}

void PortPanel::portLost()
{
    // Shows the closed state, as a close would, and says why the lamp went black.
    const int port = m_openPort != 0 ? m_openPort : ChosenPortNumber();
    showClosed();
    if (m_port.lastFailure.reason.empty())
        m_port.lastFailure.reason = "the device went away";
    showFailure(texts::kPortMissing, port, serial::OpenResult::NotFound);
}

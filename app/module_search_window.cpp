#include "app/module_search_window.h"

#include "app/texts.h"
#include "device/register_map.h"
#include "modbus/hex_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using texts::Tr;

namespace {

// The rate a settings string ("9600,N,8,1") or the baud list's text names, when it is one
// of the module's rates; 0 otherwise.
int RateOf(const QString &text)
{
    const QString rate = text.section(QLatin1Char(','), 0, 0);
    return device::BaudRateCodeFor(rate.toStdString()) ? rate.toInt() : 0;
}

} // namespace

ModuleSearchWindow::ModuleSearchWindow(serial::Port &port, Line line, std::function<void(app::FoundModule)> take,
                                       QWidget *parent)
    : QDialog(parent), m_port(port), m_line(std::move(line)), m_take(std::move(take))
{
    setObjectName(QStringLiteral("moduleSearchWindow"));
    setWindowTitle(Tr(texts::kSearchTitle));
    m_allRates = new QCheckBox(Tr(texts::kAllRates), this);
    m_allRates->setObjectName(QStringLiteral("allRatesBox"));
    m_startButton = new QPushButton(Tr(texts::kStartSearch), this);
    m_startButton->setObjectName(QStringLiteral("startSearchButton"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("searchProgress"));
    m_progress->setValue(0);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("searchStatus"));
    m_foundList = new QListWidget(this);
    m_foundList->setObjectName(QStringLiteral("foundList"));
    m_traffic = new QPlainTextEdit(this);
    m_traffic->setObjectName(QStringLiteral("searchTraffic"));
    m_traffic->setReadOnly(true);
    m_traffic->setMaximumBlockCount(1000);
    m_useButton = new QPushButton(Tr(texts::kUseModule), this);
    m_useButton->setObjectName(QStringLiteral("useModuleButton"));
    m_useButton->setEnabled(false);
    m_cancelButton = new QPushButton(Tr(texts::kCancel), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelSearchButton"));
    m_cancelButton->setAutoDefault(false);
    m_startButton->setDefault(true);

    auto *top = new QHBoxLayout;
    top->addWidget(m_allRates);
    top->addStretch();
    top->addWidget(m_startButton);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(m_useButton);
    bottom->addWidget(m_cancelButton);
    auto *column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addWidget(m_progress);
    column->addWidget(m_status);
    column->addWidget(m_foundList, 2);
    column->addWidget(m_traffic, 1);
    column->addLayout(bottom);
    resize(420, 420);

    m_answerTimer.setSingleShot(true);
    m_answerTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_answerTimer, &QTimer::timeout, this, &ModuleSearchWindow::finishAddress);
    connect(m_startButton, &QPushButton::clicked, this, &ModuleSearchWindow::startSearch);
    connect(m_cancelButton, &QPushButton::clicked, this, &ModuleSearchWindow::cancel);
    connect(m_useButton, &QPushButton::clicked, this, &ModuleSearchWindow::takeChosen);
    connect(m_foundList, &QListWidget::itemDoubleClicked, this, &ModuleSearchWindow::takeChosen);
}

ModuleSearchWindow::~ModuleSearchWindow()
{
    m_answerTimer.stop();
    givePortBack();
}

void ModuleSearchWindow::startSearch()
{
    if (m_search)
        return;
    std::vector<int> rates;
    if (m_allRates->isChecked()) {
        for (const char *rate : device::kBaudRates)
            rates.push_back(QString::fromLatin1(rate).toInt());
    } else if (const int rate = RateOf(m_line.portOpen ? QString::fromStdString(m_line.openSettings) : m_line.baudText)) {
        rates.push_back(rate);
    } else {
        m_status->setText(Tr(texts::kParameterError));
        return;
    }
    m_foundList->clear();
    m_traffic->clear();
    m_openFailure.clear();
    m_useButton->setEnabled(false);
    m_startButton->setEnabled(false);
    m_allRates->setEnabled(false);
    m_search.emplace(rates);
    m_progress->setRange(0, m_search->Total());
    m_progress->setValue(0);
    // the search has the port to itself until it ends: replies come here, not to the main window
    m_mainBytesWaiting = m_port.onBytesWaiting;
    m_port.onBytesWaiting = [this] { answerWaiting(); };
    m_hasPort = true;
    askNext();
}

// Opens the port at `baud` for the search, unless the window has it open at that rate.
bool ModuleSearchWindow::openAt(int baud)
{
    if (m_port.IsOpen() && m_openBaud == 0 && m_line.portOpen && RateOf(QString::fromStdString(m_line.openSettings)) == baud)
        return true;
    m_port.Close();
    const serial::OpenResult result = m_port.Open(m_line.portNumber, {std::to_string(baud) + ",N,8,1"});
    m_openBaud = baud;
    if (result == serial::OpenResult::Ok)
        return true;
    m_openFailure = Tr(result == serial::OpenResult::NotFound ? texts::kPortMissing
                       : result == serial::OpenResult::Busy   ? texts::kPortAlreadyOpen
                                                              : texts::kOtherError);
    return false;
}

void ModuleSearchWindow::askNext()
{
    while (!m_search->Done() && m_search->NewRate() && !openAt(m_search->Baud()))
        m_search->SkipRate();
    if (m_search->Done()) {
        const int found = static_cast<int>(m_search->Found().size());
        endSearch(found > 0 || m_openFailure.isEmpty() ? Tr(texts::kModulesFound).arg(found) : m_openFailure);
        return;
    }
    m_status->setText(Tr(texts::kSearching).arg(m_search->Baud()).arg(m_search->Address()));
    showTraffic("tx", m_search->Request());
    if (!m_port.Write(m_search->Request())) {
        endSearch(Tr(texts::kOtherError));
        return;
    }
    m_answerTimer.start(m_search->Timeout());
}

void ModuleSearchWindow::answerWaiting()
{
    const std::vector<uint8_t> bytes = m_port.ReadAll();
    if (bytes.empty() || !m_search)
        return;
    showTraffic("rx", bytes);
    if (m_search->Receive(bytes)) {
        m_answerTimer.stop();
        finishAddress();
    }
}

void ModuleSearchWindow::finishAddress()
{
    if (!m_search)
        return;
    for (const app::FoundModule &module : m_search->Finish()) {
        auto *item = new QListWidgetItem(Tr(texts::kFoundModule).arg(module.address).arg(module.baud), m_foundList);
        item->setData(Qt::UserRole, module.address);
        item->setData(Qt::UserRole + 1, module.baud);
    }
    m_progress->setValue(m_search->Asked());
    askNext();
}

void ModuleSearchWindow::endSearch(const QString &status)
{
    m_answerTimer.stop();
    m_search.reset();
    givePortBack();
    m_status->setText(status);
    m_startButton->setEnabled(true);
    m_allRates->setEnabled(true);
    if (m_foundList->count() > 0) {
        m_foundList->setCurrentRow(0);
        m_useButton->setEnabled(true);
        m_useButton->setDefault(true);
        m_foundList->setFocus();
    }
}

// The port as the main window had it: closed again, or open at its own settings.
void ModuleSearchWindow::givePortBack()
{
    if (!m_hasPort)
        return;
    m_hasPort = false;
    m_port.ReadAll();  // what comes after the search answers nothing of the main window's
    m_port.onBytesWaiting = m_mainBytesWaiting;
    if (!m_line.portOpen)
        m_port.Close();
    else if (m_openBaud != 0) {
        m_port.Close();
        m_port.Open(m_line.portNumber, {m_line.openSettings});
    }
    m_openBaud = 0;
}

void ModuleSearchWindow::cancel()
{
    if (m_search)
        endSearch(Tr(texts::kSearchCancelled));
    else
        reject();
}

void ModuleSearchWindow::reject()
{
    if (m_search)
        endSearch(Tr(texts::kSearchCancelled));
    QDialog::reject();
}

void ModuleSearchWindow::takeChosen()
{
    const QListWidgetItem *item = m_foundList->currentItem();
    if (m_search || !item)
        return;
    m_take({item->data(Qt::UserRole).toInt(), item->data(Qt::UserRole + 1).toInt()});
    accept();
}

void ModuleSearchWindow::showTraffic(const char *direction, const std::vector<uint8_t> &bytes)
{
    m_traffic->appendPlainText(QLatin1String(direction) + QLatin1Char(' ')
                               + QString::fromStdString(modbus::ToHexText(bytes)).trimmed());
}

void AddSearchEntry(QComboBox *slaveList, std::function<void()> open)
{
    QLineEdit *text = slaveList->lineEdit();
    if (!text)
        return;
    text->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(text, &QWidget::customContextMenuRequested, text, [text, open](const QPoint &at) {
        QMenu *menu = text->createStandardContextMenu();
        menu->setObjectName(QStringLiteral("slaveListMenu"));
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addSeparator();
        QAction *find = menu->addAction(Tr(texts::kFindModules));
        find->setObjectName(QStringLiteral("findModulesAction"));
        QObject::connect(find, &QAction::triggered, text, open);
        menu->popup(text->mapToGlobal(at));
    });
}

#include "app/main_window.h"

#include "app/address_panel.h"
#include "app/look.h"
#include "app/module_search_window.h"
#include "app/port_panel.h"
#include "app/preset_panel.h"
#include "settings/settings_file.h"
#include "settings/settings_store.h"
#include "app/texts.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QKeySequence>
#include <QMessageBox>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include <cstdio>

MainWindow::MainWindow(serial::Port &port, QWidget *parent)
    : QWidget(parent), m_port(port), m_exchange(port, m_statusRow, m_showMessage, m_after, this)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QString::fromUtf8(texts::kWindowCaptionName) + QString(texts::kWindowCaptionBlanks, QLatin1Char(' '))
                   + QString::fromUtf8(texts::kWindowCaptionVersion));
    look::SetBackground(this, look::kWhite);
    setWindowIcon(QIcon(QStringLiteral(":/velqor-config.png")));
    setFixedSize(layout::Px(14310), layout::Px(6990));

    m_showMessage = [this](const QString &text, const QString &reason) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(texts::kProgramTitle), text, QMessageBox::Ok, this);
        box.setInformativeText(reason);
        box.exec();
    };
    m_after = [this](int ms, std::function<void()> then) { QTimer::singleShot(ms, Qt::PreciseTimer, this, std::move(then)); };
    m_openUrl = [](const QString &url) { QDesktopServices::openUrl(QUrl(url)); };
    m_printError = [](const QString &line) {
        std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    };
    const QString filter = QStringLiteral("JSON (*.json);;* (*)");
    m_chooseSaveFile = [this, filter] { return QFileDialog::getSaveFileName(this, QString(), QString(), filter); };
    m_chooseOpenFile = [this, filter] { return QFileDialog::getOpenFileName(this, QString(), QString(), filter); };

    m_portPanel = new PortPanel(m_port, m_exchange, m_showMessage, m_printError, this);
    m_presetPanel = new PresetPanel(m_exchange, m_showMessage, m_openUrl, m_chooseSaveFile, m_chooseOpenFile, this);
    m_addressPanel = new AddressPanel(m_exchange, this);
    m_statusRow.Build(this);
    // Like the keys typed before them, the two shortcuts wait for a pause to end.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this), &QShortcut::activated, m_presetPanel,
            [this] { m_exchange.WhenIdle([this] { m_presetPanel->saveParameterSet(); }); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this), &QShortcut::activated, m_presetPanel,
            [this] { m_exchange.WhenIdle([this] { m_presetPanel->loadParameterSet(); }); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this), &QShortcut::activated, this,
            [this] { m_exchange.WhenIdle([this] { openModuleSearch(); }); });
    AddSearchEntry(m_portPanel->SlaveList(), [this] { m_exchange.WhenIdle([this] { openModuleSearch(); }); });

    m_exchange.portIsOpen = [this] { return m_portPanel->IsOpen(); };
    m_exchange.slaveText = [this] { return m_portPanel->SlaveText(); };
    m_exchange.onGoodReply = [this](const std::vector<uint8_t> &reply) { m_presetPanel->showReadValues(reply); };
    start();
}

MainWindow::~MainWindow()
{
    delete m_searchWindow;  // gives the port back while the window's handlers still live
    m_port.onBytesWaiting = nullptr;
    m_port.onDeviceLost = nullptr;
}

void MainWindow::openModuleSearch()
{
    if (m_searchWindow)
        return;
    ModuleSearchWindow::Line line;
    line.portOpen = m_port.IsOpen();
    line.portNumber = line.portOpen && m_portPanel->OpenPortNumber() ? m_portPanel->OpenPortNumber()
                                                                     : m_portPanel->ChosenPortNumber();
    line.openSettings = m_portPanel->OpenSettings().toStdString();
    line.baudText = m_portPanel->BaudText();
    m_searchWindow = new ModuleSearchWindow(
        m_port, line, [this](app::FoundModule module) { m_portPanel->TakeModule(module.address, module.baud); }, this);
    m_searchWindow->setAttribute(Qt::WA_DeleteOnClose);
    m_searchWindow->open();
}

bool MainWindow::PortIsOpen() const
{
    return m_portPanel->IsOpen();
}

void MainWindow::start()
{
    const settings::StoredSettings stored = settings::ReadSettingsFile();
    // A missing file or line leaves COM1 and 9600.
    const QString portText = stored.portText ? QString::fromLocal8Bit(stored.portText->c_str()) : QStringLiteral("1");
    const QString baudText = stored.baudText ? QString::fromLocal8Bit(stored.baudText->c_str()) : QStringLiteral("9600");
    m_baudLineRead = stored.baudText.value_or(std::string());
    m_baudTextShown = stored.baudText ? baudText : QString();
    m_portPanel->Start(portText, baudText);
    m_presetPanel->Start();
    m_addressPanel->Start();
}

void MainWindow::saveSettings()
{
    // A file that cannot be written is skipped, and the close goes ahead whatever happens here.
    const QFileInfo info(QString::fromLatin1(settings::kSettingsFileName));
    if (info.exists() && !info.isFile())
        return;
    QFile file(info.filePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    const QString baud = m_portPanel->BaudText();
    const bool asRead = !m_baudTextShown.isNull() && baud == m_baudTextShown;
    file.write(QByteArray::fromStdString(settings::FormatSettings(
        m_portPanel->ChosenPortNumber(), asRead ? m_baudLineRead : baud.toLocal8Bit().toStdString())));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveSettings();
    event->accept();
}

#pragma once
#include "app/exchange_controller.h"
#include "app/seams.h"
#include "app/status_row.h"
#include "serial/port.h"

#include <QWidget>

#include <QPointer>

class AddressPanel;
class ModuleSearchWindow;
class PortPanel;
class PresetPanel;

// The one window of the tool: the port panel, the preset panel, the address panel and the
// status row, on one exchange controller. It fills them at start and keeps the chosen
// port and baud rate in com.txt when it closes.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(serial::Port &port, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Seams for tests: message boxes, the pause after sending, the browser.
    ShowMessage m_showMessage;               // default: a QMessageBox, Ok only, no icon, the reason beneath
    RunAfter m_after;                        // default: a single-shot timer on the window
    std::function<void(const QString &url)> m_openUrl;
    // One line on stderr for every port failure: port, device and the system's reason.
    std::function<void(const QString &line)> m_printError;
    // The parameter-set file for Ctrl+S and Ctrl+O; an empty name is a cancelled dialog.
    ChooseFile m_chooseSaveFile;
    ChooseFile m_chooseOpenFile;

    ExchangeController &Exchange() { return m_exchange; }
    bool PortIsOpen() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void start();         // the start values; the port and baud rate from com.txt
    void saveSettings();  // the port and baud rate into com.txt
    void openModuleSearch();  // Ctrl+F and the Slave ID list's menu
    // com.txt's line 2 as start-up read it and showed it: written back byte for byte while
    // the baud list still shows it, so bytes that are no text in the locale stay as they were
    std::string m_baudLineRead;
    QString m_baudTextShown;

    serial::Port &m_port;
    StatusRow m_statusRow;
    ExchangeController m_exchange;
    PortPanel *m_portPanel = nullptr;
    PresetPanel *m_presetPanel = nullptr;
    AddressPanel *m_addressPanel = nullptr;
    QPointer<ModuleSearchWindow> m_searchWindow;
};

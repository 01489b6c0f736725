#pragma once
#include "app/module_search.h"
#include "serial/port.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// The search window (Ctrl+F, or texts::kFindModules on the Slave ID list's menu): asks 1-247 at the
// baud list's rate, or at all six, on the window's port, opened for the search when it is
// closed and closed again after; lists each module as it answers and shows its own traffic.
// Enter or a double-click takes the chosen module into the main window.
class ModuleSearchWindow : public QDialog {
    Q_OBJECT
public:
    // The line as the main window has it.
    struct Line {
        int portNumber = 0;        // the open port, else the one chosen in the port list
        bool portOpen = false;     // open now, with openSettings
        std::string openSettings;  // "9600,N,8,1"
        QString baudText;          // the baud list's text
    };
    ModuleSearchWindow(serial::Port &port, Line line, std::function<void(app::FoundModule)> take,
                       QWidget *parent);
    ~ModuleSearchWindow() override;

    void startSearch();  // the start button
    void cancel();       // the cancel button: ends a search, or closes the window
    void takeChosen();   // Enter or a double-click on a module

protected:
    void reject() override;  // Esc or the window closed: a running search ends first

private:
    void askNext();
    void answerWaiting();
    void finishAddress();
    void endSearch(const QString &status);
    bool openAt(int baud);
    void givePortBack();
    void showTraffic(const char *direction, const std::vector<uint8_t> &bytes);

    serial::Port &m_port;
    Line m_line;
    std::function<void(app::FoundModule)> m_take;
    std::optional<app::ModuleSearch> m_search;  // while a search runs
    bool m_hasPort = false;                     // the search holds the port and its receive event
    std::function<void()> m_mainBytesWaiting;   // the main window's, given back after
    int m_openBaud = 0;                         // the rate the search opened the port at; 0: as the window had it
    QTimer m_answerTimer;                       // one running at a time: the address's wait
    QString m_openFailure;                      // why a rate's port did not open, for the end

    QCheckBox *m_allRates;
    QPushButton *m_startButton, *m_useButton, *m_cancelButton;
    QProgressBar *m_progress;
    QLabel *m_status;
    QListWidget *m_foundList;
    QPlainTextEdit *m_traffic;
};

// Adds texts::kFindModules to the context menu of the Slave ID list's text, calling `open`.
void AddSearchEntry(QComboBox *slaveList, std::function<void()> open);

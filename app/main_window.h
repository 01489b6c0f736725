#pragma once
#include "app/click_label.h"
#include "app/lamp.h"
#include "app/value_box.h"
#include "serial/port.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The one window of the tool. Controls keep their fixed names; indexed ones keep their
// index in the array and in objectName ("Text1(0)").
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(serial::Port &port, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Seams for tests: message boxes (the text, and the reason beneath it or nothing), the
    // pause after sending, the browser.
    std::function<void(const QString &text, const QString &reason)> m_showMessage;
    std::function<void(int ms)> m_sleep;
    std::function<void(const QString &url)> m_openUrl;
    // One line on stderr for every port failure: port, device and the system's reason.
    std::function<void(const QString &line)> m_printError;
    // The parameter-set file for Ctrl+S and Ctrl+O; an empty name is a cancelled dialog.
    std::function<QString()> m_chooseSaveFile;
    std::function<QString()> m_chooseOpenFile;
    // Observers of the line (the traffic log); they only watch. The request as it went to
    // the port, and SendText and ReceiveBuffer as the reply check finds them.
    std::function<void(const std::vector<uint8_t> &request)> m_onRequestSent;
    std::function<void(const std::string &sendText, const std::string &receiveBuffer)> m_onReplyCheck;

    // Communication group.
    QGroupBox *Frame1 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr,
           *Label5 = nullptr, *Label12 = nullptr;
    QComboBox *Combo1 = nullptr, *Combo2 = nullptr, *Combo3 = nullptr, *Combo4 = nullptr,
              *Combo5 = nullptr;
    std::array<QComboBox *, 3> Combo_Addr{};  // elements 0 and 2 only
    Lamp *Shape1 = nullptr;
    QPushButton *Command1 = nullptr;

    // Preset group.
    QGroupBox *Frame3 = nullptr;
    ValueBox *Text3 = nullptr, *Text4 = nullptr, *Text5 = nullptr, *Text6 = nullptr,
             *Text7 = nullptr, *Text8 = nullptr, *Text9 = nullptr, *Text10 = nullptr,
             *Text11 = nullptr, *Text12 = nullptr, *Text13 = nullptr, *Text14 = nullptr;
    QLabel *Label11 = nullptr, *Label19 = nullptr, *Label22 = nullptr, *Label23 = nullptr,
           *Label17 = nullptr, *Label21 = nullptr, *Label24 = nullptr, *Label16 = nullptr,
           *Label8 = nullptr;
    std::array<QLabel *, 3> Label10{};
    std::array<QLabel *, 2> Label20{};  // element 1 only
    std::array<QLabel *, 4> Label18{};  // element 3 only
    std::array<QLabel *, 1> Label15{};
    std::array<QLabel *, 1> Picture1{};
    ClickLabel *Label9 = nullptr;
    QComboBox *Combo6 = nullptr;
    QPushButton *Command5 = nullptr, *Command2 = nullptr, *Command3 = nullptr;
    QFrame *Line1 = nullptr, *Line2 = nullptr, *Line3 = nullptr;

    // Address-change group.
    QGroupBox *Frame2 = nullptr;
    QLabel *Label6 = nullptr, *Label30 = nullptr;
    QPushButton *Command_OK1 = nullptr;

    // Status row.
    std::array<QLabel *, 1> Label13{};
    QLabel *Label7 = nullptr, *Label14 = nullptr;
    std::array<QPlainTextEdit *, 1> Text1{};
    QPlainTextEdit *Message_Show = nullptr, *Text2 = nullptr;

    QTimer *Timer1 = nullptr, *Timer2 = nullptr, *Timer3 = nullptr;

    // Window-level state.
    std::string SendText;       // hex text of the last request
    std::string ReceiveBuffer;  // hex text of the bytes received since the last request
    int32_t OutputFlag = 0;     // 1 = ON; holds any register value without overflow
    uint16_t BaudRateCode = 0;  // the module baud-rate code of the last parameter write
    // com.txt's line 2 as start-up read it and showed it: written back byte for byte while
    // the baud list still shows it, so bytes that are no text in the locale stay as they were
    std::string m_baudLineRead;
    QString m_baudTextShown;

    // Program-wide port variables.
    int16_t SelectedPort = 0;
    int16_t OpenPortNumber = 0;
    QString ParityLetter;
    QString PortSettings;

    // Handlers.
    void Form_Load();
    void Form_QueryUnload();
    void Command1_Click();
    bool OpenPortChecked(int port);
    serial::OpenResult ConfigureAndOpenPort(int port);
    void Combo1_Click();
    void Combo2_Click();
    void Combo6_Click();
    void Text3_Click();
    void Text4_Click();
    void Text5_Click();
    void Label9_Click();
    void MSComm1_OnComm();
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void DecodeReply();
    void Command_OK1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command5_Click();
    void WriteRegister0012AndReadBack();
    void SaveParameterSet();  // Ctrl+S: the parameter fields and Combo6, as they would be sent
    void LoadParameterSet();  // Ctrl+O: into the fields; nothing is sent

    bool PortIsOpen() const;  // what the caption of Command1 shows, in any language

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildCommunicationGroup();
    void BuildPresetGroup();
    void BuildAddressGroup();
    void BuildStatusRow();
    void WireEvents();
    void InstallParameterSetKeys();

    void ShowPortLook(bool open);
    void ShowPortClosed();
    void ShowMessage(const QString &text, const QString &reason = {});
    void PrintPortFailure(int port, serial::OpenResult result);
    QString PortFailureReason(int port, serial::OpenResult result) const;
    void SetOutputLook(bool on);
    void ClearExchangeTexts(bool frameFields);
    std::optional<uint8_t> CheckedAddress(QComboBox *list, const char *emptyMessage);
    void SendFrame(const std::vector<uint8_t> &frame, bool pause);
    void StartReplyCheck();

    serial::Port &m_port;
    // The states the captions of Command1 and Command5 show, kept apart from the
    // captions so that no shown text is ever compared.
    bool m_portShownOpen = false;
    bool m_outputShownOn = false;
};

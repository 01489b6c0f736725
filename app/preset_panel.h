#pragma once
#include "app/seams.h"
#include "device/parameters.h"

#include <QGroupBox>

#include <cstdint>
#include <string_view>
#include <vector>

class ClickLabel;
class ExchangeController;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class ValueBox;

// The preset group: a caption and a value box for each parameter row the window shows,
// the module's baud-rate list, the output switch, and the write and read buttons.
class PresetPanel : public QGroupBox {
    Q_OBJECT
public:
    PresetPanel(ExchangeController &exchange, const ShowMessage &showMessage, const std::function<void(const QString &)> &openUrl,
                const ChooseFile &chooseSaveFile, const ChooseFile &chooseOpenFile, QWidget *parent);

    // Typing limits and start values from the rows; the module's rate 9600.
    void Start();

    void writeParameters();  // the write button: the parameter block, after the fields are corrected
    void readParameters();   // the read button: the read block, shown when the reply is good
    void switchOutput();     // the output switch: flips, then writes the new state
    void showReadValues(const std::vector<uint8_t> &reply);
    void saveParameterSet();  // Ctrl+S: the fields as the write would send them
    void loadParameterSet();  // Ctrl+O: into the fields; nothing is sent

private:
    struct Field {
        const device::Parameter *row;
        QLabel *caption;
        ValueBox *box;  // none for the rate and the output, which have their own controls
    };
    ValueBox *Box(std::string_view key) const;
    device::FieldTexts FieldTexts() const;  // the boxes' texts, by row
    void showOutput(bool on);
    void openVendorPage();

    ExchangeController &m_exchange;
    const ShowMessage &m_showMessage;
    const std::function<void(const QString &)> &m_openUrl;
    const ChooseFile &m_chooseSaveFile;
    const ChooseFile &m_chooseOpenFile;

    std::vector<Field> m_fields;          // objectNames "<key>Caption" and "<key>Box", e.g. pulseHighBox
    QComboBox *m_moduleBaudList = nullptr;
    QLabel *m_outputFrame = nullptr;      // behind the output button, larger: its colour is the button's frame
    QPushButton *m_outputButton = nullptr;
    QPushButton *m_writeButton = nullptr;
    QPushButton *m_readButton = nullptr;
    QLabel *m_picture = nullptr;
    QLabel *m_pictureCaption = nullptr;
    QFrame *m_pwmLine = nullptr;           // under the PWM rows of the first column
    QFrame *m_firstColumnLine = nullptr;
    QFrame *m_secondColumnLine = nullptr;

    bool m_outputShownOn = false;  // the state the switch shows, kept apart from its caption
    uint16_t m_moduleBaudCode = 0; // the rate code of the last write, kept for a text that names no rate
};

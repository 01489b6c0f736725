#include "app/port_tips.h"

#include "serial/port_names.h"
#include "serial/port_survey.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QSignalBlocker>

namespace {

QString Describe(int portNumber, const std::vector<serial::DeviceInfo> &devices)
{
    const serial::PortName port = serial::ResolvePortName(portNumber);
    return QString::fromStdString(serial::DescribePort(port, serial::FindDevice(devices, port.device)));
}

int PortNumber(const QString &item)
{
    return serial::ParsePortName(item.toStdString()).value_or(0);
}

} // namespace

PortTips::PortTips(QComboBox *list) : QObject(list), m_list(list)
{
    m_list->installEventFilter(this);
    // The popup is a window of its own, shown each time the list opens.
    m_list->view()->window()->installEventFilter(this);
}

void PortTips::ListPresentPorts()
{
    const QStringList before = [this] {
        QStringList items;
        for (int i = serial::kPortCount; i < m_list->count(); ++i)
            items << m_list->itemText(i);
        return items;
    }();
    QStringList present;
    for (const int n : serial::PresentPortNumbers(serial::kPortCount + 1))
        present << QStringLiteral("COM%1").arg(n);
    if (present != before) {
        // The choice is kept as the text it shows: a port that went away stays typed.
        const QString shown = m_list->currentText();
        const bool high = m_list->currentIndex() >= serial::kPortCount;
        const QSignalBlocker quiet(m_list);
        while (m_list->count() > serial::kPortCount)
            m_list->removeItem(m_list->count() - 1);
        m_list->addItems(present);
        if (high) {
            m_list->setCurrentIndex(m_list->findText(shown));
            if (m_list->currentIndex() < 0)
                m_list->setEditText(shown);
        }
    }
}

void PortTips::Refresh()
{
    ListPresentPorts();
    const auto devices = serial::PresentDevices();
    for (int i = 0; i < m_list->count(); ++i)
        m_list->setItemData(i, Describe(PortNumber(m_list->itemText(i)), devices), Qt::ToolTipRole);
}

bool PortTips::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::ToolTip && m_list->currentIndex() >= 0)
        m_list->setToolTip(Describe(PortNumber(m_list->currentText()), serial::PresentDevices()));
    else if (watched != m_list && event->type() == QEvent::Show)
        Refresh();
    return false;
}

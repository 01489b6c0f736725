#include "app/port_tips.h"

#include "serial/port_survey.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>

namespace {

QString Describe(int portNumber, const std::vector<serial::DeviceInfo> &devices)
{
    const serial::PortName port = serial::ResolvePortName(portNumber);
    return QString::fromStdString(serial::DescribePort(port, serial::FindDevice(devices, port.device)));
}

} // namespace

PortTips::PortTips(QComboBox *list) : QObject(list), m_list(list)
{
    m_list->installEventFilter(this);
    // The popup is a window of its own, shown each time the list opens.
    m_list->view()->window()->installEventFilter(this);
}

void PortTips::Refresh()
{
    const auto devices = serial::PresentDevices();
    for (int i = 0; i < m_list->count(); ++i)
        m_list->setItemData(i, Describe(i + 1, devices), Qt::ToolTipRole);
}

bool PortTips::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::ToolTip && m_list->currentIndex() >= 0)
        m_list->setToolTip(Describe(m_list->currentIndex() + 1, serial::PresentDevices()));
    else if (watched != m_list && event->type() == QEvent::Show)
        Refresh();
    return false;
}

#include "app/fitted_window.h"

#include "app/screen_fit.h"

#include <QCloseEvent>
#include <QScrollBar>
#include <QStyle>

namespace {
// What a window manager's frame adds to the client area (title bar and borders); it is
// known only once the window is shown, so a common size is assumed.
constexpr app::Extent kFrameAllowance{16, 40};
} // namespace

FittingFrame::FittingFrame(QWidget &content)
{
    setFrameShape(QFrame::NoFrame);
    setWindowTitle(content.windowTitle());
    setWindowIcon(content.windowIcon());
    setWidget(&content);
    content.installEventFilter(this);
}

FittingFrame::~FittingFrame()
{
    // The window belongs to whoever made it.
    takeWidget();
}

void FittingFrame::closeEvent(QCloseEvent *event)
{
    event->setAccepted(!widget() || widget()->isHidden() || widget()->close());
}

bool FittingFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == widget() && event->type() == QEvent::Hide && widget()->isHidden())
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    return QScrollArea::eventFilter(watched, event);
}

std::unique_ptr<FittingFrame> ShowFitted(QWidget &window, const QRect &available)
{
    const int scrollBar = window.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const auto size = app::FittedSize({window.width(), window.height()}, {available.width(), available.height()},
                                      kFrameAllowance, scrollBar);
    if (!size) {
        window.show();
        return nullptr;
    }
    auto frame = std::make_unique<FittingFrame>(window);
    frame->resize(size->width, size->height);
    frame->move(available.topLeft());
    frame->show();
    return frame;
}

#pragma once
#include <QRect>
#include <QScrollArea>

#include <memory>

// A top-level scroll area around a fixed-size window that is larger than the screen: the
// same layout, scrolled. Closing it closes the window inside (which may refuse), the window
// closed by other means closes it too, and it hands the window back, undeleted, when it goes.
class FittingFrame : public QScrollArea {
    Q_OBJECT
public:
    explicit FittingFrame(QWidget &content);
    ~FittingFrame() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// Shows `window` where the screen's free area is `available`: as it is where it fits, and
// otherwise inside a FittingFrame at the largest size that fits, which is returned.
std::unique_ptr<FittingFrame> ShowFitted(QWidget &window, const QRect &available);

#pragma once
#include "app/layout.h"
#include "app/texts.h"

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QRect>
#include <QStringList>

class QComboBox;
class QGroupBox;
class QPushButton;
class QWidget;

// The window's fonts, colours and the few kinds of control every panel builds the same way.
namespace look {

inline const QColor kGreen(0, 255, 0);
inline const QColor kWhite(255, 255, 255);
inline const QColor kBlack(0, 0, 0);
inline const QColor kCyan(0, 255, 255);
inline const QColor kLinkBlue(128, 128, 255);

enum class Latin { Legible, Narrow };

// SimSun where it is installed. Elsewhere a Song/Ming face draws the Chinese; for captions
// the Latin letters and digits come from the serif face before it in the list, as the Ming
// faces draw "l" and "1" alike ("Vo1t"). The lists hold no "l" and keep the Ming face's
// narrower Latin, so that "COM1" fits their text field. Sizes are SimSun's either way.
QFont SimSun(double points, bool bold = false, Latin latin = Latin::Legible);

void SetBackground(QWidget *widget, const QColor &color);

// A group's caption in SimSun 12 pt bold, at its place on the window. The title is set
// after the font: a title measured in the default font first costs a font of its own.
void SetUpGroup(QGroupBox *group, const QString &name, const QString &title, const QRect &rect);

// A caption in SimSun 10.5 pt at left, top (twips), sized to its text.
template <typename Label = QLabel>
Label *Caption(QWidget *parent, const QString &name, const QString &text, int left, int top)
{
    auto *label = new Label(text, parent);
    label->setObjectName(name);
    label->setFont(SimSun(10.5));
    label->move(layout::Px(left), layout::Px(top));
    label->adjustSize();
    return label;
}
// The same with one of the window's texts, in the language chosen.
template <typename Label = QLabel>
Label *Caption(QWidget *parent, const QString &name, const char *text, int left, int top)
{
    return Caption<Label>(parent, name, texts::Tr(text), left, top);
}

// An editable list that never adds typed text as an item and takes it as typed.
QComboBox *List(QWidget *parent, const QString &name, const QStringList &items, const QRect &rect);

QPushButton *Button(QWidget *parent, const QString &name, const char *text, double points, const QRect &rect);

// The six baud rates, as the PC's list and the module's list offer them.
QStringList RateItems();

} // namespace look

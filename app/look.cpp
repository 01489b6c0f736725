#include "app/look.h"

#include "app/edit_list.h"
#include "device/register_map.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QPushButton>
#include <QSet>

namespace look {

namespace {

// The families of the list that are installed here, in its order (all of them when none
// is). A family that is missing draws nothing, yet Qt asks fontconfig for its substitutes
// anew for each size and weight; the font matched is the same without it. Windows keeps the
// whole list: there a family may be present only as a registry substitute, which the list
// of families does not name, and its fallbacks cost nothing to look up.
QStringList Installed(const QStringList &families)
{
#ifdef Q_OS_WIN
    return families;
#else
    static const QSet<QString> installed = [] {
        QSet<QString> names;
        for (const QString &family : QFontDatabase::families())
            names.insert(family.toCaseFolded());
        return names;
    }();
    QStringList present;
    for (const QString &family : families)
        if (installed.contains(family.toCaseFolded()))
            present << family;
    return present.isEmpty() ? families : present;
#endif
}

} // namespace

QFont SimSun(double points, bool bold, Latin latin)
{
    QStringList families{QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
                         QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC"),
                         QStringLiteral("WenQuanYi Zen Hei")};
    if (latin == Latin::Legible)
        families.insert(1, QStringLiteral("Liberation Serif"));
    QFont font;
    font.setFamilies(Installed(families));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void SetBackground(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void SetUpGroup(QGroupBox *group, const QString &name, const QString &title, const QRect &rect)
{
    group->setObjectName(name);
    group->setFont(SimSun(12, true));
    group->setTitle(title);
    group->setGeometry(rect);
}

QComboBox *List(QWidget *parent, const QString &name, const QStringList &items, const QRect &rect)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setFont(SimSun(10.5, false, Latin::Narrow)); // before its text field exists: one layout, one font
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    app::TakeTextAsTyped(combo);
    app::WheelOnlyWhenFocused(combo);
    combo->addItems(items);
    combo->setGeometry(rect);
    return combo;
}

QPushButton *Button(QWidget *parent, const QString &name, const char *text, double points, const QRect &rect)
{
    auto *button = new QPushButton(texts::Tr(text), parent);
    button->setObjectName(name);
    button->setFont(SimSun(points));
    button->setGeometry(rect);
    return button;
}

QStringList RateItems()
{
    QStringList rates;
    for (const char *rate : device::kBaudRates)
        rates << QLatin1String(rate);
    return rates;
}

} // namespace look

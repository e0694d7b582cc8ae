#include "platform/qt/MenuBar.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QShortcut>
#include <span>

#include "resources/Templates.h"

namespace qthost {

namespace {

// Lets a tap of Alt put the menu bar into keyboard mode (first menu highlighted, arrows move,
// Down opens), as on most Linux desktops; Qt's own default style leaves Alt alone.
class AltNavigationStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override {
        if (hint == SH_MenuBar_AltKeyNavigation) return 1;
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

}  // namespace

void FillMenuBar(QMenuBar& bar, QWidget& window, std::function<void(int command)> onCommand,
                 std::function<bool()> takesInput) {
    std::function<void(QMenu*, std::span<const MenuTemplate>)> fill =
        [&](QMenu* menu, std::span<const MenuTemplate> items) {
            QActionGroup* group = nullptr;  // the submenu's radio items; the first is checked
            for (const MenuTemplate& m : items) {
                if (!m.text) {
                    menu->addSeparator();
                } else if (!m.items.empty()) {
                    fill(menu->addMenu(QString::fromUtf8(m.text)), m.items);
                } else {
                    const int command = m.command;
                    QAction* a = menu->addAction(QString::fromUtf8(m.text));
                    a->setData(command);
                    if (m.radio) {
                        a->setCheckable(true);
                        a->setChecked(!group);
                        if (!group) group = new QActionGroup(menu);
                        group->addAction(a);
                    }
                    QObject::connect(a, &QAction::triggered, &window,
                                     [onCommand, command] { onCommand(command); });
                }
            }
        };
    for (const MenuTemplate& top : MainMenu())
        fill(bar.addMenu(QString::fromUtf8(top.text)), top.items);

    auto* style = new AltNavigationStyle;
    style->setParent(&window);  // a later child than the bar: it outlives its user
    bar.setStyle(style);
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), &window);
    QObject::connect(f10, &QShortcut::activated, &window, [&bar, takesInput] {
        if (!takesInput() || bar.actions().isEmpty()) return;
        bar.setActiveAction(bar.actions().first());
    });
}

}  // namespace qthost

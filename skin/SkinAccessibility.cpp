#include "skin/SkinAccessibility.h"

#include <QAccessibleWidget>

#include "skin/CLuComboBox.h"
#include "skin/CLuListCtrl.h"
#include "skin/CLuStatic.h"
#include "skin/ListAccessible.h"

namespace {

// A label: static text named by what it shows.
class StaticAccessible : public QAccessibleWidget {
  public:
    explicit StaticAccessible(CLuStatic* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        QString text = QAccessibleWidget::text(t);
        if (text.isEmpty() && t == QAccessible::Name) {
            text = static_cast<const CLuStatic*>(object())->Text();
        }
        return text;
    }
};

// A combo box: its value is the caption, press opens the drop-down.
class ComboAccessible : public QAccessibleWidget {
  public:
    explicit ComboAccessible(CLuComboBox* combo)
        : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    CLuComboBox* Combo() const { return static_cast<CLuComboBox*>(object()); }

    QString text(QAccessible::Text t) const override {
        QString text = QAccessibleWidget::text(t);
        if (text.isEmpty() && (t == QAccessible::Name || t == QAccessible::Value)) {
            text = Combo()->Caption();
        }
        return text;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.hasPopup = true;
        state.expandable = true;
        state.expanded = Combo()->IsDroppedDown();
        state.collapsed = !state.expanded;
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction()) {
            Combo()->ShowDropDown();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* SkinInterfaceFactory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("CLuListCtrl")) {
        return new ListAccessible(static_cast<CLuListCtrl*>(widget));
    }
    if (className == QLatin1String("CLuStatic")) {
        return new StaticAccessible(static_cast<CLuStatic*>(widget));
    }
    if (className == QLatin1String("CLuComboBox")) {
        return new ComboAccessible(static_cast<CLuComboBox*>(widget));
    }
    if (className == QLatin1String("CLuMessageBox")) {
        return new QAccessibleWidget(widget, QAccessible::AlertMessage);
    }
    return nullptr;
}

}  // namespace

void EnsureSkinAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(SkinInterfaceFactory);
        return true;
    }();
    (void)installed;
}

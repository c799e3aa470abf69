// SPDX-License-Identifier: MIT
#include "controls/Accessibility.h"
#include "controls/Gauges.h"
#include "controls/VeskFade.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

// A picture button: its name is its hint unless it was given one, and "Press" runs what a
// click runs.
class TVeskFadeAccessible : public QAccessibleWidget {
public:
    explicit TVeskFadeAccessible(TVeskFade* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return widget()->toolTip();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        auto* button = static_cast<TVeskFade*>(widget());
        if (name == pressAction()) {
            if (button->isEnabled() && button->OnPress)
                button->OnPress(button);
            return;
        }
        QAccessibleWidget::doAction(name);
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        if (name == pressAction())
            return {QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(name);
    }
};

class TGaugeAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TGaugeAccessible(TGauge* gauge) : QAccessibleWidget(gauge, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override {
        // Said as the gauge shows it: a whole percentage.
        if (t == QAccessible::Value)
            return QStringLiteral("%1%").arg(Gauge()->FillPercent());
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return Gauge()->Progress(); }
    void setCurrentValue(const QVariant&) override {} // shown, never set from outside
    QVariant maximumValue() const override { return Gauge()->MaxValue(); }
    QVariant minimumValue() const override { return Gauge()->MinValue(); }
    QVariant minimumStepSize() const override { return 0; }

private:
    TGauge* Gauge() const { return static_cast<TGauge*>(widget()); }
};

QAccessibleInterface* ControlsFactory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("TVeskFade"))
        return new TVeskFadeAccessible(static_cast<TVeskFade*>(object));
    if (className == QLatin1String("TGauge"))
        return new TGaugeAccessible(static_cast<TGauge*>(object));
    return nullptr;
}

} // namespace

void InstallControlsAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(ControlsFactory);
        return true;
    }();
    (void)installed;
}

void NotifyValueChanged(QWidget* gauge, int value) {
    if (!QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent event(gauge, value);
    QAccessible::updateAccessibility(&event);
}

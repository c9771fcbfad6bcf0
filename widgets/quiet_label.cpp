#include "widgets/quiet_label.h"

#include <QAccessibleWidget>
#include <QLabel>

namespace kt {

namespace {

constexpr const char* kQuietProperty = "kt_quiet_when_empty";

class TQuietLabelAccessible : public QAccessibleWidget {
public:
    explicit TQuietLabelAccessible(QLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        // The label's own text and nothing else: no caption borrowed from
        // the group box around it.
        if (t == QAccessible::Name) return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* QuietLabelFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("QLabel") || object == nullptr ||
        !object->property(kQuietProperty).toBool())
        return nullptr;
    return new TQuietLabelAccessible(static_cast<QLabel*>(object));
}

}  // namespace

void MakeQuietWhenEmpty(QLabel* label) {
    static const bool installed = [] {
        QAccessible::installFactory(QuietLabelFactory);
        return true;
    }();
    (void)installed;
    label->setProperty(kQuietProperty, true);
}

}  // namespace kt

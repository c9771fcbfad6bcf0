// Component state: stored with WriteStream, rebuilt under the same names.
#include <QBuffer>
#include <QLayout>
#include <QPointer>
#include <QWidget>
#include <utility>
#include <vector>

#include "component_stream.h"
#include "reg_filer.h"

namespace kt {
namespace {

// The control and its child controls, depth first, parent before children.
void CollectControls(QWidget* control, std::vector<QPointer<QWidget>>& controls) {
    controls.emplace_back(control);
    for (QObject* child : control->children())
        if (QWidget* widget = qobject_cast<QWidget*>(child)) CollectControls(widget, controls);
}

}  // namespace

void TRegFiler::WriteComponent(QObject* component) {
    if (!component || !Placed()) return;
    if (QWidget* widget = qobject_cast<QWidget*>(component); widget && widget->isWindow()) return;
    QBuffer buffer;
    buffer.setData(SaveComponentState(component));
    buffer.open(QIODevice::ReadOnly);
    WriteStream(&buffer);
}

QWidget* TRegFiler::ReadComponent(QWidget* control) {
    if (!control || !Placed()) return control;
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    ReadStream(&buffer);
    if (buffer.data().isEmpty()) return control;

    // The copy takes the names, so the old control and its children give
    // theirs up while it is built.
    std::vector<QPointer<QWidget>> controls;
    CollectControls(control, controls);
    std::vector<QString> names;
    for (QWidget* widget : controls) {
        names.push_back(widget->objectName());
        widget->setObjectName(QString());
    }
    auto giveNamesBack = [&] {
        for (std::size_t i = 0; i < controls.size(); ++i)
            if (controls[i]) controls[i]->setObjectName(names[i]);
    };

    QWidget* parent = control->parentWidget();
    QWidget* copy = nullptr;
    try {
        std::vector<QObject*> created = LoadComponentState(buffer.data(), parent);
        for (QObject* object : created)
            if (!copy) copy = qobject_cast<QWidget*>(object);
        if (!copy) {
            for (QObject* object : created) delete object;
            giveNamesBack();
            return control;
        }
    } catch (const std::exception&) {
        giveNamesBack();
        return control;
    }
    // The copy takes the old control's place in a layout as well.
    if (parent && parent->layout()) delete parent->layout()->replaceWidget(control, copy);
    delete control;
    return copy;
}

}  // namespace kt

// Saving a component's state as bytes and rebuilding components from them.
//
// The bytes are self-describing: a signature, then each component as its
// class name, object name, visibility and the properties that differ from a
// fresh object of its class (name and value), followed by its named children
// in the same form, and a terminator after each list. Children whose names
// start with "qt_" belong to their widget's inner workings and are left out,
// as are unnamed ones. Fonts, palettes, locales and cursors are kept only
// where they were set on the widget itself, so a rebuilt control inherits
// the rest from its new parent as the old one did.
//
// Only registered classes can be rebuilt: the common Qt controls are
// registered from the start; RegisterComponentClass<T>() adds more.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QWidget>
#include <functional>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace kt {

// Data that cannot be rebuilt: damaged, of an unknown class, or naming a
// property the class does not have.
class EReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using TComponentFactory = std::function<QObject*(QObject* parent)>;

void RegisterComponentClass(const char* className, TComponentFactory factory);

// A factory that makes a T under a parent (a widget under a widget only).
template <typename T>
TComponentFactory ComponentFactory() {
    return [](QObject* parent) -> QObject* {
        if constexpr (std::is_base_of_v<QWidget, T>) {
            QWidget* parentWidget = qobject_cast<QWidget*>(parent);
            if (parent && !parentWidget) return nullptr;
            return new T(parentWidget);
        } else {
            return new T(parent);
        }
    };
}

template <typename T>
void RegisterComponentClass() {
    RegisterComponentClass(T::staticMetaObject.className(), ComponentFactory<T>());
}

// The state of `component` and its named children.
QByteArray SaveComponentState(const QObject* component);

// Creates the components stored in `data` as children of `parent`, with
// their names, properties, visibility and children, and returns them in
// stored order. On any failure nothing is left created and EReadError is
// raised.
std::vector<QObject*> LoadComponentState(const QByteArray& data, QObject* parent);

}  // namespace kt

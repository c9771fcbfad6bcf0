#include "widgets/control_hook.h"

#include <QAbstractScrollArea>
#include <stdexcept>

namespace kt {

TControlHook::TControlHook(QObject* owner) : QObject(owner) {}

TControlHook::~TControlHook() { SetHooked(false); }

void TControlHook::SetControl(QWidget* control) {
    if (FLoading) {
        FControl = control;
        return;
    }
    SetHooked(false);
    FControl = control;
    SetHooked(true);
}

void TControlHook::SetTarget(THookTarget target) {
    if (FLoading) {
        FTarget = target;
        return;
    }
    SetHooked(false);
    FTarget = target;
    SetHooked(true);
}

void TControlHook::Loaded() {
    FLoading = false;
    SetHooked(false);
    SetHooked(true);
}

QWidget* TControlHook::HookTargetWindow() const {
    if (FTarget == htControl) return FControl;
    // Walk up the owners from the control (or from this component) until a
    // top-level window is met.
    for (QObject* o = FControl ? static_cast<QObject*>(FControl.data()) : parent(); o;
         o = o->parent()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w && w->isWindow()) return w;
    }
    return nullptr;
}

void TControlHook::SetHooked(bool install) {
    if (FHooked) {
        HookRemoving();
        for (QWidget* w : HookedWidgets()) w->removeEventFilter(this);
        disconnect(FDestroyedConnection);
    }
    FHooked = nullptr;
    FHookedViewport = nullptr;
    if (!install) return;

    QWidget* target = HookTargetWindow();
    if (!target) {
        if (FTarget == htForm) throw std::runtime_error("フック先を特定できません。");
        return;
    }
    FHooked = target;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(target)) FHookedViewport = area->viewport();
    for (QWidget* w : HookedWidgets()) w->installEventFilter(this);
    // Hear of the control's destruction (for htForm the control is the
    // starting point of the walk, for htControl it is the hooked widget).
    QObject* watched = FControl ? static_cast<QObject*>(FControl.data()) : target;
    FDestroyedConnection =
        connect(watched, &QObject::destroyed, this, &TControlHook::ControlDestroyed);
    HookInstalled();
}

QList<QWidget*> TControlHook::HookedWidgets() const {
    QList<QWidget*> list;
    if (FHooked) list << FHooked.data();
    if (FHookedViewport) list << FHookedViewport.data();
    return list;
}

void TControlHook::ControlDestroyed(QObject*) {
    // The widget is going away; its filters go with it.
    FHooked = nullptr;
    FHookedViewport = nullptr;
    HookNotify(1);
}

void TControlHook::HookNotify(int reason) {
    if (reason == 1) {
        FControl = nullptr;
    } else if (reason == 2) {
        SetHooked(true);
    }
}

bool TControlHook::HookedWndProc(QObject*, QEvent*) { return false; }

bool TControlHook::eventFilter(QObject* watched, QEvent* event) {
    if (FHooked && (watched == FHooked || watched == FHookedViewport)) {
        return HookedWndProc(watched, event);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kt

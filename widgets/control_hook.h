// TControlHook: watches every event of one control (or of the window that
// owns it) without the control's class knowing about it. It stands over a Qt
// event filter installed on the control and, for scrolling controls, on its
// viewport, where mouse and drop events arrive.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace kt {

enum THookTarget {
    htControl = 0,  // hook `Control` itself
    htForm = 1,     // hook the window found by walking up from `Control`
};

class TControlHook : public QObject {
    Q_OBJECT

public:
    explicit TControlHook(QObject* owner = nullptr);
    ~TControlHook() override;

    QWidget* Control() const { return FControl; }
    void SetControl(QWidget* control);
    THookTarget Target() const { return FTarget; }
    void SetTarget(THookTarget target);

    // Installs (true) or removes (false) the hook. Installing with `htForm`
    // and no window in the owner chain throws std::runtime_error.
    void SetHooked(bool install);
    // The widget whose events would be watched, or nullptr.
    QWidget* HookTargetWindow() const;
    // The widget whose events are watched now, or nullptr.
    QWidget* HookedWindow() const { return FHooked; }

    // Loading bracket: while loading, setters only store; `Loaded` applies
    // the stored settings once.
    void BeginLoading() { FLoading = true; }
    virtual void Loaded();

protected:
    bool Loading() const { return FLoading; }
    // Reason 1: the control was destroyed; reason 2: hook again.
    virtual void HookNotify(int reason);
    // Called for every event of the hooked widget (or its viewport, given as
    // `watched`). Return true to keep the event from the widget.
    virtual bool HookedWndProc(QObject* watched, QEvent* event);
    // Called right after a widget is hooked and right before the hook is
    // removed from a widget that still exists.
    virtual void HookInstalled() {}
    virtual void HookRemoving() {}
    // The hooked widget and its viewport, when it has one.
    QList<QWidget*> HookedWidgets() const;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ControlDestroyed(QObject* object);

    QPointer<QWidget> FControl;
    THookTarget FTarget = htControl;
    QPointer<QWidget> FHooked;
    QPointer<QWidget> FHookedViewport;
    QMetaObject::Connection FDestroyedConnection;
    bool FLoading = false;
};

}  // namespace kt

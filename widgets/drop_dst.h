// TDropDst: makes the hooked control a drop target for files from the file
// manager and hands the dropped paths, in order, with the drop point in the
// control's coordinates, to `OnFileDrop`. Every time a control is hooked it
// is registered for drops as `AcceptDrop` says (also when `Control` changes
// at run time), and its own drop acceptance is given back when unhooked.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "widgets/control_hook.h"

class QMimeData;

namespace kt {

class TDropDst;
// `files` is valid only during the call; the handler copies what it keeps.
using TFileDropEvent =
    std::function<void(TDropDst* sender, const std::vector<std::string>& files, int x, int y)>;

class TDropDst : public TControlHook {
    Q_OBJECT

public:
    explicit TDropDst(QObject* owner = nullptr);

    bool AcceptDrop() const { return FAcceptDrop; }
    void SetAcceptDrop(bool accept);

    TFileDropEvent OnFileDrop;

    // The local paths a drop carries, in the order of the drag source.
    static std::vector<std::string> DroppedPaths(const QMimeData* mime);

protected:
    bool HookedWndProc(QObject* watched, QEvent* event) override;
    void HookInstalled() override;
    void HookRemoving() override;

private:
    void DragAcceptFiles(bool accept);

    bool FAcceptDrop = true;
    // The hooked widgets' own drop acceptance, given back on unhooking.
    QList<QPair<QPointer<QWidget>, bool>> FSavedAccept;
};

}  // namespace kt

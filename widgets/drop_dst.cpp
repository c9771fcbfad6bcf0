#include "widgets/drop_dst.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <exception>

#include "platform/qt/prompt.h"

namespace kt {

TDropDst::TDropDst(QObject* owner) : TControlHook(owner) {}

void TDropDst::SetAcceptDrop(bool accept) {
    if (accept == FAcceptDrop) return;
    FAcceptDrop = accept;
    if (HookedWindow()) DragAcceptFiles(FAcceptDrop);
}

void TDropDst::HookInstalled() {
    FSavedAccept.clear();
    for (QWidget* w : HookedWidgets())
        FSavedAccept.append({QPointer<QWidget>(w), w->acceptDrops()});
    DragAcceptFiles(FAcceptDrop);
}

void TDropDst::HookRemoving() {
    for (auto& [w, accept] : FSavedAccept) {
        if (w) w->setAcceptDrops(accept);
    }
    FSavedAccept.clear();
}

void TDropDst::DragAcceptFiles(bool accept) {
    for (QWidget* w : HookedWidgets()) w->setAcceptDrops(accept);
}

std::vector<std::string> TDropDst::DroppedPaths(const QMimeData* mime) {
    std::vector<std::string> paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) continue;
        // The path is carried whole, however long.
        QByteArray bytes = QFile::encodeName(url.toLocalFile());
        if (!bytes.isEmpty()) paths.emplace_back(bytes.constData(), bytes.size());
    }
    return paths;
}

bool TDropDst::HookedWndProc(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* e = static_cast<QDragMoveEvent*>(event);
            if (FAcceptDrop && !DroppedPaths(e->mimeData()).empty()) {
                e->acceptProposedAction();
                return true;
            }
            e->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* e = static_cast<QDropEvent*>(event);
            if (!FAcceptDrop) {
                e->ignore();
                return true;
            }
            e->acceptProposedAction();
            if (!OnFileDrop) return true;
            try {
                const std::vector<std::string> files = DroppedPaths(e->mimeData());
                QPoint p = e->position().toPoint();
                auto* from = qobject_cast<QWidget*>(watched);
                if (from && from != HookedWindow()) p = from->mapTo(HookedWindow(), p);
                OnFileDrop(this, files, p.x(), p.y());
            } catch (const std::exception& ex) {
                ShowMessage(ex.what());
            }
            return true;
        }
        default:
            return TControlHook::HookedWndProc(watched, event);
    }
}

}  // namespace kt

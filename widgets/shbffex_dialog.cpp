#include "widgets/shbffex_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kt {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kPopulatedRole = Qt::UserRole + 1;

// The folder names that lead from root down to path; an empty list for root
// itself, and inside := false for a path outside root.
QStringList NamesBelow(const QString& root, const QString& path, bool& inside) {
    inside = true;
    if (path == root) return {};
    const QString prefix = root.endsWith('/') ? root : root + '/';
    if (!path.startsWith(prefix)) {
        inside = false;
        return {};
    }
    return path.mid(prefix.size()).split('/', Qt::SkipEmptyParts);
}

}  // namespace

TSHBrowseDialog::TSHBrowseDialog(QWidget* parent, const QString& caption, bool showStatusLine)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("フォルダーの参照"));
    FCaption = new QLabel(caption, this);
    FCaption->setWordWrap(true);
    FStatus = new QLabel(this);
    FStatus->setWordWrap(true);
    FStatus->setVisible(showStatusLine);
    FTree = new QTreeWidget(this);
    FTree->setHeaderHidden(true);
    FTree->setColumnCount(1);
    FTree->setSelectionMode(QAbstractItemView::SingleSelection);
    FTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    FTree->header()->setStretchLastSection(false);
    FButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    FButtons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    FButtons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FCaption);
    layout->addWidget(FStatus);
    layout->addWidget(FTree, 1);
    layout->addWidget(FButtons);
    resize(360, 420);

    connect(FButtons, &QDialogButtonBox::accepted, this, &TSHBrowseDialog::accept);
    connect(FButtons, &QDialogButtonBox::rejected, this, &TSHBrowseDialog::reject);
    connect(FTree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { Populate(item); });
    connect(FTree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem*, QTreeWidgetItem*) { emit SelectionChanged(SelectedPath()); });
}

QTreeWidgetItem* TSHBrowseDialog::NewItem(const QString& path, const QString& name) {
    static const QFileIconProvider icons;
    auto* item = new QTreeWidgetItem(QStringList{name});
    item->setData(0, kPathRole, path);
    item->setIcon(0, icons.icon(QFileIconProvider::Folder));
    // Whether a folder has sub-folders is known only once it is read; the
    // mark goes away then if it has none.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void TSHBrowseDialog::Populate(QTreeWidgetItem* item) {
    if (item->data(0, kPopulatedRole).toBool()) return;
    item->setData(0, kPopulatedRole, true);
    const QString path = item->data(0, kPathRole).toString();
    const QFileInfoList dirs = QDir(path).entryInfoList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    QList<QTreeWidgetItem*> children;
    children.reserve(dirs.size());
    for (const QFileInfo& dir : dirs)
        children.append(NewItem(dir.absoluteFilePath(), dir.fileName()));
    item->addChildren(children);
    if (children.isEmpty())
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* TSHBrowseDialog::Child(QTreeWidgetItem* item, const QString& name) {
    Populate(item);
    for (int i = 0; i < item->childCount(); ++i)
        if (item->child(i)->text(0) == name) return item->child(i);
    // A hidden folder is listed once something below it is asked for.
    const QString path = QDir(item->data(0, kPathRole).toString()).filePath(name);
    if (!name.startsWith('.') || !QFileInfo(path).isDir()) return nullptr;
    QTreeWidgetItem* hidden = NewItem(path, name);
    item->insertChild(0, hidden);
    if (item->childIndicatorPolicy() != QTreeWidgetItem::ShowIndicator)
        item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return hidden;
}

void TSHBrowseDialog::SetRoot(const QString& rootPath) {
    FTree->clear();
    const QString name = rootPath == "/" ? rootPath : QFileInfo(rootPath).fileName();
    QTreeWidgetItem* root = NewItem(rootPath, name);
    FTree->addTopLevelItem(root);
    root->setExpanded(true);
}

bool TSHBrowseDialog::SetSelection(const QString& path) {
    QTreeWidgetItem* item = FTree->topLevelItem(0);
    if (!item) return false;
    bool inside = false;
    const QStringList names = NamesBelow(item->data(0, kPathRole).toString(), path, inside);
    if (!inside) return false;
    for (const QString& name : names) {
        item = Child(item, name);
        if (!item) return false;
    }
    for (QTreeWidgetItem* above = item->parent(); above; above = above->parent())
        above->setExpanded(true);
    FTree->setCurrentItem(item);
    FTree->scrollToItem(item);
    return true;
}

void TSHBrowseDialog::SelectRoot() {
    if (QTreeWidgetItem* root = FTree->topLevelItem(0)) FTree->setCurrentItem(root);
}

void TSHBrowseDialog::SetStatusText(const QString& text) { FStatus->setText(text); }

void TSHBrowseDialog::EnableOK(bool enable) {
    FButtons->button(QDialogButtonBox::Ok)->setEnabled(enable);
}

QString TSHBrowseDialog::SelectedPath() const {
    const QTreeWidgetItem* item = FTree->currentItem();
    return item ? item->data(0, kPathRole).toString() : QString();
}

QString TSHBrowseDialog::SelectedDisplayName() const {
    const QTreeWidgetItem* item = FTree->currentItem();
    return item ? item->text(0) : QString();
}

QString TSHBrowseDialog::StatusText() const { return FStatus->text(); }

bool TSHBrowseDialog::IsOKEnabled() const {
    return FButtons->button(QDialogButtonBox::Ok)->isEnabled();
}

void TSHBrowseDialog::accept() {
    if (!IsOKEnabled() || !FTree->currentItem()) return;
    QDialog::accept();
}

}  // namespace kt

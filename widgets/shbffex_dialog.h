// The folder browser that TSHBrowseForFolderEx shows: a caption, an optional
// status line, a tree of folders below one root folder, OK and Cancel.
//
// The tree lists folders only and reads each folder when it is first opened.
// Hidden folders (names starting with ".") are left out, except those on the
// way to a folder that is selected by path. The operations named after the
// browser's messages (set selection, set status text, enable OK) are what the
// component's callback uses; tests drive the dialog through them too.
#ifndef KT_WIDGETS_SHBFFEX_DIALOG_H
#define KT_WIDGETS_SHBFFEX_DIALOG_H

#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace kt {

class TSHBrowseDialog : public QDialog {
    Q_OBJECT
public:
    TSHBrowseDialog(QWidget* parent, const QString& caption, bool showStatusLine);

    // Makes rootPath the single top item of the tree, opened one level.
    void SetRoot(const QString& rootPath);
    // Selects the folder at path, opening every folder above it; false (and
    // the selection unchanged) when the path is not a folder inside the root.
    bool SetSelection(const QString& path);
    void SelectRoot();
    void SetStatusText(const QString& text);
    void EnableOK(bool enable);

    QString SelectedPath() const;
    QString SelectedDisplayName() const;
    QString StatusText() const;
    bool IsOKEnabled() const;
    QTreeWidget* Tree() const { return FTree; }

    // Closing with OK is refused while the OK button is greyed, whatever
    // asked for it (the button, the Enter key or a caller).
    void accept() override;

signals:
    // Every change of the selected folder; path is empty when nothing is
    // selected.
    void SelectionChanged(const QString& path);

private:
    QTreeWidgetItem* NewItem(const QString& path, const QString& name);
    void Populate(QTreeWidgetItem* item);
    QTreeWidgetItem* Child(QTreeWidgetItem* item, const QString& name);

    QLabel* FCaption;
    QLabel* FStatus;
    QTreeWidget* FTree;
    QDialogButtonBox* FButtons;
};

}  // namespace kt

#endif

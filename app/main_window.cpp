// The window's construction (every control at its place with its caption,
// hint, font and tab order), the start-up and shut-down sequences, and the
// two option groups with the password box.
#include "app/main_window.h"
#include "app/ui_text.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include "app/cp932_limit_validator.h"
#include "app/shell_paths.h"
#include "app/main_settings.h"
#include "platform/cp932.h"
#include "platform/qt/fonts.h"
#include "platform/qt/help.h"
#include "platform/qt/prompt.h"
#include "settings/reg_manager.h"
#include "widgets/kwall_list_view.h"
#include "widgets/quiet_label.h"
#include "widgets/speed_button.h"

namespace kt {

namespace {

template <class T>
T* Place(T* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* caption, Qt::Alignment vertical) {
    auto* label = new QLabel(U(caption), parent);
    label->setAlignment(Qt::AlignLeft | vertical);
    return label;
}

QIcon GlyphIcon(const QString& resource, int glyphs) {
    const QPixmap all(resource);
    QIcon icon;
    if (all.isNull()) return icon;
    const int w = all.width() / glyphs;
    icon.addPixmap(all.copy(0, 0, w, all.height()), QIcon::Normal);
    if (glyphs > 1) icon.addPixmap(all.copy(w, 0, w, all.height()), QIcon::Disabled);
    return icon;
}

}  // namespace

void SetEditColor(QLineEdit* edit, bool windowColor) {
    const QPalette system = QApplication::palette();
    const QColor color = system.color(windowColor ? QPalette::Base : QPalette::Button);
    QPalette pal = edit->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, color);
    }
    edit->setPalette(pal);
}

TFormMain::TFormMain(std::vector<std::string> params, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      FParams(std::move(params)) {
    // Boxes shown while the window is not the active one (start-up, a
    // window manager that keeps the focus elsewhere) still belong to it.
    SetDialogOwner(this);
    CreateControls();
    CreateListComponents();
    CreateRegManager();
    CreateFolderChoice();
    CreateLogo();
    CreateAppHint();
    CreateArchiveFile();
    SetTabOrder();
    FormCreate();
}

TFormMain::~TFormMain() {
    FormDestroy();
    if (FWindowHandle != nullptr) DestroyMessageWindow(FWindowHandle);
}

void TFormMain::CreateControls() {
    setWindowTitle(U(kProgramTitle));
    setFixedSize(575, 315);
    setFont(DesignFont(12));
    setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    const QFont smallFont = DesignFont(11);

    // The lower area first, so that the window's own controls lie above it.
    PanelBase = Place(new QFrame(this), 0, 26, 575, 289);
    PanelBase->setObjectName("PanelBase");
    PanelBase->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PanelBase->setLineWidth(1);
    LabelInfile =
        Place(MakeLabel(PanelBase, "圧縮対象ファイル", Qt::AlignVCenter), 248, 10, 89, 20);
    LabelFileNum = Place(MakeLabel(PanelBase, "", Qt::AlignVCenter), 344, 10, 129, 20);
    ProgressBar = Place(new QProgressBar(PanelBase), 1, 281, 573, 7);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);

    SpeedButtonHelp = Place(new TSpeedButton(this), 496, 2, 73, 22);
    SpeedButtonHelp->setText(U("ヘルプ(&H)"));
    SpeedButtonHelp->setToolTip(U("ヘルプです"));
    SpeedButtonHelp->setIcon(GlyphIcon(QStringLiteral(":/glyph_help.png"), 1));
    connect(SpeedButtonHelp, &QToolButton::clicked, this, [this] { SpeedButtonHelpClick(); });

    // Where the archives go.
    GroupBoxFolderInfo = Place(new QGroupBox(U("圧縮ファイル格納先(&F)"), this), 8, 36, 233, 81);
    RadioButtonInfile =
        Place(new QRadioButton(U("各圧縮元ファイルの場所に格納(&I)"), GroupBoxFolderInfo), 8, 16,
              193, 17);
    RadioButtonInfile->setToolTip(U("各圧縮ファイルを圧縮元ファイルと同じフォルダに格納します"));
    RadioButtonInfile->setChecked(true);
    RadioButtonSelect =
        Place(new QRadioButton(U("格納先を指定(&S)"), GroupBoxFolderInfo), 8, 32, 193, 17);
    RadioButtonSelect->setToolTip(U("各圧縮ファイルを同一フォルダに格納します"));
    LabelFolder = Place(MakeLabel(GroupBoxFolderInfo, "フォルダ名", Qt::AlignTop), 16, 48, 57, 20);
    LabelFolder->setToolTip(U("圧縮ファイルを格納するフォルダ名を指定してください"));
    EditSelect = Place(new QLineEdit(GroupBoxFolderInfo), 72, 48, 129, 20);
    EditSelect->setToolTip(
        U("圧縮ファイル格納フォルダ名です（エクスプローラー等からのドラッグ＆ドロップ可）"));
    LabelFolder->setBuddy(EditSelect);
    SpeedButtonSelect = Place(new TSpeedButton(GroupBoxFolderInfo), 200, 48, 20, 20);
    SpeedButtonSelect->setAutoRaise(false);
    SpeedButtonSelect->setToolTip(U("格納フォルダ名をダイアログボックスから選択します"));
    SpeedButtonSelect->setAccessibleName(U("フォルダ選択"));
    SpeedButtonSelect->setIcon(GlyphIcon(QStringLiteral(":/glyph_folder.png"), 2));
    for (QRadioButton* b : {RadioButtonInfile, RadioButtonSelect}) {
        connect(b, &QRadioButton::clicked, this, [this] { RadioButtonSelectClick(); });
    }

    // Which format, and the password.
    GroupBoxArcFormat = Place(new QGroupBox(U("圧縮ファイル形式(&A)"), this), 8, 124, 233, 81);
    RadioButtonLzh = Place(new QRadioButton(U("LZH(&L)"), GroupBoxArcFormat), 8, 16, 57, 17);
    RadioButtonLzh->setToolTip(U("LZH形式で圧縮します"));
    RadioButtonZip = Place(new QRadioButton(U("ZIP(&Z)"), GroupBoxArcFormat), 8, 32, 57, 17);
    RadioButtonZip->setToolTip(U("ZIP形式で圧縮します"));
    RadioButtonZip->setChecked(true);
    LabelLzhMsg = Place(MakeLabel(GroupBoxArcFormat, "", Qt::AlignTop), 72, 16, 153, 17);
    LabelZipMsg = Place(MakeLabel(GroupBoxArcFormat, "", Qt::AlignTop), 72, 32, 153, 17);
    for (QLabel* l : {LabelLzhMsg, LabelZipMsg}) {
        MakeQuietWhenEmpty(l);
        l->setFont(smallFont);
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, Qt::red);
        l->setPalette(pal);
    }
    const QString passHint = U("ZIP形式で圧縮する場合のみ指定できます（全ファイルで共通）");
    LabelZipPass = Place(MakeLabel(GroupBoxArcFormat, "パスワード", Qt::AlignTop), 16, 48, 57, 20);
    LabelZipPass->setToolTip(passHint);
    EditZipPass = Place(new QLineEdit(GroupBoxArcFormat), 72, 48, 129, 20);
    EditZipPass->setToolTip(passHint);
    // The limit of 80 counts code page 932 bytes, the form the password
    // takes when it is handed to the archiver.
    EditZipPass->setValidator(new TCp932LimitValidator(80, EditZipPass));
    LabelZipPass->setBuddy(EditZipPass);
    LabelPassLen = Place(MakeLabel(GroupBoxArcFormat, "[0]", Qt::AlignTop), 200, 48, 31, 20);
    LabelPassLen->setToolTip(
        U("入力されているパスワードの文字数です（０ならパスワードは設定されません）"));
    for (QRadioButton* b : {RadioButtonLzh, RadioButtonZip}) {
        connect(b, &QRadioButton::clicked, this, [this] { RadioButtonZipClick(); });
    }
    connect(EditZipPass, &QLineEdit::textChanged, this, [this] { EditZipPassChange(); });

    ButtonOpen = Place(new QPushButton(U("開く(&O)"), this), 474, 34, 47, 20);
    ButtonOpen->setToolTip(U("圧縮対象ファイルをダイアログボックスから選択します（複数選択可）"));
    ButtonListClear = Place(new QPushButton(U("クリア(&C)"), this), 522, 34, 47, 20);
    ButtonListClear->setToolTip(U("圧縮対象ファイルを一覧から全て削除します"));
    for (QPushButton* b : {ButtonOpen, ButtonListClear}) b->setFont(smallFont);
    connect(ButtonOpen, &QPushButton::clicked, this, [this] { ButtonOpenClick(); });
    connect(ButtonListClear, &QPushButton::clicked, this, [this] { ButtonListClearClick(); });

    KWallListViewInfile = Place(new TKWallListView(this), 248, 56, 320, 244);
    KWallListViewInfile->setToolTip(
        U("圧縮対象となるファイルの一覧です（エクスプローラー等からのドラッグ＆ドロップ可）"));
    KWallListViewInfile->setAccessibleName(U("圧縮対象ファイル"));
    KWallListViewInfile->SetWallPaper(QPixmap(QStringLiteral(":/wallpaper.png")));
    KWallListViewInfile->SetWallType(tkwtCenter);

    ButtonExec = Place(new QPushButton(U("処理(&R)"), this), 176, 212, 65, 25);
    ButtonExec->setToolTip(U("圧縮処理を開始します"));
    connect(ButtonExec, &QPushButton::clicked, this, [this] { ButtonExecClick(); });
    // Caption and hint are set by the Send To check at start-up.
    ButtonSendEntry = Place(new QPushButton(U("設定(&T)"), this), 176, 244, 65, 25);
    connect(ButtonSendEntry, &QPushButton::clicked, this, [this] { ButtonSendEntryClick(); });
    ButtonEnd = Place(new QPushButton(U("終了(&X)"), this), 176, 276, 65, 25);
    ButtonEnd->setToolTip(U("プログラムを終了します"));
    connect(ButtonEnd, &QPushButton::clicked, this, [this] { ButtonEndClick(); });

    PanelLogo = Place(new QFrame(this), 8, 212, 161, 89);
    PanelLogo->setObjectName("PanelLogo");
    PanelLogo->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    PanelLogo->setAutoFillBackground(true);
    QPalette logoPalette = PanelLogo->palette();
    logoPalette.setColor(QPalette::Window, Qt::white);
    PanelLogo->setPalette(logoPalette);
}

void TFormMain::SetTabOrder() {
    const QList<QWidget*> order = {RadioButtonInfile, RadioButtonSelect, EditSelect,
                                   RadioButtonLzh,    RadioButtonZip,    EditZipPass,
                                   ButtonOpen,        ButtonListClear,   KWallListViewInfile,
                                   ButtonExec,        ButtonSendEntry,   ButtonEnd};
    for (int i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);
}

void TFormMain::FormCreate() {
    RegManager->SetIniFileName(SettingsFileName());
    LoadSettings();
    RadioButtonSelectClick();
    RadioButtonZipClick();
    // The help file is the program's path with ".html" (not ".hlp").
    FHelpFile = GetAppPath() + ".html";
    ShowFileCount();
    ShowSortMark();
    EditZipPassChange();
    StartLogo();
    FSendToEntered = CheckSendTo();
    if (!FParams.empty()) {
        std::vector<std::string> paths;
        paths.reserve(FParams.size());
        for (const std::string& p : FParams) paths.push_back(ToLongPath(p));
        AddFiles(paths);
    }
}

void TFormMain::FormDestroy() {
    if (FDestroyed) return;
    FDestroyed = true;
    ClearList();
    // Runs inside the destructor, where an error must not escape: it gets
    // the general error report instead.
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        ShowMessage(e.what());
    }
    // The help page is shown by the desktop's browser, which the program
    // does not own: there is no help window to close.
}

void TFormMain::RadioButtonSelectClick() {
    const bool select = RadioButtonSelect->isChecked();
    EditSelect->setEnabled(select);
    SpeedButtonSelect->setEnabled(select);
    SetEditColor(EditSelect, select);
}

void TFormMain::RadioButtonZipClick() {
    const bool zip = RadioButtonZip->isChecked();
    EditZipPass->setEnabled(zip);
    LabelZipPass->setEnabled(FPassEnabled);
    LabelPassLen->setEnabled(FPassEnabled);
    if (FPassEnabled) {
        SetEditColor(EditZipPass, zip);
    } else {
        SetEditColor(EditZipPass, false);
        EditZipPass->setEnabled(false);
    }
}

void TFormMain::EditZipPassChange() {
    const QByteArray utf8 = EditZipPass->text().toUtf8();
    const size_t bytes = Cp932Length(std::string_view(utf8.constData(), utf8.size()));
    LabelPassLen->setText(QStringLiteral(" [%1]").arg(bytes));
}

void TFormMain::SpeedButtonHelpClick() { ShowHelpContents(FHelpFile); }

void TFormMain::ButtonEndClick() { close(); }

void TFormMain::EnableControls(bool enable) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             RadioButtonInfile, RadioButtonSelect, RadioButtonLzh, RadioButtonZip, ButtonOpen,
             ButtonListClear, ButtonExec, ButtonSendEntry, ButtonEnd}) {
        w->setEnabled(enable);
    }
    if (enable) {
        RadioButtonSelectClick();
        RadioButtonZipClick();
    } else {
        EditSelect->setEnabled(false);
        SpeedButtonSelect->setEnabled(false);
        SetEditColor(EditSelect, false);
        EditZipPass->setEnabled(false);
        SetEditColor(EditZipPass, false);
        LabelPassLen->setEnabled(false);
    }
}

}  // namespace kt

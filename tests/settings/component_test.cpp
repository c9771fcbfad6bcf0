#include <QBuffer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QVBoxLayout>
#include <filesystem>

#include "settings/component_stream.h"
#include "settings_fixture.h"

namespace {

using kt::test::SettingsTest;

// A form-like parent holding a group with three named children.
struct Form {
    QWidget window;
    QGroupBox* group;
    QLineEdit* edit;
    QRadioButton* radio;
    QLabel* label;

    Form() {
        window.setObjectName("FormTest");
        group = new QGroupBox(&window);
        group->setObjectName("GroupBoxTest");
        group->setGeometry(8, 36, 233, 81);
        group->setTitle("格納先(&F)");
        edit = new QLineEdit(group);
        edit->setObjectName("EditTest");
        radio = new QRadioButton(group);
        radio->setObjectName("RadioTest");
        label = new QLabel(group);
        label->setObjectName("LabelTest");
    }
};

class ComponentTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        AddItem("Group", "Layout", "Group", "");
    }
};

TEST_F(ComponentTest, AComponentIsWrittenAndRebuiltUnderTheSameNames) {
    Form form;
    form.window.show();
    form.edit->setText("/home/user/アーカイブ");
    form.edit->setMaxLength(80);
    form.edit->setGeometry(72, 48, 129, 20);
    form.radio->setChecked(true);
    form.radio->setToolTip("ヒント");
    form.label->setText("フォルダ名");
    form.label->setEnabled(false);
    form.label->hide();
    QFont font = form.edit->font();
    font.setPointSize(17);
    form.edit->setFont(font);
    manager_.Filer("Group")->WriteComponent(form.group);
    EXPECT_NE(std::string::npos, IniText().find("Group_c="));

    // Change everything, then rebuild from the store.
    form.edit->setText("changed");
    form.radio->setChecked(false);
    form.label->setText("");
    form.group->setTitle("other");
    QPointer<QGroupBox> old = form.group;
    QWidget* copy = manager_.Filer("Group")->ReadComponent(form.group);

    EXPECT_TRUE(old.isNull()) << "the old control is destroyed";
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(&form.window, copy->parentWidget());
    auto* group = form.window.findChild<QGroupBox*>("GroupBoxTest");
    ASSERT_EQ(copy, group);
    EXPECT_EQ("格納先(&F)", group->title());
    EXPECT_EQ(QRect(8, 36, 233, 81), group->geometry());
    EXPECT_TRUE(group->isVisible());
    auto* edit = group->findChild<QLineEdit*>("EditTest");
    auto* radio = group->findChild<QRadioButton*>("RadioTest");
    auto* label = group->findChild<QLabel*>("LabelTest");
    ASSERT_TRUE(edit && radio && label);
    EXPECT_EQ("/home/user/アーカイブ", edit->text());
    EXPECT_EQ(80, edit->maxLength());
    EXPECT_EQ(QRect(72, 48, 129, 20), edit->geometry());
    EXPECT_EQ(17, edit->font().pointSize());
    EXPECT_TRUE(radio->isChecked());
    EXPECT_EQ("ヒント", radio->toolTip());
    EXPECT_EQ("フォルダ名", label->text());
    EXPECT_FALSE(label->isEnabled());
    EXPECT_TRUE(label->isHidden());
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(1, form.window.findChildren<QGroupBox*>().size());
}

TEST_F(ComponentTest, TheCopyTakesTheOldControlsPlaceInALayout) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* first = new QLabel("first", &window);
    auto* middle = new QLineEdit("middle", &window);
    middle->setObjectName("Middle");
    auto* last = new QLabel("last", &window);
    layout->addWidget(first);
    layout->addWidget(middle);
    layout->addWidget(last);
    manager_.Filer("Group")->WriteComponent(middle);
    QWidget* copy = manager_.Filer("Group")->ReadComponent(middle);
    EXPECT_EQ(1, layout->indexOf(copy));
    EXPECT_EQ(3, layout->count());
    EXPECT_EQ("middle", static_cast<QLineEdit*>(copy)->text());
}

TEST_F(ComponentTest, DataThatCannotBeRebuiltKeepsTheOldControlAndItsNames) {
    Form form;
    // Damaged data: the hex lines decode to bytes that are no component data.
    ASSERT_TRUE(
        kt::WriteFileAtomically(IniFile(), "[Layout]\nGroup_c=1\nGroup_d0=4B544331FF\n", 0600));
    QWidget* result = manager_.Filer("Group")->ReadComponent(form.group);
    EXPECT_EQ(form.group, result);
    EXPECT_EQ("GroupBoxTest", form.group->objectName());
    EXPECT_EQ("EditTest", form.edit->objectName());
    EXPECT_EQ("LabelTest", form.label->objectName());

    // A class nobody registered.
    QByteArray data = kt::SaveComponentState(form.group);
    data.replace("QLineEdit", "QLineEdiX");
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    manager_.Filer("Group")->WriteStream(&buffer);
    result = manager_.Filer("Group")->ReadComponent(form.group);
    EXPECT_EQ(form.group, result);
    EXPECT_EQ("GroupBoxTest", form.group->objectName());
    EXPECT_EQ("EditTest", form.edit->objectName());
    EXPECT_EQ(1, form.window.findChildren<QGroupBox*>().size()) << "nothing half-built is left";
    EXPECT_EQ(1, form.window.findChildren<QLineEdit*>().size());
}

TEST_F(ComponentTest, NothingStoredOrAWindowChangesNothing) {
    Form form;
    EXPECT_EQ(form.group, manager_.Filer("Group")->ReadComponent(form.group));
    manager_.Filer("Group")->WriteComponent(&form.window);  // a top-level window is not stored
    EXPECT_FALSE(std::filesystem::exists(IniFile()));
    EXPECT_EQ(form.group, manager_.Filer("Group")->ReadComponent(form.group));
    EXPECT_EQ("GroupBoxTest", form.group->objectName());
}

}  // namespace

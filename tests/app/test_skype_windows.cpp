// Finding Skype's main window and its edit field, and emptying the field in its own character form.
#include "phonedock_fixture.h"
#include "foundation/shared_state.h"
#include "skype/skype_process.h"
#include "skype/skype_windows.h"

using namespace std::chrono_literals;

namespace {

class SkypeWindowsTest : public WinsimTest {
  protected:
    void TearDown() override {
        skype.reset();
        phonedock::skypeApiWindow = nullptr;
        phonedock::skypeMainWindow = nullptr;
        WinsimTest::TearDown();
    }

    // A running Skype with these window settings, taken as attached.
    HWND Start(const std::string& windowClass, const std::string& title,
               sim::MainWindowShow show = sim::MainWindowShow::Normal, bool unicodeEdit = false) {
        sim::SkypeConfig config;
        config.mainWindowClass = windowClass;
        config.mainWindowTitle = title;
        config.mainWindowShow = show;
        config.unicodeEditField = unicodeEdit;
        skype.emplace(config);
        EXPECT_TRUE(skype->start());
        phonedock::skypeApiWindow = skype->apiWindow();
        phonedock::skypeMainWindow = nullptr;
        return skype->mainWindow();
    }

    std::optional<sim::SimulatedSkype> skype;
};

}  // namespace

TEST_F(SkypeWindowsTest, TheClassPassHeedsTheCaseOfSkypeInTheTitleAndTheTitlePassDoesNot) {
    HWND main = Start("TSKMAINFORM.UnicodeClass.Beta", "Skype - echo123");
    EXPECT_EQ(phonedock::FindSkypeMainWindow(), main);
    EXPECT_EQ(phonedock::skypeMainWindow.load(), main);

    main = Start("tSkMainForm.UnicodeClass", "skype(tm) - echo123");  // class pass fails, title pass takes it
    EXPECT_EQ(phonedock::FindSkypeMainWindow(), main);
    main = Start("OtherClass", "TOM-Skype - echo123");
    EXPECT_EQ(phonedock::FindSkypeMainWindow(), main);
    Start("OtherClass", "Skype - echo123");  // "Skype -" is none of the edition titles
    EXPECT_EQ(phonedock::FindSkypeMainWindow(), nullptr);
}

TEST_F(SkypeWindowsTest, AHiddenWindowIsNotFoundButACachedOneIsKept) {
    HWND main = Start("tSkMainForm.UnicodeClass", "Skype - echo123", sim::MainWindowShow::Hidden);
    EXPECT_EQ(phonedock::FindSkypeMainWindow(), nullptr);
    skype->showMainWindow(sim::MainWindowShow::Normal);
    EXPECT_EQ(phonedock::FindSkypeMainWindow(), main);
    skype->showMainWindow(sim::MainWindowShow::Hidden);
    phonedock::skypeApiWindow = nullptr;  // even without Skype attached, the cache answers
    EXPECT_EQ(phonedock::FindSkypeMainWindow(), main);
}

TEST_F(SkypeWindowsTest, TheEditFieldIsEmptiedAndBackspacedInItsOwnForm) {
    for (bool unicode : {false, true}) {
        Start("tSkMainForm.UnicodeClass", "Skype - echo123", sim::MainWindowShow::Normal, unicode);
        ASSERT_TRUE(skype->setEditText("0049301234"));
        EXPECT_EQ(IsWindowUnicode(phonedock::FindSkypeEditField()) != FALSE, unicode);
        phonedock::SendBackspaceToSkypeEdit();
        EXPECT_EQ(skype->editText(), "004930123");
        EXPECT_EQ(phonedock::ClearSkypeEditField(), skype->editField());
        EXPECT_EQ(skype->editText(), "");
        skype.reset();
    }
    phonedock::skypeApiWindow = nullptr;
    phonedock::skypeMainWindow = nullptr;
    EXPECT_EQ(phonedock::ClearSkypeEditField(), nullptr);  // no Skype: nothing to do
}

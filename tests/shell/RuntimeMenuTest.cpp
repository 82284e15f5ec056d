// The runtime menu's keys: pages, selection, the questions asked once, Esc one level back.
#include <gtest/gtest.h>

#include "shell/RuntimeMenu.h"
#include "shell/Window.h"

namespace qx {
namespace {

constexpr int kUp = 0x26, kDown = 0x28, kEsc = 0x1B;
using Page = RuntimeMenu::Page;

struct MenuFixture {
  std::vector<int> saved, loaded;
  int quits = 0;
  int sound = 50, music = 50;
  bool loadWorks = true;
  RuntimeMenu menu{Actions()};
  RuntimeMenu::Actions Actions() {
    RuntimeMenu::Actions a;
    a.save = [this](int n) { saved.push_back(n); return true; };
    a.load = [this](int n) { loaded.push_back(n); return loadWorks; };
    a.quit = [this] { ++quits; };
    a.soundVolume = [this] { return sound; };
    a.musicVolume = [this] { return music; };
    a.setSoundVolume = [this](int v) { sound = v; };
    a.setMusicVolume = [this](int v) { music = v; };
    return a;
  }
  void Keys(std::initializer_list<int> keys) {
    for (int k : keys) menu.KeyDown(k);
  }
  void Use(int number) { menu.Slots()[static_cast<size_t>(number - 1)].used = true; }
};

TEST(RuntimeMenuKeys, UpAndDownWrapOverTheEntriesAndEnterActs) {
  MenuFixture t;
  t.menu.Open();
  EXPECT_EQ(t.menu.CurrentPage(), Page::Main);
  EXPECT_EQ(t.menu.Selected(), 0);
  t.Keys({kUp});
  EXPECT_EQ(t.menu.Selected(), static_cast<int>(RuntimeMenu::Entry::Quit));
  t.Keys({kDown, kDown});
  EXPECT_EQ(t.menu.Selected(), static_cast<int>(RuntimeMenu::Entry::Save));
  t.Keys({kVkReturn});
  EXPECT_EQ(t.menu.CurrentPage(), Page::Save);
  t.Keys({kEsc});
  EXPECT_EQ(t.menu.CurrentPage(), Page::Main);
  EXPECT_EQ(t.menu.Selected(), static_cast<int>(RuntimeMenu::Entry::Save));  // kept while the list was open
  t.Keys({kUp, kVkReturn});  // Resume
  EXPECT_FALSE(t.menu.IsOpen());
  // Keys do nothing to a closed menu.
  t.Keys({'S', kVkReturn});
  EXPECT_FALSE(t.menu.IsOpen());
  EXPECT_TRUE(t.saved.empty());
}

TEST(RuntimeMenuKeys, SavePicksTheDigitsSlotAndAsksOnceBeforeOverwriting) {
  MenuFixture t;
  t.menu.Open();
  t.Keys({'S', '3', kVkReturn});
  EXPECT_EQ(t.saved, std::vector<int>{3});
  EXPECT_EQ(t.menu.CurrentPage(), Page::Main);
  EXPECT_EQ(t.menu.Status(), "Saved in slot 3.");
  // A used slot: the first Enter asks, the second saves; Esc answers no and keeps the list.
  t.Use(3);
  t.Keys({'S', '3', kVkReturn});
  EXPECT_EQ(t.menu.CurrentPage(), Page::ConfirmOverwrite);
  EXPECT_EQ(t.saved.size(), 1u);
  t.Keys({kEsc});
  EXPECT_EQ(t.menu.CurrentPage(), Page::Save);
  EXPECT_EQ(t.menu.Selected(), 2);
  t.Keys({kVkReturn, kVkReturn});
  EXPECT_EQ(t.saved, (std::vector<int>{3, 3}));
  EXPECT_EQ(t.menu.CurrentPage(), Page::Main);
  // The keypad's digits pick slots too; digits outside a list do nothing.
  t.Keys({'9'});
  EXPECT_EQ(t.menu.CurrentPage(), Page::Main);
  t.Keys({'S', 0x61 + 8, kVkReturn});
  EXPECT_EQ(t.saved.back(), 9);
}

TEST(RuntimeMenuKeys, SaveStartsAtTheFirstFreeSlotAndLoadAtTheNewest) {
  MenuFixture t;
  t.menu.onListOpen = [&t] {
    t.Use(1);
    t.Use(2);
    t.menu.Slots()[0].date = "2026-12-08 10:00";
    t.menu.Slots()[1].date = "2026-12-09 09:00";
  };
  t.menu.Open();
  t.Keys({'S'});
  EXPECT_EQ(t.menu.Selected(), 2);
  t.Keys({kEsc, 'L'});
  EXPECT_EQ(t.menu.CurrentPage(), Page::Load);
  EXPECT_EQ(t.menu.Selected(), 1);
  // Down moves a row of three in the grid.
  t.Keys({kDown});
  EXPECT_EQ(t.menu.Selected(), 4);
}

TEST(RuntimeMenuKeys, LoadClosesOnSuccessAndStaysOnAnEmptyOrFailedSlot) {
  MenuFixture t;
  t.menu.Open();
  t.Keys({'L', '2', kVkReturn});  // empty
  EXPECT_TRUE(t.loaded.empty());
  EXPECT_EQ(t.menu.CurrentPage(), Page::Load);
  EXPECT_EQ(t.menu.Status(), "Slot 2 is empty.");
  t.Use(2);
  t.loadWorks = false;
  t.Keys({kVkReturn});
  EXPECT_EQ(t.loaded, std::vector<int>{2});
  EXPECT_EQ(t.menu.CurrentPage(), Page::Load);
  EXPECT_EQ(t.menu.Status(), "Could not load slot 2.");
  t.loadWorks = true;
  t.Keys({kVkReturn});
  EXPECT_FALSE(t.menu.IsOpen());
}

TEST(RuntimeMenuKeys, EscGoesBackOneLevelAndClosesFromTheTop) {
  MenuFixture t;
  t.menu.Open();
  t.Use(1);
  t.Keys({'S', '1', kVkReturn});
  ASSERT_EQ(t.menu.CurrentPage(), Page::ConfirmOverwrite);
  t.Keys({kEsc});
  EXPECT_EQ(t.menu.CurrentPage(), Page::Save);
  t.Keys({kEsc});
  EXPECT_EQ(t.menu.CurrentPage(), Page::Main);
  t.Keys({kEsc});
  EXPECT_FALSE(t.menu.IsOpen());
  EXPECT_TRUE(t.saved.empty());
  // F5 closes from any page.
  t.menu.Open();
  t.Keys({'L', kVkF5});
  EXPECT_FALSE(t.menu.IsOpen());
}

TEST(RuntimeMenuKeys, QuitAsksOnce) {
  MenuFixture t;
  t.menu.Open();
  t.Keys({kUp, kVkReturn});
  EXPECT_EQ(t.menu.CurrentPage(), Page::ConfirmQuit);
  EXPECT_EQ(t.quits, 0);
  t.Keys({'N'});
  EXPECT_EQ(t.menu.CurrentPage(), Page::Main);
  t.Keys({kVkReturn, kEsc});
  EXPECT_EQ(t.menu.CurrentPage(), Page::Main);
  EXPECT_EQ(t.quits, 0);
  t.Keys({kVkReturn, kVkReturn});
  EXPECT_EQ(t.quits, 1);
  EXPECT_FALSE(t.menu.IsOpen());
}

TEST(RuntimeMenuKeys, VolumesStepWithLeftRightAndEnterWrapsToSilence) {
  MenuFixture t;
  t.menu.Open();
  t.Keys({kDown, kDown, kDown});  // Sound
  t.Keys({0x27, 0x27});
  EXPECT_EQ(t.sound, 70);
  t.Keys({0x25});
  EXPECT_EQ(t.sound, 60);
  t.sound = 100;
  t.Keys({kVkReturn});
  EXPECT_EQ(t.sound, 0);
  t.Keys({kDown});  // Music
  t.music = 95;
  t.Keys({0x27});
  EXPECT_EQ(t.music, 100);
  EXPECT_EQ(t.sound, 0);
}

}  // namespace
}  // namespace qx

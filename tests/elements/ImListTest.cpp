// Image lists: layout, hover and zoom, clicks, contents by keys, scrolling, drawing.
#include <gtest/gtest.h>

#include "elements/QXImList.h"
#include "elements/QXImage.h"
#include "scene/MediaStage.h"

namespace qx {
namespace {

uint32_t White(int, int) { return 0xFFFFFFFFu; }

struct ListStage : test::MediaStage {
  TQXScreen* screen;
  TQXImList* list;
  ListStage() {
    screen = Add<TQXScreen>(root.get(), "S", 1);
    list = Add<TQXImList>(screen, "LIST", 2);
    Png("wide.png", 200, 100, White);
    Png("tall.png", 50, 200, White);
  }
  TQXImage* Item(int key, const char* picture = "wide.png") {
    auto* img = Add<TQXImage>(screen, "ITEM" + std::to_string(key), key);
    img->SetImImage(picture);
    img->Vis = false;
    return img;
  }
};

TEST(ImList, CellsFromTheGridGapsBelongToTheLeftCell) {
  ListStage s;
  s.list->SetSizeX(310);
  s.list->SetSizeY(100);
  s.list->SetColCount(3);
  s.list->SetRowCount(1);
  s.list->SetSpace(5);
  EXPECT_EQ(s.list->ElWidth(), 100);
  EXPECT_EQ(s.list->ElHeight(), 100);
  for (int k = 10; k < 13; ++k) s.list->Add(s.Item(k));
  s.list->HitTest(0, 103, 10, 0, 0);
  EXPECT_EQ(s.list->HoveredIndex, 0);
  s.list->HitTest(0, 106, 10, 0, 0);
  EXPECT_EQ(s.list->HoveredIndex, 1);
  EXPECT_EQ(s.list->HitTest(0, 400, 10, 0, 0), nullptr);
  EXPECT_EQ(s.list->HoveredIndex, -1);
  EXPECT_EQ(s.list->HitTest(1, 10, 10, 0, 0), nullptr);  // another layer: nothing at all
}

TEST(ImList, PicturesFitTheirCellsAndTheHoveredOneIsDrawnLast) {
  ListStage s;
  s.list->SetSizeX(210);
  s.list->SetSizeY(100);
  s.list->SetColCount(2);
  s.list->SetRowCount(1);
  s.list->SetSpace(10);
  s.list->Add(s.Item(10, "wide.png"));
  s.list->Add(s.Item(11, "tall.png"));
  s.list->HoveredIndex = 0;
  s.Draw([&] { s.list->Render(0, 0xFFFFFFFF, 0, 0, false); });
  std::vector<const NullGfx::Draw*> quads;
  for (const auto& d : s.gfx.draws) {
    if (d.texture) quads.push_back(&d);
  }
  ASSERT_EQ(quads.size(), 2u);
  // The tall picture first (scale 0.5: 25 x 100 around the second cell's centre 160, 50).
  EXPECT_FLOAT_EQ(quads[0]->vertices[0].x, 160 - 12.5f - 0.5f);
  // Then the hovered wide picture at 0.5: 100 x 50 around (50, 50).
  EXPECT_FLOAT_EQ(quads[1]->vertices[0].x, 0 - 0.5f);
  EXPECT_FLOAT_EQ(quads[1]->vertices[0].y, 25 - 0.5f);
}

TEST(ImList, HoveredPicturesZoomAndShrinkBack) {
  ListStage s;
  s.list->Scale = 1.3;
  s.list->Add(s.Item(10));
  s.list->HoveredIndex = 0;
  for (int i = 0; i < 6; ++i) s.list->DoProcess();
  EXPECT_NEAR(s.list->Items()[0].zoom, 1.3, 1e-9);
  s.list->HoveredIndex = -1;
  for (int i = 0; i < 3; ++i) s.list->DoProcess();
  EXPECT_EQ(s.list->Items()[0].zoom, 1.0);
}

TEST(ImList, ClicksGoToTheHoveredImageAndEmptyCellsDoNothing) {
  ListStage s;
  s.list->SetSizeX(200);
  s.list->SetSizeY(100);
  s.list->SetColCount(2);
  s.list->SetRowCount(1);
  TQXImage* item = s.Item(10);
  item->SetScript(ScriptSlot::MouseDown, "take");
  s.list->SetScript(ScriptSlot::MouseDown, "listdown");
  s.list->SetScript(ScriptSlot::MouseIn, "in");
  s.list->Add(item);
  EXPECT_EQ(s.list->HitTest(0, 150, 10, 0, 0), s.list);  // the empty second cell
  s.list->DoMouseDown();
  EXPECT_TRUE(s.scripts.runs.empty());
  s.list->HitTest(0, 10, 10, 0, 0);
  s.list->DoMouseDown();
  EXPECT_EQ(s.scripts.runs, (std::vector<std::string>{"ms_In:LIST:in", "ms_Down:ITEM10:take", "ms_Down:LIST:listdown"}));
}

TEST(ImList, ContentsByKeys) {
  ListStage s;
  TQXImage* a = s.Item(12);
  s.Item(40);
  s.Add<TQXShape>(s.screen, "NOTIMAGE", 50);
  ASSERT_TRUE(s.list->SetPropValue("ELEMENTS", ScriptValue::Str("12; 40 ;x;50;999;")));
  ScriptValue v;
  ASSERT_TRUE(s.list->GetPropValue("ELEMENTS", v));
  EXPECT_EQ(v.StrValue(), "12;40;");
  s.list->HoveredIndex = 0;
  ASSERT_TRUE(s.list->GetPropValue("SELEL", v));
  EXPECT_EQ(s.root->FromHandle(v.ElementHandle()), a);
  s.list->Add(a);  // twice
  EXPECT_TRUE(s.list->Remove(std::string("item12")) == false);  // Ids match exactly
  EXPECT_TRUE(s.list->Remove(std::string("ITEM12")));
  s.list->GetPropValue("ELEMENTS", v);
  EXPECT_EQ(v.StrValue(), "40;12;");
}

TEST(ImList, AddingScrollsToTheNewItemWithoutAGridNothingBreaks) {
  ListStage s;
  for (int k = 10; k < 15; ++k) s.list->Add(s.Item(k));  // no columns: no scrolling at all
  EXPECT_EQ(s.list->ScrollPos(), 0);
  s.list->SetSizeX(300);
  s.list->SetSizeY(100);
  s.list->SetRowCount(1);
  s.list->SetColCount(3);
  s.list->Add(s.Item(20));
  EXPECT_EQ(s.list->ScrollPos(), 3);  // six items, three a row: the second row shows
  s.list->SetScrollPos(0);
  EXPECT_EQ(s.list->ScrollPos(), 0);
}

TEST(ImList, RemovingTheLastItemsBringsAViewPastTheEndBack) {
  ListStage s;
  s.list->SetSizeX(300);
  s.list->SetSizeY(100);
  s.list->SetRowCount(1);
  s.list->SetColCount(3);
  std::vector<TQXImage*> items;
  for (int k = 10; k < 14; ++k) items.push_back(s.Item(k));
  for (TQXImage* item : items) s.list->Add(item);
  EXPECT_EQ(s.list->ScrollPos(), 3);  // four items: the second row shows the fourth
  // Removing the fourth leaves three items on the first row: the view comes back to it,
  // where they are drawn and clickable.
  EXPECT_TRUE(s.list->Remove(items[3]));
  EXPECT_EQ(s.list->ScrollPos(), 0);
  s.list->HitTest(0, 10, 10, 0, 0);
  EXPECT_EQ(s.list->HoveredIndex, 0);
  s.Draw([&] { s.list->Render(0, 0xFFFFFFFF, 0, 0, false); });
  int quads = 0;
  for (const auto& d : s.gfx.draws) quads += d.texture ? 1 : 0;
  EXPECT_EQ(quads, 3);
}

TEST(ImList, RemovingLeavesAViewThatStillShowsItems) {
  ListStage s;
  s.list->SetSizeX(300);
  s.list->SetSizeY(200);
  s.list->SetRowCount(2);
  s.list->SetColCount(3);
  for (int k = 10; k < 23; ++k) s.list->Add(s.Item(k));  // 13 items, five rows
  EXPECT_EQ(s.list->ScrollPos(), 9);                       // rows 3 and 4 show
  // By Id: the first row loses an item, the shown rows 3 and 4 still hold items.
  EXPECT_TRUE(s.list->Remove(std::string("ITEM10")));
  EXPECT_EQ(s.list->ScrollPos(), 9);
  // Twelve items, four rows: row 3 still holds items, so the view stays although
  // it is no longer a full one.
  EXPECT_TRUE(s.list->Remove(std::string("ITEM22")));
  EXPECT_TRUE(s.list->Remove(std::string("ITEM21")));
  EXPECT_TRUE(s.list->Remove(std::string("ITEM20")));
  // Nine items, three rows: the view at row 3 is past the end and comes back to rows 1 and 2.
  EXPECT_EQ(s.list->ScrollPos(), 3);
  // Down to one item: the first row.
  for (int k = 11; k < 19; ++k) EXPECT_TRUE(s.list->Remove("ITEM" + std::to_string(k)));
  EXPECT_EQ(s.list->ScrollPos(), 0);
}

}  // namespace
}  // namespace qx

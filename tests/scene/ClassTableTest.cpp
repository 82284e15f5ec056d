#include "scene/ClassTable.h"

#include <gtest/gtest.h>

#include <sstream>

#include "SceneTestSupport.h"
#include "base/Ascii.h"

namespace qx {
namespace {

// The property lists are the game file's format: every class, in index order.
const std::map<std::string, std::string> kExpected = {
    {"TQXDB",
     "Key Id X Y Vis CurKey InitScreen exVarRS exInit exAfterLoad exMouseDown exMouseUp exUpdate exProcess FileRS "
     "FileFonts hxTransLev DefLang Lang LoadingScreen NotSave exLoadImProcess IniFile SoundFile exKeyDown exExit"},
    {"TQXScreen",
     "Key Id X Y Vis ImBack SizeX SizeY hxDrawFx Agro Modal exInit exAfterLoad exUpdate exProcess Order exVarRS "
     "exShow Tag AllwaysLoad NotSave exRender AutoInit"},
    {"TQXImage",
     "Key Id X Y Vis imImage hxDrawFx PosHor PosVert Scale Angle hxColor hxTrans MousedNotVis exVarRS exInit "
     "exAfterLoad exMouseIn exMouseOut exMouseMove exMouseDown exMouseUp exUpdate exProcess MousedVis Anim "
     "NoMsQXDB Order rX rY ScaleX ScaleY Interpol InterpolSc MsKeep Tag TextId NotSave"},
    {"TQXExScreen",
     "Key Id X Y Vis PosHor PosVert obScreen exVarRS exInit exAfterLoad exMouseIn exMouseOut exMouseMove "
     "exMouseDown exMouseUp exUpdate exProcess Modal exShow Tag NotSave Processing"},
    {"TQXAnim",
     "Key Id X Y Vis ImBack SizeX SizeY hxDrawFx Agro Modal Pos Morph Rep ShowAn Active exStop exStart exAnim "
     "exInit exUpdate Order Angle exVarRS Interpol Tag NotSave exProcess"},
    {"TQXAnKey", "Key Id X Y Vis Count Morph NotSave"},
    {"TQXExAnim", "Key Id X Y Vis PosHor PosVert obAnim Pos Rep Active exVarRS Tag NotSave"},
    {"TQXEffect",
     "Key Id X Y Vis EffectFN DAnim Active exInit exAfterLoad exUpdate exProcess hxColor Order exVarRS Tag "
     "NotSave exStart"},
    {"TQXImList",
     "Key Id X Y Vis RowCount ColCount Space ScrollPos SizeX SizeY ElWidth ElHeight Scale exInit exAfterLoad "
     "exUpdate exProcess Order exVarRS Tag NotSave exMouseIn exMouseOut exMouseDown"},
    {"TQXShape",
     "Key Id X Y Vis hxDrawFx hxColor hxTrans MousedNotVis exVarRS exInit exAfterLoad exMouseIn exMouseOut "
     "exMouseMove exMouseDown exMouseUp exUpdate exProcess MousedVis NoMsQXDB Order rX rY SizeX SizeY Tag "
     "NotSave"},
    {"TQXText",
     "Key Id X Y Vis hxDrawFx hxColor1 hxTrans1 hxColor2 hxTrans2 MousedNotVis exVarRS exInit exAfterLoad "
     "exMouseIn exMouseOut exMouseMove exMouseDown exMouseUp exUpdate exProcess MousedVis NoMsQXDB Order rX rY "
     "SizeX SizeY Font PosHor PosVert TextId AutoEnter EnEnter AutoScale Interval Text Scale Tag NotSave"},
};

TEST(ClassTable, RegistrationOrderAndDisplayNames) {
  const char* order[] = {"TQXDB", "TQXScreen", "TQXImage", "TQXExScreen", "TQXAnim", "TQXAnKey",
                         "TQXExAnim", "TQXEffect", "TQXImList", "TQXShape", "TQXText"};
  ASSERT_EQ(ClassTable().size(), 11u);
  for (size_t i = 0; i < 11; ++i) EXPECT_EQ(ClassTable()[i].name, order[i]);
  EXPECT_EQ(FindClass("TQXImage")->displayName, "Image");
  EXPECT_EQ(FindClass("TQXDB")->displayName, "DB");
  EXPECT_EQ(FindClass("TQXIMAGE"), nullptr);  // exact names only
}

TEST(ClassTable, PropertyListsInIndexOrder) {
  for (const ClassInfo& c : ClassTable()) {
    std::string names;
    for (const PropInfo& p : c.props) names += (names.empty() ? "" : " ") + std::string(p.name);
    EXPECT_EQ(names, kExpected.at(c.name)) << c.name;
  }
}

// The name index answers what comparing with every property name answers.
TEST(ClassTable, PropertyLookupAgreesWithAScanInAnyLetterCase) {
  auto scan = [](const ClassInfo& c, std::string_view name) {
    for (size_t i = 0; i < c.props.size(); ++i) {
      if (EqualsNoCaseAscii(c.props[i].name, name)) return static_cast<int>(i);
    }
    return -1;
  };
  for (const ClassInfo& c : ClassTable()) {
    for (const PropInfo& p : c.props) {
      for (const std::string& name : {std::string(p.name), UpperAscii(p.name), LowerAscii(p.name)})
        EXPECT_EQ(c.FindProp(name), scan(c, name)) << c.name << " " << name;
    }
    for (const std::string& name : {std::string(), std::string("NOSUCH"), std::string(200, 'X'),
                                    std::string("R\xD5"), std::string("rx ")})
      EXPECT_EQ(c.FindProp(name), -1) << c.name << " " << name;
  }
}

// The lookup folds the asked name into a fixed buffer: every property name must fit it,
// and a name that differs from one only beyond ASCII letters (bytes of 0x80 and up, an
// extra byte) is no match.
TEST(ClassTable, PropertyLookupCoversEveryNameLengthAndOnlyFoldsAsciiLetters) {
  for (const ClassInfo& c : ClassTable()) {
    for (size_t i = 0; i < c.props.size(); ++i) {
      const std::string name(c.props[i].name);
      EXPECT_LE(name.size(), 64u) << c.name << " " << name;
      std::string mixed = name;
      for (size_t k = 0; k < mixed.size(); k += 2) mixed[k] = LowerAscii(mixed[k]);
      const int found = c.FindProp(mixed);
      ASSERT_GE(found, 0) << c.name << " " << mixed;
      EXPECT_TRUE(EqualsNoCaseAscii(c.props[static_cast<size_t>(found)].name, name));
      EXPECT_LE(found, static_cast<int>(i));  // the first of equal names wins
      EXPECT_EQ(c.FindProp(name + "\xE0"), -1) << c.name << " " << name;
      std::string high = name;
      high[0] = static_cast<char>(static_cast<unsigned char>(high[0]) | 0x80);
      EXPECT_EQ(c.FindProp(high), -1) << c.name << " " << name;
    }
  }
}

TEST(ClassTable, TypeKindsAndEnumerationNames) {
  const ClassInfo& image = *FindClass("TQXImage");
  auto type = [&](const char* n) { return image.props[image.FindProp(n)].type; };
  EXPECT_EQ(type("hxDrawFx"), PropType::Cardinal);
  EXPECT_EQ(type("hxTrans"), PropType::Byte);
  EXPECT_EQ(type("Scale"), PropType::Double);
  EXPECT_EQ(type("rX"), PropType::Double);
  EXPECT_EQ(type("PosHor"), PropType::Enum);
  EXPECT_EQ(type("MsKeep"), PropType::Boolean);
  EXPECT_EQ(type("Anim"), PropType::Integer);
  EXPECT_EQ(type("exMouseDown"), PropType::String);
  const PropInfo& posVert = image.props[image.FindProp("posvert")];  // any letter case
  ASSERT_EQ(posVert.enumNames.size(), 3u);
  EXPECT_STREQ(posVert.enumNames[2], "pvBottom");
  EXPECT_EQ(FindClass("TQXAnKey")->props[5].type, PropType::Word);
  EXPECT_EQ(FindClass("TQXDB")->props[16].type, PropType::Byte);
}

TEST(ClassTable, AllowedParents) {
  EXPECT_TRUE(FindClass("TQXScreen")->AllowsParent("TQXDB"));
  EXPECT_FALSE(FindClass("TQXScreen")->AllowsParent("TQXImage"));
  EXPECT_TRUE(FindClass("TQXImage")->AllowsParent("TQXAnKey"));
  EXPECT_TRUE(FindClass("TQXText")->AllowsParent("TQXText"));
  EXPECT_TRUE(FindClass("TQXAnKey")->AllowsParent("TQXAnim"));
  EXPECT_TRUE(FindClass("TQXDB")->allowedParents.empty());
}

TEST(ClassTable, ConstructorDefaults) {
  test::SceneFixture f;
  auto* screen = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* image = f.Add<TQXImage>(screen, "I", 2);
  auto prop = [](TQXElement* e, const char* name) { return e->GetProp(e->Class().FindProp(name)); };
  EXPECT_EQ(prop(image, "hxDrawFx").i, 1284);
  EXPECT_EQ(prop(image, "hxColor").i, 0xFFFFFF);
  EXPECT_EQ(prop(image, "hxTrans").i, 255);
  EXPECT_DOUBLE_EQ(prop(image, "Scale").d, 1.0);
  EXPECT_EQ(prop(image, "MousedVis").i, 1);
  EXPECT_EQ(prop(image, "Vis").i, 1);
  EXPECT_EQ(prop(image, "Interpol").i, 1);
  EXPECT_EQ(prop(screen, "hxDrawFx").i, 1);
  EXPECT_EQ(prop(screen, "AutoInit").i, 1);
  EXPECT_TRUE(screen->MousedNotVis);
  EXPECT_FALSE(f.root->Vis);
  EXPECT_FALSE(f.root->MousedVis);
}

TEST(ImageProperties, ScaleAndAngleAreThousandths) {
  test::SceneFixture f;
  auto* screen = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* image = f.Add<TQXImage>(screen, "I", 2);
  image->SetScale(1.0004);
  image->SetAngle(30.0004);
  EXPECT_DOUBLE_EQ(image->Scale(), 1.0);
  EXPECT_DOUBLE_EQ(image->Angle(), 30.0);
  image->SetScale(0.0004);
  EXPECT_DOUBLE_EQ(image->Scale(), 0.0);
  image->SetScale(1e12);  // kept inside the 32-bit store
  EXPECT_EQ(image->ScaleMilli(), INT32_MAX);
}

TEST(ImageProperties, ColourAndOpacityShareOneWord) {
  test::SceneFixture f;
  auto* screen = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* image = f.Add<TQXImage>(screen, "I", 2);
  image->SethxTrans(0x80);
  image->SethxColor(0x0000FF);
  EXPECT_EQ(image->ColorWord(), 0x800000FFu);
  image->SethxColor(0xAB123456);  // only the colour part is taken
  EXPECT_EQ(image->ColorWord(), 0x80123456u);
  EXPECT_EQ(image->hxTrans(), 0x80);
}

}  // namespace
}  // namespace qx

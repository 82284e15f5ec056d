// The root's settings: the player's ini file and the volumes and display mode kept in it, the
// language and sound tables, the archive and fonts, the state file's name; as set one by one
// and as a game file sets them.
#include <gtest/gtest.h>

#include <filesystem>

#include "SceneTestSupport.h"
#include "elements/FontTestSupport.h"
#include "platform/null/NullGfx.h"
#include "resources/GfxFont.h"
#include "platform/null/NullWindow.h"
#include "resources/ResArchive.h"
#include "scene/GameFile.h"
#include "scene/IniFile.h"
#include "scene/TextReferences.h"
#include "shell/MainForm.h"

namespace qx {
namespace {

using test::ReadText;
using test::SceneFixture;
using test::ScratchDir;
using test::WriteText;

struct RootFixture {
  SceneFixture f;
  ScratchDir dir;
  RootFixture() { f.root->SetGameFolder(dir.path().string()); }
  TQXDB& root() { return *f.root; }
  void Set(const std::string& prop, const std::string& value) {
    ASSERT_TRUE(f.root->SetPropValue(prop, ScriptValue::Str(value)));
  }
  std::string File(const std::string& name) { return dir / name; }
};

int32_t IntProp(TQXElement& e, const std::string& name) {
  ScriptValue v;
  EXPECT_TRUE(e.GetPropValue(name, v)) << name;
  return v.IntValue();
}

// --- the player's ini file --------------------------------------------------------------------

TEST(RootIni, VolumesAndDisplayModeComeFromSectionDef) {
  {
  RootFixture t;
  Runtime().FullScreenWanted = false;
  WriteText(t.File("Player.ini"), "[def]\r\nsnd=70\r\nMUZ=20\r\n");
  t.Set("IniFile", "player.INI");  // matched without regard to case
  ASSERT_NE(t.root().Ini(), nullptr);
  EXPECT_EQ(Runtime().SoundVolume, 70);
  EXPECT_EQ(Runtime().MusicVolume, 20);
  EXPECT_TRUE(Runtime().FullScreenWanted);  // no "FS": full screen
  EXPECT_EQ(t.root().IniFile(), "player.INI");
  }
  RootFixture u;
  WriteText(u.File("p.ini"), "[Def]\nFS=0\nSnd=oops\n");
  u.Set("IniFile", "p.ini");
  EXPECT_FALSE(Runtime().FullScreenWanted);
  EXPECT_EQ(Runtime().SoundVolume, 100);  // not a number: the default
  EXPECT_EQ(Runtime().MusicVolume, 50);
}

TEST(RootIni, AMissingIniStartsWithTheDefaultsAndIsCreatedByTheFirstWrite) {
  RootFixture t;
  Runtime().SoundVolume = 1;
  Runtime().MusicVolume = 2;
  t.Set("IniFile", "new.ini");
  EXPECT_EQ(Runtime().SoundVolume, 100);
  EXPECT_EQ(Runtime().MusicVolume, 50);
  EXPECT_TRUE(Runtime().FullScreenWanted);
  ASSERT_NE(t.root().Ini(), nullptr);
  EXPECT_FALSE(std::filesystem::exists(t.File("new.ini")));
  EXPECT_TRUE(t.root().SetPropValue("VOLSND", ScriptValue::Int(35)));
  EXPECT_EQ(ReadText(t.File("new.ini")), "[Def]\nSnd=35\n");
}

TEST(RootIni, NamesLeadingOutOfTheGameFolderAreRefused) {
  RootFixture t;
  Runtime().MusicVolume = 7;
  t.Set("IniFile", "../outside.ini");
  EXPECT_EQ(t.root().Ini(), nullptr);
  EXPECT_EQ(Runtime().MusicVolume, 50);  // the defaults all the same
  EXPECT_TRUE(t.root().SetPropValue("VOLMUZ", ScriptValue::Int(10)));  // stored, nowhere written
  EXPECT_EQ(Runtime().MusicVolume, 10);
  EXPECT_FALSE(std::filesystem::exists(t.dir.path().parent_path() / "outside.ini"));
  EXPECT_FALSE(t.root().WritePlayerSetting("FS", 1));
}

TEST(RootIni, VolumeAndDisplayPropertiesWriteTheIniAtOnce) {
  RootFixture t;
  WriteText(t.File("player.ini"), "; mine\n[Def]\nMuz = 50\n");
  t.Set("IniFile", "player.ini");
  // Stored, written, answered true, and the sound player applies it.
  EXPECT_TRUE(t.root().SetPropValue("VOLMUZ", ScriptValue::Int(30)));
  EXPECT_EQ(Runtime().MusicVolume, 30);
  EXPECT_EQ(ReadText(t.File("player.ini")), "; mine\n[Def]\nMuz = 30\n");
  EXPECT_EQ(IntProp(t.root(), "VOLMUZ"), 30);

  t.f.sound.calls.clear();
  EXPECT_TRUE(t.root().SetPropValue("VOLMUZ", ScriptValue::Str("45")));
  EXPECT_EQ(t.f.sound.calls, std::vector<std::string>{"music volume 45"});

  EXPECT_TRUE(t.root().SetPropValue("VOLSND", ScriptValue::Float(80.0)));
  EXPECT_EQ(IntProp(t.root(), "VOLSND"), 80);
  EXPECT_TRUE(t.root().SetPropValue("FULLSCREEN", ScriptValue::Int(0)));
  EXPECT_FALSE(Runtime().FullScreenWanted);
  EXPECT_EQ(IntProp(t.root(), "FULLSCREEN"), 0);
  EXPECT_EQ(ReadText(t.File("player.ini")), "; mine\n[Def]\nMuz = 45\nSnd=80\nFS=0\n");
  EXPECT_TRUE(t.root().SetPropValue("FULLSCREEN", ScriptValue::Int(5)));
  EXPECT_EQ(IntProp(t.root(), "FULLSCREEN"), 1);
  EXPECT_EQ(t.root().Ini()->ReadString("Def", "FS", ""), "1");
  EXPECT_FALSE(t.root().SetPropValue("VOLUME", ScriptValue::Int(1)));
}

TEST(RootIni, SettingTheSameNameAgainKeepsTheOpenFile) {
  RootFixture t;
  WriteText(t.File("a.ini"), "[Def]\nSnd=10\n");
  t.Set("IniFile", "a.ini");
  TIniFile* first = t.root().Ini();
  Runtime().SoundVolume = 99;
  t.Set("IniFile", "a.ini");
  EXPECT_EQ(t.root().Ini(), first);
  EXPECT_EQ(Runtime().SoundVolume, 99);  // not read again
}

// --- language and sound tables ----------------------------------------------------------------

TEST(RootTexts, TranslateTextSplitsAtTheFirstDotAndTrims) {
  RootFixture t;
  WriteText(t.File("eng.lng"), "[Default]\nStart=Play\n[Menu]\nStart=Begin\nA.B=dotted\n");
  t.Set("Lang", "eng.lng");
  EXPECT_EQ(t.root().TranslateText("Start"), "Play");
  EXPECT_EQ(t.root().TranslateText(" Menu . Start "), "Begin");
  EXPECT_EQ(t.root().TranslateText("Menu.A.B"), "dotted");  // the key is everything after the first dot
  EXPECT_EQ(t.root().TranslateText("Menu."), "");
  EXPECT_EQ(t.root().TranslateText(".Start"), "");
  EXPECT_EQ(t.root().TranslateText("Menu.Missing"), "");
}

TEST(RootTexts, SubstituteTextsKeepsReferencesWhoseTranslationHoldsAQuote) {
  RootFixture t;
  WriteText(t.File("eng.lng"), "[Menu]\nTitle=It's done\nStart=Go\nQuote=say \"hi\"\n");
  t.Set("Lang", "eng.lng");
  EXPECT_EQ(t.root().SubstituteTexts("a := \"Menu.Title\";"), "a := \"Menu.Title\";");
  EXPECT_EQ(t.root().SubstituteTexts("a := \"Menu.Quote\";"), "a := \"Menu.Quote\";");
  EXPECT_EQ(t.root().SubstituteTexts("a := \"Menu.Start\" + \"Nope\";"), "a := 'Go' + '';");
  // Script properties are prepared from the substituted text.
  auto* s = t.f.Add<TQXScreen>(t.f.root.get(), "S", 1);
  s->SetScript(ScriptSlot::Show, "x := \"Menu.Start\"");
  EXPECT_EQ(s->Script(ScriptSlot::Show).prepared, "P:x := 'Go'");
  // A string property set to a quoted reference takes the translation.
  EXPECT_TRUE(s->SetPropValue("TAG", ScriptValue::Str("\"Menu.Start\"")));
  EXPECT_EQ(s->Tag, "Go");
}

TEST(RootTexts, SubstitutionTellsWhereEachReferenceIs) {
  std::vector<std::pair<std::string, size_t>> asked;
  const std::string out = SubstituteTexts("A := \"X.One\";\nB := \"Two\" + \"open", [&](const std::string& r, size_t at) {
    asked.emplace_back(r, at);
    return r == "Two" ? std::string("2") : std::string();
  });
  EXPECT_EQ(out, "A := '';\nB := '2' + open");
  EXPECT_EQ(asked, (std::vector<std::pair<std::string, size_t>>{{"X.One", 5}, {"Two", 19}}));
}

TEST(RootTexts, AMissingLanguageFileFallsBackInOrder) {
  {
  RootFixture t;
  WriteText(t.File("DEU.LNG"), "[Default]\nHi=Hallo\n");
  WriteText(t.File("rus.lng"), "[Default]\nHi=Privet\n");
  t.Set("Lang", "fra.lng");
  EXPECT_EQ(t.root().Lang(), "rus.lng");  // eng.lng missing: the next that exists
  EXPECT_EQ(t.root().TranslateText("Hi"), "Privet");
  WriteText(t.File("eng.lng"), "[Default]\nHi=Hello\n");
  t.Set("Lang", "ita.lng");
  EXPECT_EQ(t.root().Lang(), "eng.lng");
  EXPECT_EQ(t.root().TranslateText("Hi"), "Hello");
  t.Set("Lang", "Deu.lng");  // an existing file in another letter case is no fallback
  EXPECT_EQ(t.root().Lang(), "Deu.lng");
  EXPECT_EQ(t.root().TranslateText("Hi"), "Hallo");
  }
  RootFixture none;
  none.Set("Lang", "fra.lng");
  EXPECT_EQ(none.root().Lang(), "fra.lng");  // nothing exists: the value stays
  EXPECT_EQ(none.root().TranslateText("Hi"), "");
}

TEST(RootTexts, DefaultLanguageIsOpenedButNotConsulted) {
  RootFixture t;
  WriteText(t.File("def.lng"), "[Default]\nHi=Default\n");
  t.Set("DefLang", "def.lng");
  ASSERT_NE(t.root().DefLangTable(), nullptr);
  EXPECT_EQ(t.root().DefLangTable()->ReadString("Default", "Hi", ""), "Default");
  EXPECT_EQ(t.root().TranslateText("Hi"), "");
}

TEST(RootSounds, LookupSoundReadsVolumeAndFile) {
  RootFixture t;
  std::string file = "x";
  int32_t volume = -1;
  t.root().LookupSound("door", file, volume);  // no sound table yet
  EXPECT_EQ(file, "");
  EXPECT_EQ(volume, 0);

  WriteText(t.File("sounds.ini"),
            "[Default]\nDoor=60:door.wav\nBell=bell.wav\nOdd=loud:odd.wav\nEmpty=\n[Lvl]\nWind = 25 : wind.ogg\n");
  t.Set("SoundFile", "SOUNDS.INI");
  t.root().LookupSound("Door", file, volume);
  EXPECT_EQ(file, "door.wav");
  EXPECT_EQ(volume, 60);
  t.root().LookupSound("bell", file, volume);
  EXPECT_EQ(file, "bell.wav");
  EXPECT_EQ(volume, 100);
  volume = 33;
  t.root().LookupSound("Odd", file, volume);  // not a number: the caller's volume stays
  EXPECT_EQ(file, "odd.wav");
  EXPECT_EQ(volume, 33);
  t.root().LookupSound("Lvl.Wind", file, volume);
  EXPECT_EQ(file, " wind.ogg");  // the rest after the colon, as it is
  EXPECT_EQ(volume, 25);
  t.root().LookupSound("Missing", file, volume);
  EXPECT_EQ(file, "");
  EXPECT_EQ(volume, 100);
  t.root().LookupSound("Lvl.", file, volume);
  EXPECT_EQ(file, "");
  EXPECT_EQ(volume, 0);
}

// --- archive and fonts ----------------------------------------------------------------------------

TEST(RootArchive, FileFontsOpensTheArchiveAndLoadsTheFonts) {
  RootFixture t;
  NullGfx gfx;
  TResArchive archive;
  TGfxFonts fonts(gfx);
  t.root().Services().archive = &archive;
  t.root().Services().fonts = &fonts;
  std::string error;
  ASSERT_TRUE(WriteResArchive(t.File("Data.res"), {TResPackEntry{"font1", kFontRecordType, 0, test::MakeFontRecord({})}},
                              error))
      << error;
  t.Set("FileFonts", "data.RES");
  EXPECT_TRUE(archive.Opened());
  EXPECT_EQ(archive.OpenMode(), TResOpenMode::opReadOnly);
  EXPECT_EQ(archive.FileName(), t.File("Data.res"));
  ASSERT_EQ(fonts.Count(), 1);
  const TGfxFont* loaded = fonts.Font(0);
  EXPECT_EQ(loaded->Name(), "font1");
  t.Set("FileFonts", "data.RES");  // the same value: nothing happens
  EXPECT_EQ(fonts.Font(0), loaded);
  t.Set("FileFonts", "missing.res");
  EXPECT_FALSE(archive.Opened());
  EXPECT_EQ(fonts.Count(), 0);  // the font list follows the (now closed) archive
  t.root().Services().archive = nullptr;
  t.root().Services().fonts = nullptr;
}

// --- the state file's name ----------------------------------------------------------------------

TEST(RootStateFile, FileRSOpensOrCreatesTheStateFile) {
  RootFixture t;
  t.Set("FileRS", "save.dat");
  EXPECT_EQ(t.root().StatePath(), t.File("save.dat"));
  EXPECT_TRUE(std::filesystem::is_regular_file(t.File("save.dat")));
  EXPECT_EQ(std::filesystem::file_size(t.File("save.dat")), 0u);
  t.Set("FileRS", "SAVE.DAT");  // the same file
  EXPECT_EQ(t.root().StatePath(), t.File("save.dat"));
  EXPECT_EQ(t.root().FileRS(), "SAVE.DAT");
  t.Set("FileRS", "");
  EXPECT_EQ(t.root().StatePath(), "");
  EXPECT_FALSE(t.root().SaveState());
  EXPECT_FALSE(t.root().LoadState());
  t.Set("FileRS", "/tmp/abs.dat");
  EXPECT_EQ(t.root().StatePath(), "");
  t.Set("FileRS", "nofolder\\save.dat");
  EXPECT_EQ(t.root().StatePath(), "");
  std::filesystem::create_directories(t.dir.path() / "Saves");
  t.Set("FileRS", "saves\\slot.dat");
  EXPECT_EQ(t.root().StatePath(), t.File("Saves/slot.dat"));
}

// --- a game folder that cannot be written -------------------------------------------------------

// The root's player files in a game folder the probe calls read-only: the ini keeps every
// shipped line in its moved copy, the state and the error log go beside it, and the shipped
// files stay as they were.
TEST(RootPlaces, AReadOnlyGameFolderKeepsThePlayersFilesInTheDataFolder) {
  RootFixture t;
  ScratchDir home;
  GameDataPlaces places;
  places.SetDataHome(home.path().string());
  places.SetWriteProbe([&](const std::string& path) { return path.rfind(t.dir.path().string(), 0) != 0; });
  t.root().Services().places = &places;
  t.root().GameFilePath = t.File("tower.qxf");
  t.root().SetGameFolder(t.dir.path().string());
  places.SetGameId("TOWER");
  const std::string data = home / "tower-TOWER";
  const std::string shipped = "; the game's own settings\r\n[Def]\r\nSnd=40\r\n[Scores]\r\nBest=7\r\n";
  WriteText(t.File("player.ini"), shipped);
  t.Set("IniFile", "player.ini");
  EXPECT_EQ(Runtime().SoundVolume, 40);  // read where it ships
  t.Set("FileRS", "save.dat");
  EXPECT_FALSE(std::filesystem::exists(t.File("save.dat")));  // not made in the game folder
  EXPECT_FALSE(std::filesystem::exists(data));                // nor anywhere before a write
  EXPECT_TRUE(t.root().LoadState());                          // a missing state restores nothing

  ASSERT_TRUE(t.root().SetPropValue("VOLSND", ScriptValue::Int(25)));
  EXPECT_EQ(ReadText(t.File("player.ini")), shipped);
  EXPECT_EQ(ReadText(data + "/player.ini"),
            "; the game's own settings\r\n[Def]\r\nSnd=25\r\n[Scores]\r\nBest=7\r\n");
  EXPECT_EQ(t.root().Ini()->Path(), data + "/player.ini");
  ASSERT_TRUE(t.root().Ini()->WriteString("Scores", "Best", "9"));
  EXPECT_NE(ReadText(data + "/player.ini").find("Best=9"), std::string::npos);

  auto* screen = t.f.Add<TQXScreen>(t.f.root.get(), "HALL", 5);
  screen->Tag = "saved";
  ASSERT_TRUE(t.root().SaveState());
  EXPECT_FALSE(std::filesystem::exists(t.File("save.dat")));
  EXPECT_EQ(t.root().StatePath(), data + "/save.dat");
  screen->Tag = "changed";
  ASSERT_TRUE(t.root().LoadState());
  EXPECT_EQ(screen->Tag, "saved");

  Host().AppendErrorLog("Variable not found: X");
  EXPECT_EQ(ReadText(data + "/korvane.err"), "Variable not found: X\n");
  EXPECT_FALSE(std::filesystem::exists(t.File("korvane.err")));

  // A second run of the same game reads the copy, though the shipped file is still there.
  t.Set("IniFile", "");
  t.Set("IniFile", "player.ini");
  EXPECT_EQ(Runtime().SoundVolume, 25);
  t.root().Services().places = nullptr;
}

// --- the settings as a game file sets them ----------------------------------------------------

TEST(RootGameFile, SettingsActAsTheGameFileIsRead) {
  ScratchDir dir;
  WriteText(dir / "eng.lng", "[Menu]\nStart=Go\n");
  WriteText(dir / "player.ini", "[Def]\nSnd=11\nMuz=22\nFS=0\n");
  WriteText(dir / "snd.ini", "[Default]\nclick=70:click.wav\n");
  SceneFixture f;
  ElementRecord rec = DefaultRecord(f.root->Class());
  const auto set = [&](const char* name, const std::string& value) {
    const int i = f.root->Class().FindProp(name);
    ASSERT_GE(i, 0) << name;
    rec.values[static_cast<size_t>(i)].s = value;
  };
  set("FileRS", "state.dat");
  set("Lang", "english.lng");  // missing: eng.lng instead
  set("IniFile", "player.ini");
  set("SoundFile", "snd.ini");
  ElementRecord screen = DefaultRecord(*FindClass("TQXScreen"));
  screen.values[static_cast<size_t>(FindClass("TQXScreen")->FindProp("exShow"))].s = "t := \"Menu.Start\"";
  rec.children.push_back(screen);
  WriteText(dir / "game.qxf", WriteRecord(rec));

  f.root->GameFilePath = dir / "game.qxf";
  ASSERT_TRUE(f.root->LoadGame());
  EXPECT_EQ(Runtime().GameFolder, dir.path().string() + "/");
  EXPECT_EQ(f.root->Lang(), "eng.lng");
  EXPECT_EQ(Runtime().SoundVolume, 11);
  EXPECT_EQ(Runtime().MusicVolume, 22);
  EXPECT_FALSE(Runtime().FullScreenWanted);
  EXPECT_EQ(f.root->StatePath(), dir / "state.dat");
  std::string file;
  int32_t volume = 0;
  f.root->LookupSound("click", file, volume);
  EXPECT_EQ(file, "click.wav");
  // Lang comes before the screen's scripts in the file, so they are prepared translated.
  ASSERT_EQ(f.root->ChildCount(), 1);
  EXPECT_EQ(f.root->Children()[0]->Script(ScriptSlot::Show).prepared, "P:t := 'Go'");
}

// --- the shell's display-mode switch ------------------------------------------------------------

// A game whose root names the player's ini file, played by the shell on the null back ends.
std::string WriteIniGame(const ScratchDir& dir) {
  const ClassInfo& cls = *FindClass("TQXDB");
  ElementRecord rec = DefaultRecord(cls);
  rec.values[static_cast<size_t>(cls.FindProp("IniFile"))].s = "player.ini";
  WriteText(dir / "game.qxf", WriteRecord(rec));
  return dir / "game.qxf";
}

TEST(ShellDisplayMode, AltEnterWritesTheWantedModeToThePlayerIni) {
  for (const bool testMode : {false, true}) {
    ScratchDir dir;
    WriteText(dir / "player.ini", "[Def]\r\nFS=0\r\nSnd=60\r\n");
    ResetRuntime();
    NullWindow window;
    NullAudio audio;
    NullGfx gfx;
    FixedStepTimerClock clock{TGfxTimer::PeriodFor(kProcessTicksPerSecond)};
    ShellOptions options;
    options.gamePath = WriteIniGame(dir);
    options.testMode = testMode;
    TFormMain form(window, audio, gfx, clock, std::move(options));
    ASSERT_TRUE(form.FormCreate());
    EXPECT_TRUE(form.Device().Windowed());
    form.FormKeyDown(kVkReturn, true, false, false);
    // The wanted mode is written before test mode forces the window back.
    EXPECT_EQ(ReadText(dir / "player.ini"), "[Def]\r\nFS=1\r\nSnd=60\r\n") << testMode;
    EXPECT_EQ(Runtime().FullScreenWanted, !testMode);
    form.FormClose();
    ResetRuntime();
  }
}

}  // namespace
}  // namespace qx

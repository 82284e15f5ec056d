// The game check on a small sound game and on that game with one author mistake each: every
// mistake is found once, at its file and line, and the sound game gives no finding (neither
// do the demo and the tutorial games).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ScratchFiles.h"
#include "authoring/GameCheck.h"
#include "base/SafeFile.h"
#include "scene/ClassTable.h"

namespace qx {
namespace {

const char* const kGame = R"(class: TQXDB
InitScreen: 1
LoadingScreen: 5
Lang: eng.lng
SoundFile: sounds.ini
exInit: |
  USES 'lib.txt';
  SCORE := 0;
children:
  - class: TQXScreen
    Key: 1
    Id: HALL
    ImBack: pictures\hall.png
    exShow: |
      PlaySnd('door');
      T := "Menu.Title";
    children:
      - class: TQXImage
        Key: 2
        Id: DOOR
        imImage: pictures\door.png
        exMouseDown: |
          USES 'lib.txt';
          X := 1;
          GREET(X);
          SetScreen(QXDB.GARDEN);
      - class: TQXText
        Id: LABEL
        TextId: Menu.Title
      - class: TQXText
        Id: HINT
      - class: TQXExScreen
        Key: 3
        obScreen: 4
      - include: parts/spark.yaml
  - class: TQXScreen
    Key: 4
    Id: GARDEN
  - class: TQXScreen
    Key: 5
    Id: LOADING
    exProcess: |
      USES 'lib.txt';
      STEP := STEP + 1;
      IF STEP = 2 THEN LoadIm;
      IF STEP = 3 THEN FINISH();
  - class: TQXAnim
    Key: 6
    Id: BIRD
)";

const char* const kSpark = R"(class: TQXEffect
Key: 7
Id: SPARK
EffectFN: effects\spark.eff
)";

struct GameFolder {
  test::ScratchDir dir;
  GameFolder() {
    Write("pictures/hall.png", "png");
    Write("pictures/door.png", "png");
    Write("effects/spark.eff", "eff");
    Write("eng.lng", "[Menu]\nTitle=The hall\n");
    Write("sounds.ini", "[Default]\ndoor=80:door.wav\n");
    Write("sounds/door.wav", "wav");
    Write("lib.txt", "PROCEDURE GREET(N);\n  HINT.Text := 'Hello';\nPROCEDURE FINISH();\n  EndLoadIm;\n");
    Write("parts/spark.yaml", kSpark);
  }
  void Write(const std::string& name, const std::string& text) const {
    const std::filesystem::path path = dir.path().string() + "/" + name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string Path(const std::string& name) const { return dir.path().string() + "/" + name; }

  std::vector<GameFinding> Check(const std::string& yaml) const {
    Write("game.yaml", yaml);
    ElementRecord root;
    RecordPlaces places;
    std::string error;
    EXPECT_TRUE(RecordFromYaml(yaml, Path("game.yaml"), root, error, ReadSourceInclude, &places)) << error;
    return CheckGame({&root, &places, Path("game.yaml"), dir.path().string()});
  }
};

std::string Texts(const std::vector<GameFinding>& findings) {
  std::string s;
  for (const GameFinding& f : findings) s += "  " + FindingText(f) + "\n";
  return s;
}

// The line of `yaml` that holds `marker` (1-based).
int LineOf(const std::string& yaml, const std::string& marker) {
  const size_t at = yaml.find(marker);
  EXPECT_NE(at, std::string::npos) << marker;
  return 1 + static_cast<int>(std::count(yaml.begin(), yaml.begin() + static_cast<long>(at), '\n'));
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(GameCheck, ASoundGameHasNoFinding) {
  GameFolder game;
  const std::vector<GameFinding> findings = game.Check(kGame);
  EXPECT_TRUE(findings.empty()) << Texts(findings);
}

struct Mistake {
  const char* from;    // a part of the sound game
  const char* to;      // what the author wrote instead
  const char* marker;  // a part of the line the finding must name ("" for the element's line)
  const char* path;
  const char* message;  // a part of the message
};

TEST(GameCheck, FindsEachAuthorMistakeAtItsLine) {
  const Mistake mistakes[] = {
      {"Key: 6\n    Id: BIRD", "Key: 2\n    Id: BIRD", "Key: 2\n    Id: BIRD", "root/BIRD",
       "Key 2 is also the Key of root/HALL/DOOR"},
      {"obScreen: 4", "obScreen: 44", "obScreen: 44", "root/HALL/4", "obScreen 44 names no element"},
      {"obScreen: 4", "obScreen: 2", "obScreen: 2", "root/HALL/4", "obScreen 2 names root/HALL/DOOR (a TQXImage), not a screen"},
      {"obScreen: 4", "obScreen: 0", "obScreen: 0", "root/HALL/4", "obScreen is not set"},
      {"InitScreen: 1", "InitScreen: 9", "InitScreen: 9", "root", "InitScreen 9 names no element"},
      {"InitScreen: 1", "InitScreen: 2", "InitScreen: 2", "root", "InitScreen 2 names root/HALL/DOOR (a TQXImage), not a screen"},
      {"InitScreen: 1\n", "", "class: TQXDB", "root",
       "InitScreen is not set: the game starts with no screen (give it the Key of the first screen)"},
      {"LoadingScreen: 5", "LoadingScreen: 6", "LoadingScreen: 6", "root", "LoadingScreen 6 names root/BIRD (a TQXAnim), not a screen"},
      {"class: TQXDB\n", "class: TQXDB\nKey: 100\n", "LoadingScreen: 5", "root", ""},  // (a Key of its own is no fault)
      {"LoadingScreen: 5\n", "Key: 100\nLoadingScreen: 0\n", "LoadingScreen: 0", "root",
       "LoadingScreen 0 means no loading screen only while the root's Key is 0; with the root's Key 100 it names the "
       "first element without a Key, root/HALL/LABEL (a TQXText)"},
      {"imImage: pictures\\door.png", "imImage: pictures\\dor.png", "imImage", "root/HALL/DOOR",
       "imImage: the picture 'pictures\\dor.png' is not in the game folder (the game has no archive)"},
      {"ImBack: pictures\\hall.png", "ImBack: hall.png", "ImBack", "root/HALL", "the picture 'hall.png' is not in"},
      {"      - class: TQXText\n        Id: HINT\n", "      - class: TQXText\n        Id: HINT\n        Font: Body.fnt\n",
       "Font: Body.fnt", "root/HALL/HINT", "Font: 'Body.fnt' is no font record"},
      {"PlaySnd('door');", "PlaySnd('bell');", "PlaySnd('bell')", "root/HALL",
       "exShow: PlaySnd('bell'): the sound id is not in the sound table 'sounds.ini'"},
      {"Lang: eng.lng", "Lang: english.lng", "Lang: english.lng", "root",
       "Lang: the language file 'english.lng' is not in the game folder"},
      {"SoundFile: sounds.ini", "SoundFile: sound.ini", "SoundFile", "root", "the sound table 'sound.ini' is not in"},
      {"USES 'lib.txt';", "USES 'lib2.txt';", "USES 'lib2.txt'", "root",
       "exInit: error 25: Can't open file \"lib2.txt\", error code 2"},
      {"      IF STEP = 2 THEN LoadIm;\n", "", "class: TQXScreen\n    Key: 5", "root/LOADING",
       "the loading screen's scripts never call LoadIm"},
      {"      IF STEP = 3 THEN FINISH();\n", "", "class: TQXScreen\n    Key: 5", "root/LOADING",
       "the loading screen's scripts never call EndLoadIm"},
      {"TextId: Menu.Title", "TextId: Menu.Titel", "TextId", "root/HALL/LABEL",
       "the text key 'Menu.Titel' has no translation in eng.lng"},
      {"T := \"Menu.Title\";", "T := \"Menu.Tilte\";", "Menu.Tilte", "root/HALL",
       "exShow: the text key 'Menu.Tilte' has no translation in eng.lng"},
      {"SCORE := 0;", "SCORE := \"Menu.Title\";", "SCORE", "root", "is replaced when the game loads, before the root's Lang"},
      {"          X := 1;", "          X = 1;", "X = 1", "root/HALL/DOOR",
       "exMouseDown: error 1: Found =, expected :=, (, [ or ; (X = 1)"},
      {"          X := 1;", "          X := 'abc;", "X := 'abc", "root/HALL/DOOR", "exMouseDown: error 6: Unterminated string: 'abc; ..."},
      {"          GREET(X);", "          GRET(X);", "GRET", "root/HALL/DOOR", "error 8: Unknown function: GRET"},
      {"          SetScreen(QXDB.GARDEN);", "          SetScreen(QXDB.GARDEN);\n          N := Copy('abc', 1);", "Copy",
       "root/HALL/DOOR", "error 7: Invalid parameters, function COPY"},
      {"      PlaySnd('door');", "      PlaySnd('door', 80);", "PlaySnd", "root/HALL", "error 7: Invalid parameters, function PLAYSND"},
  };
  for (const Mistake& m : mistakes) {
    GameFolder game;
    const std::string yaml = Replace(kGame, m.from, m.to);
    const std::vector<GameFinding> findings = game.Check(yaml);
    if (std::string(m.message).empty()) {
      EXPECT_TRUE(findings.empty()) << m.to << "\n" << Texts(findings);
      continue;
    }
    ASSERT_EQ(findings.size(), 1u) << m.to << "\n" << Texts(findings);
    const GameFinding& f = findings[0];
    EXPECT_EQ(f.file, game.Path("game.yaml")) << m.to;
    EXPECT_EQ(f.line, LineOf(yaml, m.marker)) << m.to << "\n" << Texts(findings);
    EXPECT_EQ(f.path, m.path) << m.to;
    EXPECT_NE(f.message.find(m.message), std::string::npos) << m.to << "\n" << Texts(findings);
  }
}

// Sounds are found as the sound cache finds them: "sounds\NAME", else its OGG twin.
TEST(GameCheck, SoundFilesAreLookedForAsTheSoundCacheLooks) {
  GameFolder game;
  std::filesystem::remove(game.Path("sounds/door.wav"));
  std::vector<GameFinding> findings = game.Check(kGame);
  ASSERT_EQ(findings.size(), 1u) << Texts(findings);
  EXPECT_EQ(findings[0].line, LineOf(kGame, "PlaySnd('door')"));
  EXPECT_EQ(findings[0].message,
            "exShow: PlaySnd('door'): its file 'door.wav' is not in the game folder's sounds folder (the game has no archive)");
  game.Write("sounds/DOOR.ogg", "ogg");
  findings = game.Check(kGame);
  EXPECT_TRUE(findings.empty()) << Texts(findings);
}

TEST(GameCheck, TheRootsProgressScriptMayEndTheLoading) {
  GameFolder game;
  std::string yaml = Replace(kGame, "      IF STEP = 3 THEN FINISH();\n", "");
  yaml = Replace(yaml, "SoundFile: sounds.ini\n", "SoundFile: sounds.ini\nexLoadImProcess: |\n  EndLoadIm;\n");
  const std::vector<GameFinding> findings = game.Check(yaml);
  EXPECT_TRUE(findings.empty()) << Texts(findings);
}

TEST(GameCheck, KeyZeroIsNeverADuplicate) {
  GameFolder game;
  // Three elements without a Key (LABEL, HINT and now GARDEN).
  const std::vector<GameFinding> findings = game.Check(Replace(kGame, "Key: 4\n    Id: GARDEN", "Id: GARDEN"));
  ASSERT_EQ(findings.size(), 1u) << Texts(findings);
  EXPECT_NE(findings[0].message.find("obScreen 4 names no element"), std::string::npos);
}

TEST(GameCheck, MistakesInIncludedFilesNameThatFileAndLine) {
  GameFolder game;
  game.Write("parts/spark.yaml", Replace(kSpark, "EffectFN: effects\\spark.eff", "EffectFN: effects\\sprak.eff"));
  std::vector<GameFinding> findings = game.Check(kGame);
  ASSERT_EQ(findings.size(), 1u) << Texts(findings);
  EXPECT_EQ(FindingText(findings[0]), game.Path("parts/spark.yaml") +
                                           ":4: root/HALL/SPARK: EffectFN: the effect file 'effects\\sprak.eff' is "
                                           "not in the game folder (the game has no archive)");
  // A script file's problem is named in that file, once however many scripts use it.
  game.Write("parts/spark.yaml", kSpark);
  game.Write("lib.txt", "PROCEDURE GREET(N);\n  HINT.Text := 'Hello;\nPROCEDURE FINISH();\n  EndLoadIm;\n");
  findings = game.Check(Replace(kGame, "    exShow: |\n", "    exShow: |\n      USES 'lib.txt';\n"));
  int inLib = 0;
  for (const GameFinding& f : findings) {
    if (f.file != game.Path("lib.txt")) continue;
    ++inLib;
    EXPECT_EQ(f.line, 2);
    EXPECT_NE(f.message.find("error 6: Unterminated string: 'Hello; ..."), std::string::npos) << f.message;
  }
  EXPECT_EQ(inLib, 1) << Texts(findings);
}

TEST(GameCheck, AGameFileNamesNoLines) {
  GameFolder game;
  const std::string yaml = Replace(kGame, "obScreen: 4", "obScreen: 44");
  ElementRecord root;
  std::string error;
  ASSERT_TRUE(RecordFromYaml(yaml, game.Path("game.yaml"), root, error, ReadSourceInclude, nullptr)) << error;
  const std::vector<GameFinding> findings = CheckGame({&root, nullptr, game.Path("game.qxf"), game.dir.path().string()});
  ASSERT_EQ(findings.size(), 1u) << Texts(findings);
  EXPECT_EQ(FindingText(findings[0]), game.Path("game.qxf") + ": root/HALL/4: obScreen 44 names no element: it shows nothing");
}

// The games that come with qxrun: the tutorial's steps in their own folders, the demo in the
// folder the build puts together.
TEST(GameCheck, TheBundledGamesCheckClean) {
  std::vector<std::pair<std::string, std::string>> games;  // source, game folder
  const std::string source = QX_SOURCE_DIR;
  for (const auto& step : std::filesystem::directory_iterator(source + "/games/tutorial")) {
    if (std::filesystem::exists(step.path() / "game.yaml"))
      games.emplace_back((step.path() / "game.yaml").string(), step.path().string());
  }
  EXPECT_GE(games.size(), 7u);
  if (std::filesystem::exists(std::string(QX_BINARY_DIR) + "/games/demo/data.res"))
    games.emplace_back(source + "/games/demo/demo.yaml", std::string(QX_BINARY_DIR) + "/games/demo");
  for (const auto& [file, folder] : games) {
    std::string text, error;
    ASSERT_TRUE(ReadWholeFile(file, text, error)) << error;
    ElementRecord root;
    RecordPlaces places;
    ASSERT_TRUE(RecordFromYaml(text, file, root, error, ReadSourceInclude, &places)) << error;
    const std::vector<GameFinding> findings = CheckGame({&root, &places, file, folder});
    EXPECT_TRUE(findings.empty()) << file << "\n" << Texts(findings);
  }
}

}  // namespace
}  // namespace qx

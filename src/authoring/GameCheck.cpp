// The game check walks the records the way the runtime reads them: the root's settings in
// property order (so its early scripts see no language file, as at load time), then every
// element depth first, the order in which Keys are looked up. Files are found through the
// runtime's own resolver, archive and lookups; scripts through ScriptCheck with every
// built-in a game has.
#include "authoring/GameCheck.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>

#include "authoring/BuiltinCalls.h"
#include "base/CodePage.h"
#include "builtins/Builtins.h"
#include "elements/ElementKinds.h"
#include "resources/GfxFont.h"
#include "resources/GameFs.h"
#include "resources/NameFold.h"
#include "resources/ResArchive.h"
#include "runtime/SoundCache.h"
#include "scene/IniFile.h"
#include "scene/TextReferences.h"
#include "script/ScriptCheck.h"
#include "script/lib/scriptfuncs.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

std::string Utf8(const std::string& cp1251) { return Cp1251ToUtf8(cp1251); }
std::string Quoted(const std::string& cp1251) { return "'" + Utf8(cp1251) + "'"; }

// USES and INCLUDE files come from the game folder's disk, as at run time; nothing is logged.
class CheckHost final : public PlainScriptHost {
 public:
  explicit CheckHost(TGameFs& fs) : fs_(fs) { SetHost(this); }
  ~CheckHost() override { SetHost(nullptr); }
  CheckHost(const CheckHost&) = delete;
  CheckHost& operator=(const CheckHost&) = delete;
  std::string ResolveGameFile(const std::string& name) override { return fs_.ResolveFile(name).value_or(std::string()); }
  void AppendErrorLog(const std::string&) override {}

 private:
  TGameFs& fs_;
};

// One element as the checks see it.
struct Node {
  const ElementRecord* rec = nullptr;
  const RecordPlaces* places = nullptr;
  const Node* parent = nullptr;
  std::string path;
  int32_t key = 0;
};

// A language file of the game and its table.
struct Language {
  std::string name;  // as the game names it
  TIniFile table;
};

// What a script of an element told.
struct ScriptInfo {
  const Node* node = nullptr;
  int prop = 0;
  ScriptCheckResult result;
};

class GameChecker {
 public:
  explicit GameChecker(const GameCheckInput& in) : in_(in), fs_(in.folder.empty() ? "." : in.folder) {}

  std::vector<GameFinding> Run() {
    if (!in_.root || !in_.root->cls) return {};
    Flatten(*in_.root, in_.places, nullptr, "root");
    CheckHost host(fs_);
    RegisterBuiltins(engine_);
    Root();
    for (const auto& node : nodes_) Element(*node);
    Keys();
    KeySettings();
    LoadingScreen();
    Sounds();
    ScriptFiles();
    TextKeys();
    return Sorted();
  }

 private:
  // --- the tree -----------------------------------------------------------------------------

  void Flatten(const ElementRecord& rec, const RecordPlaces* places, const Node* parent, std::string path) {
    auto node = std::make_unique<Node>();
    node->rec = &rec;
    node->places = places;
    node->parent = parent;
    node->path = std::move(path);
    node->key = static_cast<int32_t>(Int(rec, "Key"));
    const Node* self = node.get();
    nodes_.push_back(std::move(node));
    for (size_t i = 0; i < rec.children.size(); ++i) {
      const ElementRecord& child = rec.children[i];
      const RecordPlaces* cp = places && i < places->children.size() ? &places->children[i] : nullptr;
      const std::string id = Str(child, "Id");
      Flatten(child, cp, self, self->path + "/" + (id.empty() ? std::to_string(i + 1) : Utf8(id)));
    }
  }

  static const PropValue* Value(const ElementRecord& rec, std::string_view name) {
    const int i = rec.cls->FindProp(name);
    if (i < 0) return nullptr;
    if (static_cast<size_t>(i) < rec.values.size()) return &rec.values[static_cast<size_t>(i)];
    return &DefaultValues(*rec.cls)[static_cast<size_t>(i)];
  }
  static int64_t Int(const ElementRecord& rec, std::string_view name) {
    const PropValue* v = Value(rec, name);
    return v ? v->i : 0;
  }
  static std::string Str(const ElementRecord& rec, std::string_view name) {
    const PropValue* v = Value(rec, name);
    return v ? v->s : std::string();
  }

  // The first element depth first, the root included, whose Key is `key` (FindByKey).
  const Node* FindByKey(int32_t key) const {
    for (const auto& n : nodes_) {
      if (n->key == key) return n.get();
    }
    return nullptr;
  }
  // The first child of the root of exactly this class with this Key (FindTopLevel).
  const Node* FindTopLevel(int32_t key, const char* cls) const {
    for (const auto& n : nodes_) {
      if (n->parent == nodes_.front().get() && n->key == key && n->rec->cls->name == cls) return n.get();
    }
    return nullptr;
  }
  static std::string Describe(const Node& n) { return n.path + " (a " + n.rec->cls->name + ")"; }

  // --- findings -------------------------------------------------------------------------------

  // At the element, or at one of its properties.
  void Report(const Node& n, int prop, std::string message) {
    GameFinding f;
    f.path = n.path;
    f.message = std::move(message);
    if (n.places) {
      f.file = n.places->file;
      f.line = n.places->line;
      if (prop >= 0 && static_cast<size_t>(prop) < n.places->propLines.size() && n.places->propLines[prop] > 0)
        f.line = n.places->propLines[prop];
    } else {
      f.file = in_.file;
    }
    findings_.push_back(std::move(f));
  }
  void Report(const Node& n, std::string_view prop, std::string message) {
    Report(n, n.rec->cls->FindProp(prop), std::move(message));
  }

  // At a place in a script: a line of the element's script, or of a USES or INCLUDE file.
  void ReportInScript(const ScriptInfo& s, const ScriptPlace& place, const std::string& message) {
    const Node& n = *s.node;
    const std::string& propName = n.rec->cls->props[static_cast<size_t>(s.prop)].name;
    if (!place.file.empty()) {
      // A USES or INCLUDE file: its problem is met by every script that uses it, and named
      // once, with the first of them.
      GameFinding f;
      f.file = Utf8(fs_.ResolveFile(place.file).value_or(place.file));
      f.line = place.line;
      f.path = n.path;
      f.message = message + " (in a file " + propName + " uses)";
      if (!sharedSeen_.insert({f.file, f.line, message}).second) return;
      findings_.push_back(std::move(f));
      return;
    }
    if (!n.places) {
      Report(n, s.prop, propName + (place.line > 0 ? " line " + std::to_string(place.line) : std::string()) + ": " + message);
      return;
    }
    GameFinding f;
    f.file = n.places->file;
    f.path = n.path;
    f.message = propName + ": " + message;
    const int textLine = n.places->textLines[static_cast<size_t>(s.prop)];
    f.line = textLine > 0 && place.line > 0 ? textLine + place.line - 1 : n.places->propLines[static_cast<size_t>(s.prop)];
    findings_.push_back(std::move(f));
  }

  std::vector<GameFinding> Sorted() {
    std::stable_sort(findings_.begin(), findings_.end(), [](const GameFinding& a, const GameFinding& b) {
      return std::tie(a.file, a.line) < std::tie(b.file, b.line);
    });
    return std::move(findings_);
  }

  // --- the root's settings, in the order the game file sets them ------------------------------

  void Root() {
    const Node& root = *nodes_.front();
    const ElementRecord& rec = *root.rec;
    for (size_t i = 0; i < rec.cls->props.size(); ++i) {
      const PropInfo& p = rec.cls->props[i];
      const PropValue& v = *Value(rec, p.name);
      switch (p.field) {
        case PropField::FileFonts: Archive(root, static_cast<int>(i), v.s); break;
        case PropField::Lang: LangSetting(root, static_cast<int>(i), v.s); break;
        case PropField::DefLang:
          if (!v.s.empty() && !fs_.ResolveFile(v.s)) {
            Report(root, static_cast<int>(i), "DefLang: the language file " + Quoted(v.s) + " is not in the game folder");
          }
          if (!v.s.empty()) AddLanguage(v.s);
          break;
        case PropField::SoundFile:
          soundFile_ = v.s;
          if (v.s.empty()) break;
          if (const auto path = fs_.ResolveFile(v.s)) {
            soundTable_.emplace();
            soundTable_->Load(*path);
          } else {
            Report(root, static_cast<int>(i), "SoundFile: the sound table " + Quoted(v.s) + " is not in the game folder");
          }
          break;
        case PropField::IniFile:
        case PropField::FileRS:
          if (!v.s.empty() && !fs_.ResolveForWrite(v.s)) {
            Report(root, static_cast<int>(i),
                   std::string(p.name) + ": " + Quoted(v.s) +
                       " cannot be written in the game folder (its folder is missing, or it leads out of the game folder)");
          }
          break;
        default:
          // The root's scripts are prepared as they are set: those before Lang see no language.
          if (ScriptSlotOf(p.field) != ScriptSlot::kCount && !v.s.empty()) Script(root, static_cast<int>(i), v.s);
          break;
      }
    }
    for (const char* fallback : {"eng.lng", "rus.lng", "deu.lng"}) {
      if (fs_.ResolveFile(fallback)) AddLanguage(fallback);
    }
  }

  void Archive(const Node& root, int prop, const std::string& name) {
    archiveName_ = name;
    if (name.empty()) return;
    const auto path = fs_.ResolveFile(name);
    if (!path) {
      Report(root, prop, "FileFonts: the resource archive " + Quoted(name) + " is not in the game folder");
      return;
    }
    archive_.SetOpenMode(TResOpenMode::opReadOnly);
    archive_.SetFileName(*path);
    if (!archive_.Open()) {
      Report(root, prop, "FileFonts: the resource archive " + Quoted(name) + " cannot be read: " + archive_.LastError());
      return;
    }
    for (int i = 0; i < archive_.RecordCount(); ++i) {
      if (archive_.RecordType(i) == kFontRecordType) fonts_.push_back(archive_.RecordName(i));
    }
  }

  void LangSetting(const Node& root, int prop, const std::string& name) {
    langName_ = name;
    if (name.empty()) return;
    std::string value = name;
    if (!fs_.ResolveFile(value)) {
      std::string taken;
      for (const char* fallback : {"eng.lng", "rus.lng", "deu.lng"}) {
        if (fs_.ResolveFile(fallback)) {
          taken = fallback;
          break;
        }
      }
      Report(root, prop,
             "Lang: the language file " + Quoted(name) + " is not in the game folder" +
                 (taken.empty() ? std::string() : "; the game takes " + taken + " instead"));
      if (taken.empty()) return;
      value = taken;
    }
    current_ = AddLanguage(value);
  }

  // The language file of that name (read once), or null when it is not there.
  const Language* AddLanguage(const std::string& name) {
    const auto path = fs_.ResolveFile(name);
    if (!path) return nullptr;
    for (const auto& l : languages_) {
      if (fs_.ResolveFile(l->name) == path) return l.get();
    }
    auto l = std::make_unique<Language>();
    l->name = name;
    l->table.Load(*path);
    languages_.push_back(std::move(l));
    return languages_.back().get();
  }

  // --- each element ---------------------------------------------------------------------------

  void Element(const Node& n) {
    const ElementRecord& rec = *n.rec;
    for (size_t i = 0; i < rec.cls->props.size(); ++i) {
      const PropInfo& p = rec.cls->props[i];
      const std::string& v = Value(rec, p.name)->s;
      if (p.type != PropType::String || v.empty()) continue;
      const int prop = static_cast<int>(i);
      switch (p.field) {
        case PropField::imImage:
        case PropField::ImBack: Picture(v, std::string(p.name), [&](const std::string& m) { Report(n, prop, m); }); break;
        case PropField::EffectFN: Effect(v, [&](const std::string& m) { Report(n, prop, m); }); break;
        case PropField::Font: Font(v, [&](const std::string& m) { Report(n, prop, m); }); break;
        case PropField::TextId: texts_.push_back({v, [this, &n, prop](const std::string& m) { Report(n, prop, m); }}); break;
        default:
          if (n.parent && ScriptSlotOf(p.field) != ScriptSlot::kCount) Script(n, prop, v);
          break;
      }
    }
  }

  using Sink = std::function<void(const std::string&)>;

  std::string ArchiveSuffix() const {
    return archive_.Opened() ? " or in the archive " + Quoted(archiveName_) : std::string(" (the game has no archive)");
  }
  void Picture(const std::string& name, const std::string& what, const Sink& report) {
    if (LocateGameFile(fs_, &archive_, name) == TFileSource::None)
      report(what + ": the picture " + Quoted(name) + " is not in the game folder" + ArchiveSuffix());
  }
  void Effect(const std::string& name, const Sink& report) {
    if (LocateGameFile(fs_, &archive_, name) == TFileSource::None)
      report("EffectFN: the effect file " + Quoted(name) + " is not in the game folder" + ArchiveSuffix());
  }
  void Font(const std::string& name, const Sink& report) {
    for (const std::string& f : fonts_) {
      if (SameName1251(f, name)) return;
    }
    report("Font: " + Quoted(name) + " is no font record of the archive" +
           (archive_.Opened() ? " " + Quoted(archiveName_) : std::string(" (the game has no archive: FileFonts)")));
  }

  // --- scripts --------------------------------------------------------------------------------

  void Script(const Node& n, int prop, const std::string& source) {
    auto info = std::make_unique<ScriptInfo>();
    info->node = &n;
    info->prop = prop;
    const Language* language = current_;
    std::vector<std::pair<std::string, size_t>> references;
    const std::string text = SubstituteTexts(source, [&](const std::string& reference, size_t offset) {
      references.emplace_back(reference, offset);
      std::string section, key;
      SplitReference(reference, section, key);
      if (!language || section.empty() || key.empty() || !language->table.ValueExists(section, key)) return std::string();
      return language->table.ReadString(section, key, "");
    });
    info->result = CheckScript(engine_, text, BuiltinRefusesCount);
    const ScriptInfo& s = *info;
    for (const ScriptFinding& f : s.result.findings) {
      ReportInScript(s, f.place, Utf8(DescribeFinding(f)));
    }
    for (const auto& [reference, offset] : references) {
      const int line = 1 + static_cast<int>(std::count(source.begin(), source.begin() + static_cast<long>(offset), '\n'));
      const ScriptPlace place{"", line};
      if (!n.parent && !language) {
        ReportInScript(s, place,
                       "the text key " + Quoted(reference) +
                           " is replaced when the game loads, before the root's Lang opens a language file: it is always empty");
        continue;
      }
      texts_.push_back({reference, [this, &s, place](const std::string& m) { ReportInScript(s, place, m); }});
    }
    scripts_.push_back(std::move(info));
  }

  // What the scripts name in constants: pictures, effects, fonts, texts, sounds, languages.
  void ScriptFiles() {
    for (const auto& sp : scripts_) {
      const ScriptInfo& s = *sp;
      for (const ScriptConstantAssignment& a : s.result.assignments) {
        const size_t dot = a.target.rfind('.');
        const std::string last = a.target.substr(dot == std::string::npos ? 0 : dot + 1);
        // A bare name is the element's own property only when its class has one of that name.
        if (dot == std::string::npos && s.node->rec->cls->FindProp(last) < 0) continue;
        const Sink report = [this, &s, &a](const std::string& m) { ReportInScript(s, a.place, m); };
        if (a.value.empty() || a.value.front() == '"') continue;
        if (last == "IMIMAGE") Picture(a.value, "imImage", report);
        else if (last == "IMBACK") Picture(a.value, "ImBack", report);
        else if (last == "EFFECTFN") Effect(a.value, report);
        else if (last == "FONT") Font(a.value, report);
        else if (last == "TEXTID") texts_.push_back({a.value, report});
        else if (last == "LANG") {
          if (!AddLanguage(a.value)) report("Lang: the language file " + Quoted(a.value) + " is not in the game folder");
        }
      }
      for (const ScriptCall& c : s.result.calls) {
        if (c.name == "GETTEXT" && c.constants.size() == 1 && c.constants[0]) {
          texts_.push_back({*c.constants[0], [this, &s, &c](const std::string& m) { ReportInScript(s, c.place, m); }});
        }
      }
    }
  }

  // --- keys and key settings ------------------------------------------------------------------

  void Keys() {
    std::map<int32_t, const Node*> first;
    for (const auto& n : nodes_) {
      if (n->key == 0) continue;  // no Key: never a duplicate
      const auto [it, fresh] = first.emplace(n->key, n.get());
      if (fresh) continue;
      const Node& other = *it->second;
      std::string where = other.path;
      if (other.places && other.places->line > 0) where += " (" + other.places->file + ":" + std::to_string(other.places->line) + ")";
      Report(*n, "Key", "Key " + std::to_string(n->key) + " is also the Key of " + where);
    }
  }

  void KeySettings() {
    const Node& root = *nodes_.front();
    const int32_t init = static_cast<int32_t>(Int(*root.rec, "InitScreen"));
    const Node* start = FindByKey(init);
    if (init == 0 && start == &root) {
      // An author who left it out: say so rather than that 0 names the root.
      Report(root, "InitScreen", "InitScreen is not set: the game starts with no screen (give it the Key of the first screen)");
    } else if (!start || start == &root) {
      Report(root, "InitScreen",
             "InitScreen " + std::to_string(init) + (start ? " names the root" : " names no element") +
                 ": the game starts with no screen");
    } else if (start->rec->cls->name != "TQXScreen") {
      Report(root, "InitScreen", "InitScreen " + std::to_string(init) + " names " + Describe(*start) + ", not a screen");
    }

    const int32_t loading = static_cast<int32_t>(Int(*root.rec, "LoadingScreen"));
    const Node* screen = FindByKey(loading);
    if (loading == 0 && root.key != 0 && screen) {
      Report(root, "LoadingScreen",
             "LoadingScreen 0 means no loading screen only while the root's Key is 0; with the root's Key " +
                 std::to_string(root.key) + " it names the first element without a Key, " + Describe(*screen));
    } else if (!screen && loading != 0) {
      Report(root, "LoadingScreen", "LoadingScreen " + std::to_string(loading) + " names no element (0: no loading screen)");
    } else if (screen && screen != &root && screen->rec->cls->name != "TQXScreen") {
      Report(root, "LoadingScreen",
             "LoadingScreen " + std::to_string(loading) + " names " + Describe(*screen) + ", not a screen");
    }

    for (const auto& n : nodes_) {
      const std::string& cls = n->rec->cls->name;
      if (cls == "TQXExScreen") Shown(*n, "obScreen", "TQXScreen", "screen");
      else if (cls == "TQXExAnim") Shown(*n, "obAnim", "TQXAnim", "animation");
    }
  }

  // An embedded screen or animation shows the root's child of that class with its Key.
  void Shown(const Node& n, const char* prop, const char* cls, const char* what) {
    const int32_t key = static_cast<int32_t>(Int(*n.rec, prop));
    if (FindTopLevel(key, cls)) return;
    const std::string name = std::string(prop) + " " + std::to_string(key);
    if (const Node* other = key != 0 ? FindByKey(key) : nullptr) {
      Report(n, prop, name + " names " + Describe(*other) + ", not a " + what + " of the root: it shows nothing");
    } else if (key == 0) {
      Report(n, prop, std::string(prop) + " is not set, and the root has no " + what + " without a Key: it shows nothing");
    } else {
      Report(n, prop, name + " names no element: it shows nothing");
    }
  }

  // --- the loading screen ---------------------------------------------------------------------

  void LoadingScreen() {
    const Node& root = *nodes_.front();
    const Node* screen = FindByKey(static_cast<int32_t>(Int(*root.rec, "LoadingScreen")));
    // (A loading screen that is no screen has been reported already.)
    if (!screen || screen == &root || screen->rec->cls->name != "TQXScreen") return;
    // The calls its scripts and its elements' scripts make, through the procedures they
    // declare; the root's exLoadImProcess runs within the loading step too.
    std::set<std::string> reached;
    const int progress = root.rec->cls->FindField(PropField::exLoadImProcess);
    for (const auto& sp : scripts_) {
      bool inside = sp->node == &root && sp->prop == progress;
      for (const Node* p = sp->node; p && !inside; p = p->parent) inside = p == screen;
      if (!inside) continue;
      std::set<std::string> procedures{""};
      std::vector<std::string> todo{""};
      while (!todo.empty()) {
        const std::string from = todo.back();
        todo.pop_back();
        for (const ScriptCall& c : sp->result.calls) {
          if (c.procedure != from) continue;
          reached.insert(c.name);
          if (procedures.insert(c.name).second) todo.push_back(c.name);
        }
      }
    }
    if (!reached.count("LOADIM"))
      Report(*screen, -1, "the loading screen's scripts never call LoadIm: a screen change through it never ends");
    if (!reached.count("ENDLOADIM"))
      Report(*screen, -1,
             "the loading screen's scripts never call EndLoadIm: the game stays in the loading phase after a screen change");
  }

  // --- sounds and texts -----------------------------------------------------------------------

  void Sounds() {
    for (const auto& sp : scripts_) {
      const ScriptInfo& s = *sp;
      for (const ScriptCall& c : s.result.calls) {
        if ((c.name != "PLAYSND" && c.name != "PLAYMUZ") || c.constants.size() != 1 || !c.constants[0]) continue;
        const std::string& id = *c.constants[0];
        const std::string call = c.name == "PLAYSND" ? "PlaySnd" : "PlayMuz";
        const auto report = [&](const std::string& m) { ReportInScript(s, c.place, call + "(" + Quoted(id) + "): " + m); };
        if (!soundTable_) {
          // (A missing table is reported once, at SoundFile.)
          if (soundFile_.empty()) report("the game has no sound table (SoundFile)");
          continue;
        }
        std::string section, key;
        SplitReference(id, section, key);
        const std::string value = section.empty() || key.empty() ? std::string() : soundTable_->ReadString(section, key, "");
        if (value.empty()) {
          report("the sound id is not in the sound table " + Quoted(soundFile_));
          continue;
        }
        std::string file;
        int32_t volume = 100;
        ReadSoundValue(value, file, volume);
        const std::string name = TSoundCache::CacheName(file);
        if (LocateSound(fs_, &archive_, name) == TFileSource::None &&
            LocateSound(fs_, &archive_, TSoundCache::OggName(name)) == TFileSource::None) {
          report("its file " + Quoted(file) + " is not in the game folder's sounds folder" + ArchiveSuffix());
        }
      }
    }
  }

  void TextKeys() {
    for (const TextUse& t : texts_) {
      std::string section, key;
      SplitReference(t.key, section, key);
      if (languages_.empty()) {
        // (A missing file is reported once, at Lang.)
        if (langName_.empty()) t.report("the text key " + Quoted(t.key) + " has no translation: the game has no language file (Lang)");
        continue;
      }
      std::string missing;
      for (const auto& l : languages_) {
        if (section.empty() || key.empty() || !l->table.ValueExists(section, key))
          missing += (missing.empty() ? "" : ", ") + Utf8(l->name);
      }
      if (!missing.empty()) t.report("the text key " + Quoted(t.key) + " has no translation in " + missing);
    }
  }

  struct TextUse {
    std::string key;
    Sink report;
  };

  const GameCheckInput& in_;
  TGameFs fs_;
  TResArchive archive_;
  std::string archiveName_;
  std::vector<std::string> fonts_;
  std::vector<std::unique_ptr<Language>> languages_;
  const Language* current_ = nullptr;  // the one translations come from (Lang)
  std::string langName_;
  std::string soundFile_;
  std::optional<TIniFile> soundTable_;
  std::vector<std::unique_ptr<Node>> nodes_;
  std::vector<std::unique_ptr<ScriptInfo>> scripts_;
  std::vector<TextUse> texts_;
  TScriptEngine engine_;
  std::vector<GameFinding> findings_;
  std::set<std::tuple<std::string, int, std::string>> sharedSeen_;  // problems in script files, named once
};

}  // namespace

std::vector<GameFinding> CheckGame(const GameCheckInput& input) { return GameChecker(input).Run(); }

std::string FindingText(const GameFinding& f) {
  std::string s = f.file;
  if (f.line > 0) s += ":" + std::to_string(f.line);
  s += ": ";
  if (!f.path.empty()) s += f.path + ": ";
  return s + f.message;
}

}  // namespace qx

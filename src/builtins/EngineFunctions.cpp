// The engine built-ins: the functions through which event scripts act on the running game.
// They fire element events, switch screens, start and stop animations and effects, edit
// image lists, read pixels, play sounds and music, use the player's ini file, save and
// restore the game and end it. Built-ins that take an element do nothing for a missing or
// wrong argument; the few with a fixed count fail on another count.
#include <filesystem>

#include "elements/QXAnim.h"
#include "elements/QXEffect.h"
#include "elements/QXImList.h"
#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "elements/QXText.h"
#include "builtins/Builtins.h"
#include "builtins/ElementArgs.h"
#include "render/GfxTimer.h"
#include "resources/GameFs.h"
#include "resources/GfxImage.h"
#include "runtime/MediaCache.h"
#include "runtime/RuntimeState.h"
#include "runtime/SoundPlayer.h"
#include "scene/IniFile.h"
#include "scene/QXDB.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

using Params = TVarList;

// Exactly the class: the built-ins that name an exact class (the image lists', the animation
// and effect controls).
bool Exactly(const TQXElement* e, ClassId cls) { return e && e->IsExactly(cls); }

void TimerReset(const TQXDB& root) {
  if (TGfxTimer* timer = root.Services().timer) timer->Reset();
}

// An element-event built-in: one operation on any element.
template <class Op>
NativeFunction OnElement(const GameLink& game, Op op) {
  return [g = &game, op](TScriptEngine&, Params& p, TVar&) {
    if (TQXElement* e = ElementArg(*g, p, 0)) op(*e);
    return true;
  };
}

TQXElement* LoadingScreen(TQXDB& root) {
  TQXElement* found = root.FindByKey(root.LoadingScreen);
  return found == &root ? nullptr : found;
}

bool SetScreen(const GameLink& game, Params& p) {
  TQXElement* screen = ElementArg(game, p, 0);
  TQXDB* root = game.root;
  if (!root || !dynamic_cast<TQXScreen*>(screen)) return true;
  RuntimeState& rt = Runtime();
  rt.FocusedText = nullptr;
  rt.ImForLoadCount = 0;
  rt.ImForLoadPos = 0;
  rt.LoadingPhase = true;
  if (MediaCache* media = root->Services().media) media->ClearImageCounts();
  root->ResetResources();
  root->MarkAlwaysLoaded();
  rt.LoadNow = false;  // from here on pictures are only counted and queued
  rt.PendingScreen = screen;
  screen->LoadMark = true;
  screen->LoadResources();
  if (TQXElement* loading = LoadingScreen(*root)) loading->DoInit();
  for (int i = 1; i < p.Count(); ++i) {
    if (TQXElement* extra = ElementArg(game, p, i)) {
      extra->LoadMark = true;
      extra->LoadResources();
    }
  }
  rt.LoadNow = true;
  TimerReset(*root);
  return true;
}

bool FastSetScreen(const GameLink& game, Params& p) {
  TQXElement* screen = ElementArg(game, p, 0);
  if (!game.root || !dynamic_cast<TQXScreen*>(screen)) return true;
  SetCurrentScreen(screen);
  screen->LoadResources();
  for (int i = 1; i < p.Count(); ++i) {
    if (TQXElement* extra = ElementArg(game, p, i)) extra->LoadResources();
  }
  screen->DoShow();
  TimerReset(*game.root);
  return true;
}

}  // namespace

void RegisterEngineFunctions(TScriptEngine& e, const GameLink& game) {
  auto add = [&e](const char* name, NativeFunction f) { e.RegisterFunction(name, std::move(f)); };
  const GameLink* g = &game;

  add("ListAdd", [g](TScriptEngine&, Params& p, TVar&) {
    TQXElement* list = ElementArg(*g, p, 0);
    TQXElement* image = ElementArg(*g, p, 1);
    if (Exactly(list, ClassId::ImList) && Exactly(image, ClassId::Image)) {
      static_cast<TQXImList*>(list)->Add(static_cast<TQXImage*>(image));
    }
    return true;
  });
  add("ListDel", [g](TScriptEngine&, Params& p, TVar&) {
    TQXElement* list = ElementArg(*g, p, 0);
    if (p.Count() < 2 || !Exactly(list, ClassId::ImList)) return true;
    auto* l = static_cast<TQXImList*>(list);
    if (p[1].Value.IsString()) {
      l->Remove(p[1].Value.StrValue());
    } else if (TQXElement* image = ElementArg(*g, p, 1); Exactly(image, ClassId::Image)) {
      l->Remove(static_cast<TQXImage*>(image));
    }
    return true;
  });
  add("AnimStart", OnElement(game, [](TQXElement& el) {
        if (Exactly(&el, ClassId::Anim)) {
          auto& anim = static_cast<TQXAnim&>(el);
          anim.SetPos(0);
          anim.Active = true;
          anim.SetVis(true);
          anim.RunEvent("anStart", ScriptSlot::Start);
        } else if (Exactly(&el, ClassId::Effect)) {
          static_cast<TQXEffect&>(el).SetActive(true);
          el.RunEvent("anStart", ScriptSlot::Start);
        }
      }));
  add("AnimPlay", OnElement(game, [](TQXElement& el) {
        if (!Exactly(&el, ClassId::Anim)) return;
        auto& anim = static_cast<TQXAnim&>(el);
        anim.Active = true;
        if (anim.Pos() >= anim.FrameCount() - 1) anim.SetPos(0);
        anim.SetVis(true);
      }));
  add("AnimStop", OnElement(game, [](TQXElement& el) {
        if (Exactly(&el, ClassId::Effect)) static_cast<TQXEffect&>(el).SetActive(false);
      }));
  add("AnimBreak", OnElement(game, [](TQXElement& el) {
        if (!Exactly(&el, ClassId::Effect)) return;
        auto& fx = static_cast<TQXEffect&>(el);
        if (fx.System()) fx.System()->StopEmission(true);
        fx.SetActive(false);
      }));
  add("Update", OnElement(game, [](TQXElement& el) { el.DoUpdate(); }));
  add("Process", OnElement(game, [](TQXElement& el) { el.DoProcess(); }));
  add("MsDown", OnElement(game, [](TQXElement& el) { el.DoMouseDown(); }));
  add("MsMove", OnElement(game, [](TQXElement& el) { el.DoMouseMove(); }));
  add("Init", OnElement(game, [](TQXElement& el) { el.DoInitPr(); }));
  add("Show", OnElement(game, [](TQXElement& el) { el.DoShow(); }));
  add("SetFocus", OnElement(game, [](TQXElement& el) {
        if (dynamic_cast<TQXText*>(&el)) Runtime().FocusedText = static_cast<TQXText*>(&el);
      }));
  add("SetScreen", [g](TScriptEngine&, Params& p, TVar&) { return SetScreen(*g, p); });
  add("FastSetScreen", [g](TScriptEngine&, Params& p, TVar&) { return FastSetScreen(*g, p); });
  add("LoadIm", [g](TScriptEngine&, Params&, TVar&) {
    if (g->root) g->root->FinishLoading();
    return true;
  });
  add("EndLoadIm", [](TScriptEngine&, Params&, TVar&) {
    Runtime().LoadingPhase = false;
    return true;
  });
  add("GetAlpha", [g](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 3 || p[0].Value.Kind() != ValueKind::Element) return true;
    r.Value = ScriptValue::Int(0);
    TQXElement* el = ElementArg(*g, p, 0);
    auto* image = dynamic_cast<TQXImage*>(el);
    TGfxImage* picture = image ? image->Picture() : nullptr;
    if (!picture) return true;
    const int32_t x = p[1].Value.ToInt32(), y = p[2].Value.ToInt32();
    // Texels outside the pattern read as transparent.
    TFramePlace place;
    if (x < 0 || y < 0 || x >= picture->VisibleWidth() || y >= picture->VisibleHeight() ||
        !picture->FramePlace(image->Anim, place)) {
      return true;
    }
    r.Value = ScriptValue::Int(static_cast<int32_t>(picture->GetPixel(place.left + x, place.top + y, place.texture) >> 24));
    return true;
  });
  add("MoveTo", [g](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 3 || p[0].Value.Kind() != ValueKind::Element) return true;
    r.Value = ScriptValue::Int(0);
    if (TQXElement* el = ElementArg(*g, p, 0)) el->SetRealPos(p[1].Value.ToInt32(), p[2].Value.ToInt32());
    return true;
  });
  add("ProcEf", [g](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 2 || p[0].Value.Kind() != ValueKind::Element) return true;
    r.Value = ScriptValue::Int(0);
    if (auto* effect = dynamic_cast<TQXEffect*>(ElementArg(*g, p, 0))) {
      effect->AdvanceSteps(p[1].Value.ToDouble());
    }
    return true;
  });
  add("GetText", [g](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    TQXDB* root = g->root;
    r.Value = ScriptValue::Str(root ? root->TranslateText(p[0].Value.ToText()) : std::string());
    return true;
  });
  add("SaveState", [g](TScriptEngine&, Params&, TVar&) {
    if (g->root) g->root->SaveState();
    return true;
  });
  add("LoadState", [g](TScriptEngine&, Params&, TVar&) {
    if (g->root) g->root->LoadState();
    return true;
  });
  add("TimerReset", [g](TScriptEngine&, Params&, TVar&) {
    if (g->root) TimerReset(*g->root);
    return true;
  });
  add("GetIni", [g](TScriptEngine&, Params& p, TVar& r) {
    TQXDB* root = g->root;
    if (p.Count() != 3 || !root || !root->Ini()) return false;
    r.Value = ScriptValue::Str(root->Ini()->ReadString(p[0].Value.ToText(), p[1].Value.ToText(), p[2].Value.ToText()));
    return true;
  });
  add("SetIni", [g](TScriptEngine&, Params& p, TVar& r) {
    TQXDB* root = g->root;
    if (p.Count() != 3 || !root || !root->Ini()) return false;
    std::string error;
    if (!root->Ini()->WriteString(p[0].Value.ToText(), p[1].Value.ToText(), p[2].Value.ToText(), &error)) {
      throw ScriptError(error.empty() ? "cannot write the ini file" : error);
    }
    r.Value = ScriptValue::Int(0);
    return true;
  });
  add("DelFile", [g](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    const std::string name = p[0].Value.ToText();
    // Only files of the game folder: a name leading anywhere else is refused.
    // A refused name (absolute, "..", a link leading out) is a failing call.
    if (!g->root || g->root->Files().Locate(name).kind == TGameFs::Lookup::Refused) {
      throw ScriptError("'" + name + "' is not a file of the game folder");
    }
    // The player's copy when the file moved to the data folder; never a shipped file of a
    // game folder that cannot be written. A link inside the folder is removed itself.
    if (const std::optional<std::string> path = g->root->Places().DeletePath(name)) {
      std::error_code ec;
      std::filesystem::remove(*path, ec);
      if (ec) throw ScriptError(ec.message());
      g->root->Files().Invalidate();
    }
    r.Value = ScriptValue::Int(0);  // a missing file is not an error
    return true;
  });
  add("ToFront", OnElement(game, [](TQXElement& el) { el.BringToFront(); }));
  add("PlaySnd", [g](TScriptEngine&, Params& p, TVar&) {
    if (p.Count() != 1) return false;
    std::string file;
    int32_t volume = 0;
    if (SoundPlayer* sound = TableSound(g->root, p[0].Value.ToText(), file, volume)) sound->PlaySound(file, volume);
    return true;
  });
  add("PlayMuz", [g](TScriptEngine&, Params& p, TVar&) {
    if (p.Count() != 1) return false;
    std::string file;
    int32_t volume = 0;
    if (SoundPlayer* sound = TableSound(g->root, p[0].Value.ToText(), file, volume)) sound->PlayMusic(file, volume);
    return true;
  });
  add("StopMuz", [g](TScriptEngine&, Params& p, TVar&) {
    if (p.Count() != 1) return false;
    if (SoundPlayer* sound = g->root ? g->root->Services().sound : nullptr) sound->FadeOutAllMusic();
    return true;
  });
  add("ExitGame", [](TScriptEngine&, Params&, TVar&) {
    Runtime().ExitRequested = true;
    return true;
  });
}

}  // namespace qx

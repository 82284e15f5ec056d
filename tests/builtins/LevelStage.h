// A stage for the level natives: a root with drawing, a script engine with every built-in,
// recorded sounds, and helpers that build puzzle trees in code.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "builtins/Builtins.h"
#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "scene/MediaStage.h"
#include "script/scriptengine.h"

namespace qx::test {

inline uint32_t OpaquePixel(int, int) { return 0xFFFFFFFFu; }

struct LevelStage : MediaStage {
  GameLink game;
  TScriptEngine engine;
  std::vector<std::string>& sounds = sound.calls;
  int32_t nextKey = 100;

  LevelStage() {
    game.root = root.get();
    RegisterBuiltins(engine, game);
    // A 10 x 20 picture: discs and fields take their sizes from it through ScaleX/ScaleY.
    Png("cell.png", 10, 20, OpaquePixel);
  }

  // Evaluates a native call; natives never fail and leave the result empty.
  void Call(const std::string& expression) {
    engine.ResetErrorState();
    TVar v;
    ASSERT_TRUE(engine.Evaluate(Tokenise(expression), v)) << expression << ": " << engine.ErrorMessage();
    EXPECT_TRUE(v.Value.IsEmpty()) << expression;
  }

  TQXScreen* Screen(const std::string& id) { return Add<TQXScreen>(root.get(), id, nextKey++); }
  TQXImage* Image(TQXElement* parent, const std::string& id, double x = 0, double y = 0) {
    auto* image = Add<TQXImage>(parent, id, nextKey++);
    image->rX = x;
    image->rY = y;
    return image;
  }
  // An image with a picture scaled to w x h pixels.
  TQXImage* Sized(TQXElement* parent, const std::string& id, int w, int h, double x = 0, double y = 0) {
    TQXImage* image = Image(parent, id, x, y);
    image->SetImImage("cell.png");
    image->ScaleX = w / 10.0;
    image->ScaleY = h / 20.0;
    return image;
  }
};

inline ScriptValue Ref(const TQXElement* e) { return ScriptValue::Element(e ? e->Handle() : 0); }
inline ScriptValue Int(int32_t v) { return ScriptValue::Int(v); }

// Sets (or adds) an element variable, as an Init script would have captured it.
inline void Var(TQXElement* e, const std::string& name, const ScriptValue& value) {
  if (!e->Variables) e->Variables = std::make_unique<TVarList>();
  if (!e->Variables->SetExisting(name, value)) e->Variables->Add({name, value});
}

// An element variable as text ("<none>" when the element has no such variable).
inline std::string VarText(const TQXElement* e, const std::string& name) {
  TVar v;
  if (!e->Variables || !e->Variables->GetLocal(name, v)) return "<none>";
  return v.Value.ToText();
}

}  // namespace qx::test

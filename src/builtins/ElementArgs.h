// What every built-in that acts on the game reads from its arguments: the element an
// argument refers to, and a sound id looked up in the game's sound table.
#pragma once

#include <cstdint>
#include <string>

#include "builtins/Builtins.h"
#include "runtime/SoundPlayer.h"
#include "scene/QXDB.h"
#include "script/VarList.h"

namespace qx {

// The element argument `i` refers to, or null (no such argument, not an element reference,
// a stale handle, or no game).
inline TQXElement* ElementArg(const GameLink& game, const TVarList& p, int i) {
  if (i >= p.Count() || p[i].Value.Kind() != ValueKind::Element || !game.root) return nullptr;
  return game.root->FromHandle(p[i].Value.ElementHandle());
}

// The file and volume the root's sound table gives a sound id, and the player that plays
// it; null when there is no root or player, or the id names no file.
inline SoundPlayer* TableSound(TQXDB* root, const std::string& id, std::string& file, int32_t& volume) {
  volume = 0;
  if (!root) return nullptr;
  root->LookupSound(id, file, volume);
  return file.empty() ? nullptr : root->Services().sound;
}

}  // namespace qx

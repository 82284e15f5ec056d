// The class registry: the eleven element classes in registration order, their published
// properties in property-index order (names, type kinds, enumeration values) and the
// classes each may be a child of. The game file, saved states, scripts and qxtool all
// derive from these tables. The registry knows the classes by name only; making an element
// of a class is the element kinds' factory's work (scene/ElementFactory.h).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qx {

// Type kinds of published properties (how the game file stores them, how scripts see them).
enum class PropType : uint8_t { Integer, Cardinal, Byte, Word, Boolean, Enum, Double, String };

// The short type name authors see ("int", "uint", "byte", "word", "bool", "enum", "double", "string").
const char* PropTypeName(PropType type);
bool IsOrdinal(PropType type);

// Every distinct published property name. A name means the same type in every class.
#define QX_PROPERTY_FIELDS(FIELD)                                                                  \
  FIELD(Key, Integer) FIELD(Id, String) FIELD(X, Integer) FIELD(Y, Integer) FIELD(Vis, Boolean)                    \
  FIELD(CurKey, Integer) FIELD(InitScreen, Integer) FIELD(FileRS, String) FIELD(FileFonts, String)             \
  FIELD(hxTransLev, Byte) FIELD(DefLang, String) FIELD(Lang, String) FIELD(LoadingScreen, Integer)             \
  FIELD(IniFile, String) FIELD(SoundFile, String) FIELD(NotSave, Boolean) FIELD(ImBack, String)                \
  FIELD(SizeX, Integer) FIELD(SizeY, Integer) FIELD(hxDrawFx, Cardinal) FIELD(Agro, Integer) FIELD(Modal, Boolean) \
  FIELD(Order, Integer) FIELD(Tag, String) FIELD(AllwaysLoad, Boolean) FIELD(AutoInit, Boolean)                \
  FIELD(imImage, String) FIELD(PosHor, Enum) FIELD(PosVert, Enum) FIELD(Scale, Double) FIELD(Angle, Double)        \
  FIELD(hxColor, Cardinal) FIELD(hxTrans, Byte) FIELD(MousedNotVis, Boolean) FIELD(MousedVis, Boolean)         \
  FIELD(Anim, Integer) FIELD(NoMsQXDB, Boolean) FIELD(rX, Double) FIELD(rY, Double) FIELD(ScaleX, Double)          \
  FIELD(ScaleY, Double) FIELD(Interpol, Boolean) FIELD(InterpolSc, Boolean) FIELD(MsKeep, Boolean)             \
  FIELD(TextId, String) FIELD(obScreen, Integer) FIELD(Processing, Boolean) FIELD(Pos, Integer)                \
  FIELD(Morph, Boolean) FIELD(Rep, Boolean) FIELD(ShowAn, Boolean) FIELD(Active, Boolean) FIELD(Count, Word)       \
  FIELD(obAnim, Integer) FIELD(EffectFN, String) FIELD(DAnim, Double) FIELD(RowCount, Integer)                 \
  FIELD(ColCount, Integer) FIELD(Space, Integer) FIELD(ScrollPos, Integer) FIELD(ElWidth, Integer)             \
  FIELD(ElHeight, Integer) FIELD(hxColor1, Cardinal) FIELD(hxTrans1, Byte) FIELD(hxColor2, Cardinal)           \
  FIELD(hxTrans2, Byte) FIELD(Font, String) FIELD(AutoEnter, Boolean) FIELD(EnEnter, Boolean)                  \
  FIELD(AutoScale, Boolean) FIELD(Interval, Double) FIELD(Text, String)                                    \
  FIELD(exMouseMove, String) FIELD(exInit, String) FIELD(exMouseUp, String) FIELD(exVarRS, String)             \
  FIELD(exMouseOut, String) FIELD(exMouseIn, String) FIELD(exAfterLoad, String) FIELD(exMouseDown, String)     \
  FIELD(exUpdate, String) FIELD(exProcess, String) FIELD(exShow, String) FIELD(exRender, String)               \
  FIELD(exLoadImProcess, String) FIELD(exKeyDown, String) FIELD(exExit, String) FIELD(exStop, String)          \
  FIELD(exStart, String) FIELD(exAnim, String)

enum class PropField : uint8_t {
#define QX_FIELD_ENUM(name, type) name,
  QX_PROPERTY_FIELDS(QX_FIELD_ENUM)
#undef QX_FIELD_ENUM
  kCount
};

struct FieldInfo {
  const char* name;
  PropType type;
};
const FieldInfo& FieldInfoOf(PropField field);

// Event scripts: the twelve every element carries, in their field order, then the ones
// only some kinds publish. Each is a script slot of the element.
enum class ScriptSlot : uint8_t {
  MouseMove, Init, MouseUp, VarRS, MouseOut, MouseIn, AfterLoad, MouseDown, Update, Process, Show, Render,
  LoadImProcess, KeyDown, Exit, Stop, Start, Anim,
  kCount
};
inline constexpr int kBaseScriptSlots = 12;
// The slot of a script field, or kCount for fields that are not scripts.
ScriptSlot ScriptSlotOf(PropField field);

// A published property of a class: its index is its position in the class's list.
struct PropInfo {
  PropField field;
  const char* name;
  PropType type;
  std::span<const char* const> enumNames;  // value names of booleans and enumerations
};

// The classes in registration order.
enum class ClassId : uint8_t { DB, Screen, Image, ExScreen, Anim, AnKey, ExAnim, Effect, ImList, Shape, Text };

struct ClassInfo {
  ClassId id = ClassId::DB;
  std::string name;          // as the class spells it: "TQXImage"
  std::string displayName;   // "Image"
  std::vector<PropInfo> props;
  std::vector<std::string> allowedParents;

  // Index of a property by name, letter case ignored; -1 when the class has none.
  int FindProp(std::string_view propName) const;
  // Upper-cased property name -> its first index (scripts look properties up by name often).
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const {
      uint64_t h = 14695981039346656037ull;  // FNV-1a: names are short, this is cheaper than murmur
      for (const char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
      return static_cast<size_t>(h);
    }
  };
  std::unordered_map<std::string, int, NameHash, std::equal_to<>> propIndex;
  int FindField(PropField field) const;
  bool AllowsParent(std::string_view parentClass) const;
};

// The registry in registration order.
const std::vector<ClassInfo>& ClassTable();
// The entry of a class.
inline const ClassInfo& ClassEntry(ClassId id) { return ClassTable()[static_cast<size_t>(id)]; }
// Exact-name lookup (the game file's rule); nullptr when no class has that name.
const ClassInfo* FindClass(std::string_view className);

}  // namespace qx

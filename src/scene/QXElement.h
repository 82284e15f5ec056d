// TQXElement: a node of the scene tree. Identity, position, visibility, layer, mouse flags,
// event scripts with their captured variables, and the virtual operations through which the
// shell drives every kind (process, draw, hit-test, mouse and life-cycle events) and through
// which scripts, game files and saved states reach any element by property name.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Ascii.h"
#include "scene/ClassTable.h"
#include "script/ScriptValue.h"
#include "script/VarList.h"

namespace qx {

class TGfxCanvas;
class TQXDB;
struct ElementRecord;
struct GameFileReport;
struct TQXIm;

// A property value by type kind: ordinals in `i`, doubles in `d`, strings in `s`.
struct PropValue {
  int64_t i = 0;
  double d = 0;
  std::string s;
};

// An event script: the source as set, and the prepared program that runs.
struct EventScript {
  std::string source;
  std::string prepared;
};

class TQXElement {
 public:
  // With a parent: joins the parent's children (last), visible and mouse-visible, sharing
  // its root. Without one: the element is a root, invisible.
  explicit TQXElement(TQXElement* parent);
  virtual ~TQXElement();
  TQXElement(const TQXElement&) = delete;
  TQXElement& operator=(const TQXElement&) = delete;

  // The registry entry of the element's exact class.
  virtual const ClassInfo& Class() const = 0;
  const std::string& ClassName() const { return Class().name; }
  // Whether the element's class is exactly `id`, not one derived from it: for the rules that
  // ask for the exact class. Where a rule takes the class or one derived from it, the type
  // system answers (dynamic_cast).
  bool IsExactly(ClassId id) const { return Class().id == id; }

  // --- the virtual operations, in slot order ---------------------------------------------
  virtual void SetVis(bool v);
  virtual void SetX(int32_t v);
  virtual void SetY(int32_t v);
  virtual void SetSizeX(int32_t v);
  virtual void SetSizeY(int32_t v);
  virtual int32_t GetSizeX();
  virtual int32_t GetSizeY();
  virtual int32_t GetAbsX();
  virtual int32_t GetAbsY();
  virtual TQXElement* HitTest(int32_t layer, int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold);
  virtual void SetRealPos(int32_t x, int32_t y);
  // Reads the element and its subtree from a game-file blob, counting into `report` when
  // given. False when the blob was damaged (what came before the damage is kept).
  virtual bool LoadFromData(std::string_view data, GameFileReport* report = nullptr);
  // Takes the element's values and children from a parsed record: the step LoadFromData
  // ends with, and how a parent's read hands each child its part of the file.
  virtual void LoadFromRecord(const ElementRecord& record);
  virtual void Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag);
  virtual void DoProcess();
  virtual void DoShow();
  virtual void DoMouseIn();
  virtual void DoMouseOut();
  virtual void DoMouseDown();
  virtual void DoMouseUp();
  virtual void DoMouseMove();
  virtual void DoUpdate();
  virtual void DoInit();
  virtual void DoInitPr();
  virtual void DoAfterLoad();
  virtual void LoadResources();
  virtual void ReloadResources();
  virtual bool GetPropValue(const std::string& name, ScriptValue& value);
  virtual bool SetPropValue(const std::string& name, const ScriptValue& value);
  // Whether SetPropValue may take `name` for some value: a variable of the element, a
  // published property, or a special name that some class writes (the special names'
  // table lists every name an override of SetPropValue takes).
  bool TakesPropertyName(const std::string& name) const;

  // --- published properties by index (the class registry's order) -------------------------
  PropValue GetProp(int index);
  void SetProp(int index, const PropValue& value);
  // By field; false when the element's class does not publish it.
  bool GetField(PropField field, PropValue& value);
  bool SetField(PropField field, const PropValue& value);

  // --- tree ----------------------------------------------------------------------------
  TQXDB* Root() const { return root_; }
  TQXElement* Parent() const { return parent_; }
  const std::vector<TQXElement*>& Children() const { return children_; }
  int ChildCount() const { return static_cast<int>(children_.size()); }
  // The 32-bit handle scripts hold for this element (never 0).
  uint32_t Handle() const { return handle_; }

  // Depth-first pre-order search of the subtree (this element first). When `next` is given
  // it receives the element that follows the found one in pre-order outside its subtree,
  // within this subtree (nullptr when none).
  TQXElement* FindByKey(int32_t key, TQXElement** next = nullptr);
  // A child of the named class, made by the root's factory; nullptr when the registry
  // refuses it under this element's class (or there is no root).
  TQXElement* CreateChild(std::string_view className);
  // Clears ResourcesLoaded on the whole subtree.
  void ResetResources();
  // Frees every child.
  void ClearChildren();
  // Moves this element to the end of its parent's children (drawn above its siblings,
  // hit before them). False without a parent.
  bool BringToFront();

  // Runs a prepared script on the pool interpreter of the next nesting level.
  void RunEventScript(const std::string& prepared, TVarList* capture);
  // Sets the event name, then runs the slot's script.
  void RunEvent(const char* eventName, ScriptSlot slot, TVarList* capture = nullptr);

  // "Id <ClassName>", the error log's description of an element.
  std::string Describe() const;

  // --- the root's services, as the kinds use them -----------------------------------------
  // The canvas to draw with; null without a root or a canvas.
  TGfxCanvas* Canvas() const;
  // A picture's media-cache entry (GetImage); null without a media cache. `reportMissing`
  // false: a picture that may well be absent, not worth a --verbose line.
  TQXIm* RequestImage(std::string_view name, bool force, bool reportMissing = true) const;

  // --- fields (the element model's state) ---------------------------------------------
  bool ResourcesLoaded = false;
  bool MousedNotVis = false;
  bool MousedVis = false;
  bool NoMsQXDB = false;
  bool MsKeep = false;
  bool NotSave = false;
  bool AutoInit = true;
  bool LoadMark = false;
  std::unique_ptr<TVarList> Variables;
  std::string Id;
  std::string Tag;
  int32_t Key = 0;
  double rX = 0, rY = 0;
  bool Vis = false;

  // The two mouse rules. TakesMouse: the element itself may be hit (visible with MousedVis
  // set, or hidden with MousedNotVis set). TakesPart: it is processed, and passes hit tests
  // on to what it holds (visible, or hidden with MousedNotVis set).
  bool TakesMouse() const { return Vis ? MousedVis : MousedNotVis; }
  bool TakesPart() const { return Vis || MousedNotVis; }

  int32_t Order() const { return order_; }
  void SetOrder(int32_t v);
  // X and Y: the real position rounded to the nearest integer, ties to even, kept inside the
  // 32-bit range.
  int32_t X() const;
  int32_t Y() const;

  const EventScript& Script(ScriptSlot slot) const;
  // Stores the source and prepares it (text references translated first).
  void SetScript(ScriptSlot slot, const std::string& source);

 protected:
  // Kinds read and write their own published fields here; the base handles the shared
  // ones (identity, position, flags, layer, scripts). Answer false for unknown fields.
  virtual bool ReadField(PropField field, PropValue& value);
  virtual bool WriteField(PropField field, const PropValue& value);

  // The root's constructor makes itself its own root and takes its handle.
  void BecomeRoot(TQXDB* root);

 private:
  bool GetSpecialValue(const std::string& name, ScriptValue& value);
  // Re-assigns the class's picture and font properties (their setters request the media).
  void ReassignResources();

  TQXDB* root_ = nullptr;
  TQXElement* parent_ = nullptr;
  std::vector<TQXElement*> children_;  // owned
  uint32_t handle_ = 0;
  int32_t order_ = 0;
  std::array<std::unique_ptr<EventScript>, static_cast<size_t>(ScriptSlot::kCount)> scripts_;
};

}  // namespace qx

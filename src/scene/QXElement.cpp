#include "scene/QXElement.h"

#include <algorithm>

#include "base/IntText.h"
#include "base/Rounding.h"
#include "base/Log.h"
#include "base/WrapInt.h"
#include "runtime/MediaCache.h"
#include "runtime/RuntimeState.h"
#include "runtime/Trace.h"
#include "scene/ElementFactory.h"
#include "scene/EventScripts.h"
#include "scene/QXDB.h"
#include "scene/SpecialNames.h"

namespace qx {

// --- construction and the tree ----------------------------------------------------------

TQXElement::TQXElement(TQXElement* parent) {
  if (!parent) return;  // the root: TQXDB's constructor makes it its own root
  root_ = parent->root_;
  parent_ = parent;
  parent->children_.push_back(this);
  if (root_) handle_ = root_->RegisterHandle(this);
  TQXElement::SetVis(true);
  MousedVis = true;
}

void TQXElement::BecomeRoot(TQXDB* root) {
  root_ = root;
  handle_ = root->RegisterHandle(this);
}

TQXElement::~TQXElement() {
  ClearChildren();
  if (parent_) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  if (root_ && static_cast<TQXElement*>(root_) != this) root_->ReleaseHandle(handle_);
  // The shell's references must not outlive the element.
  RuntimeState& rt = Runtime();
  if (rt.CurrentScreen == this) rt.CurrentScreen = nullptr;
  if (rt.PendingScreen == this) rt.PendingScreen = nullptr;
  if (rt.CursorElement == this) rt.CursorElement = nullptr;
  if (rt.MousedElement == this) rt.MousedElement = nullptr;
  if (Scripts().CurrentElement == this) Scripts().CurrentElement = nullptr;
}

void TQXElement::ClearChildren() {
  std::vector<TQXElement*> children = std::move(children_);
  children_.clear();
  for (TQXElement* child : children) {
    child->parent_ = nullptr;
    delete child;
  }
}

bool TQXElement::BringToFront() {
  if (!parent_) return false;
  auto& siblings = parent_->children_;
  auto it = std::find(siblings.begin(), siblings.end(), this);
  if (it == siblings.end()) return false;
  std::rotate(it, it + 1, siblings.end());
  return true;
}

TQXElement* TQXElement::CreateChild(std::string_view className) {
  const ClassInfo* info = FindClass(className);
  if (!info || !info->AllowsParent(ClassName()) || info->id == ClassId::DB || !root_) return nullptr;
  // The constructor links the child into this element's children, which own it.
  return root_->Kinds().Create(*info, *this);
}

namespace {
TQXElement* FindIn(TQXElement* e, int32_t key, TQXElement** next) {
  if (e->Key == key) return e;
  const auto& kids = e->Children();
  for (size_t i = 0; i < kids.size(); ++i) {
    if (TQXElement* found = FindIn(kids[i], key, next)) {
      // The first level on the way back up that has a following sibling supplies "next".
      if (next && !*next && i + 1 < kids.size()) *next = kids[i + 1];
      return found;
    }
  }
  return nullptr;
}
}  // namespace

TQXElement* TQXElement::FindByKey(int32_t key, TQXElement** next) {
  // Only an empty slot is filled.
  TQXElement** slot = (next && !*next) ? next : nullptr;
  return FindIn(this, key, slot);
}

void TQXElement::ResetResources() {
  ResourcesLoaded = false;
  for (TQXElement* child : children_) child->ResetResources();
}

std::string TQXElement::Describe() const { return Id + " <" + ClassName() + ">"; }

TGfxCanvas* TQXElement::Canvas() const { return root_ ? root_->Services().canvas : nullptr; }

TQXIm* TQXElement::RequestImage(std::string_view name, bool force, bool reportMissing) const {
  MediaCache* media = root_ ? root_->Services().media : nullptr;
  return media ? media->GetImage(name, force, reportMissing) : nullptr;
}

// --- position, layer, scripts ---------------------------------------------------------

int32_t TQXElement::X() const { return RoundToInt32(rX); }
int32_t TQXElement::Y() const { return RoundToInt32(rY); }

void TQXElement::SetOrder(int32_t v) {
  order_ = v;
  if (root_) root_->WidenLayers(v);
}

const EventScript& TQXElement::Script(ScriptSlot slot) const {
  static const EventScript kEmpty;
  const auto& s = scripts_[static_cast<size_t>(slot)];
  return s ? *s : kEmpty;
}

void TQXElement::SetScript(ScriptSlot slot, const std::string& source) {
  auto& s = scripts_[static_cast<size_t>(slot)];
  if (source.empty() && !s) return;
  if (!s) s = std::make_unique<EventScript>();
  s->source = source;
  const std::string text = root_ ? root_->SubstituteTexts(source) : source;
  s->prepared = PrepareScript(text);
}

// --- the virtual operations -----------------------------------------------------------

void TQXElement::SetVis(bool v) { Vis = v; }
void TQXElement::SetX(int32_t v) { rX = v; }
void TQXElement::SetY(int32_t v) { rY = v; }
void TQXElement::SetSizeX(int32_t) {}
void TQXElement::SetSizeY(int32_t) {}
int32_t TQXElement::GetSizeX() { return 0; }
int32_t TQXElement::GetSizeY() { return 0; }
int32_t TQXElement::GetAbsX() { return WrapAdd(X(), parent_ ? parent_->GetAbsX() : 0); }
int32_t TQXElement::GetAbsY() { return WrapAdd(Y(), parent_ ? parent_->GetAbsY() : 0); }

TQXElement* TQXElement::HitTest(int32_t layer, int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold) {
  if (!TakesMouse()) return nullptr;
  const int32_t cx = WrapSub(x, X()), cy = WrapSub(y, Y());
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    if (TQXElement* hit = (*it)->HitTest(layer, cx, cy, margin, alphaThreshold)) return hit;
  }
  return nullptr;
}

void TQXElement::SetRealPos(int32_t x, int32_t y) {
  rX = x;
  rY = y;
}

void TQXElement::Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool) {
  if (!ResourcesLoaded) LoadResources();
  for (TQXElement* child : children_) {
    if (child->Vis) child->Render(layer, color, offsetX + rX, offsetY + rY, false);
  }
}

void TQXElement::DoProcess() {
  if (!TakesPart()) return;
  RunEvent("Process", ScriptSlot::Process);
  for (TQXElement* child : children_) child->DoProcess();
}

void TQXElement::DoShow() {
  RunEvent("Show", ScriptSlot::Show);
  for (TQXElement* child : children_) child->DoShow();
}

void TQXElement::DoMouseIn() { RunEvent("ms_In", ScriptSlot::MouseIn); }
void TQXElement::DoMouseOut() { RunEvent("ms_Out", ScriptSlot::MouseOut); }
void TQXElement::DoMouseDown() { RunEvent("ms_Down", ScriptSlot::MouseDown); }
void TQXElement::DoMouseUp() { RunEvent("ms_Up", ScriptSlot::MouseUp); }
void TQXElement::DoMouseMove() { RunEvent("ms_Move", ScriptSlot::MouseMove); }
void TQXElement::DoUpdate() { RunEvent("Update", ScriptSlot::Update); }

void TQXElement::DoInit() {
  Variables = std::make_unique<TVarList>();
  RunEvent("Init", ScriptSlot::Init, Variables.get());
  for (TQXElement* child : children_) child->DoInit();
}

void TQXElement::DoInitPr() {
  Variables = std::make_unique<TVarList>();
  RunEvent("InitPr", ScriptSlot::Init, Variables.get());
  for (TQXElement* child : children_) child->DoInit();
}

void TQXElement::DoAfterLoad() {
  RunEvent("Load", ScriptSlot::AfterLoad);
  for (TQXElement* child : children_) child->DoAfterLoad();
}

void TQXElement::ReassignResources() {
  const ClassInfo& info = Class();
  for (size_t i = 0; i < info.props.size(); ++i) {
    const std::string_view name = info.props[i].name;
    const bool picture = name.size() >= 2 && EqualsNoCaseAscii(name.substr(0, 2), "im");
    if (!picture && !EqualsNoCaseAscii(name, "Font")) continue;
    SetProp(static_cast<int>(i), GetProp(static_cast<int>(i)));
  }
}

void TQXElement::LoadResources() {
  if (!ResourcesLoaded) {
    ReassignResources();
    ResourcesLoaded = true;
  }
  for (TQXElement* child : children_) child->LoadResources();
}

void TQXElement::ReloadResources() {
  if (ResourcesLoaded) ReassignResources();
  for (TQXElement* child : children_) child->ReloadResources();
}

// --- event scripts ----------------------------------------------------------------------

void TQXElement::RunEvent(const char* eventName, ScriptSlot slot, TVarList* capture) {
  Scripts().CurrentEventName = eventName;
  RunEventScript(Script(slot).prepared, capture);
}

void TQXElement::RunEventScript(const std::string& prepared, TVarList* capture) {
  ScriptContext& sc = Scripts();
  if (sc.ScriptDepth + 1 > kInterpreterPoolSize) {
    // A tenth nested level has no interpreter left: refuse it and say where it happened.
    const std::string message = "Very recursion (in " + Id + " <" + ClassName() + " #" + std::to_string(Key) +
                                "> " + sc.CurrentEventName;
    Host().AppendErrorLog(message);
    LogDetail("script", message);
    return;
  }
  // Depth and current element come back even if a handler throws.
  struct DepthGuard {
    ScriptContext& sc;
    TQXElement* savedElement;
    ~DepthGuard() {
      sc.CurrentElement = savedElement;
      --sc.ScriptDepth;
    }
  } guard{sc, sc.CurrentElement};
  ++sc.ScriptDepth;
  EventInterpreter* interpreter = CurrentInterpreter();
  if (interpreter) interpreter->ClearVars();
  if (prepared.empty()) return;
  if (Trace* trace = root_ ? root_->Services().trace : nullptr) {
    trace->Line(Runtime().Tick, sc.CurrentEventName, Id, ClassName(), Key);
  }
  if (!interpreter) return;
  sc.CurrentElement = this;
  interpreter->Run(prepared);
  sc.CurrentElement = guard.savedElement;
  if (capture) {
    const TVarList& vars = interpreter->Vars();
    for (int i = 0; i < vars.Count(); ++i) capture->Add(vars[i]);
  }
}

// --- published properties ---------------------------------------------------------------

PropValue TQXElement::GetProp(int index) {
  PropValue v;
  const auto& props = Class().props;
  if (index >= 0 && index < static_cast<int>(props.size())) ReadField(props[index].field, v);
  return v;
}

void TQXElement::SetProp(int index, const PropValue& value) {
  const auto& props = Class().props;
  if (index >= 0 && index < static_cast<int>(props.size())) WriteField(props[index].field, value);
}

bool TQXElement::GetField(PropField field, PropValue& value) {
  const int index = Class().FindField(field);
  if (index < 0) return false;
  value = GetProp(index);
  return true;
}

bool TQXElement::SetField(PropField field, const PropValue& value) {
  const int index = Class().FindField(field);
  if (index < 0) return false;
  SetProp(index, value);
  return true;
}

bool TQXElement::ReadField(PropField field, PropValue& v) {
  const ScriptSlot slot = ScriptSlotOf(field);
  if (slot != ScriptSlot::kCount) {
    v.s = Script(slot).source;
    return true;
  }
  switch (field) {
    case PropField::Key: v.i = Key; return true;
    case PropField::Id: v.s = Id; return true;
    case PropField::X: v.i = X(); return true;
    case PropField::Y: v.i = Y(); return true;
    case PropField::Vis: v.i = Vis; return true;
    case PropField::Order: v.i = order_; return true;
    case PropField::Tag: v.s = Tag; return true;
    case PropField::NotSave: v.i = NotSave; return true;
    case PropField::MousedVis: v.i = MousedVis; return true;
    case PropField::MousedNotVis: v.i = MousedNotVis; return true;
    case PropField::MsKeep: v.i = MsKeep; return true;
    case PropField::NoMsQXDB: v.i = NoMsQXDB; return true;
    case PropField::AutoInit: v.i = AutoInit; return true;
    case PropField::rX: v.d = rX; return true;
    case PropField::rY: v.d = rY; return true;
    case PropField::SizeX: v.i = GetSizeX(); return true;
    case PropField::SizeY: v.i = GetSizeY(); return true;
    default: return false;
  }
}

bool TQXElement::WriteField(PropField field, const PropValue& v) {
  const ScriptSlot slot = ScriptSlotOf(field);
  if (slot != ScriptSlot::kCount) {
    SetScript(slot, v.s);
    return true;
  }
  const auto i = static_cast<int32_t>(v.i);
  switch (field) {
    case PropField::Key: Key = i; return true;
    case PropField::Id: Id = v.s; return true;
    case PropField::X: SetX(i); return true;
    case PropField::Y: SetY(i); return true;
    case PropField::Vis: SetVis(v.i != 0); return true;
    case PropField::Order: SetOrder(i); return true;
    case PropField::Tag: Tag = v.s; return true;
    case PropField::NotSave: NotSave = v.i != 0; return true;
    case PropField::MousedVis: MousedVis = v.i != 0; return true;
    case PropField::MousedNotVis: MousedNotVis = v.i != 0; return true;
    case PropField::MsKeep: MsKeep = v.i != 0; return true;
    case PropField::NoMsQXDB: NoMsQXDB = v.i != 0; return true;
    case PropField::AutoInit: AutoInit = v.i != 0; return true;
    case PropField::rX: rX = v.d; return true;
    case PropField::rY: rY = v.d; return true;
    case PropField::SizeX: SetSizeX(i); return true;
    case PropField::SizeY: SetSizeY(i); return true;
    default: return false;
  }
}

// --- property access by name --------------------------------------------------------------

namespace {

ScriptValue ElementValue(const TQXElement* e) { return ScriptValue::Element(e ? e->Handle() : 0); }

}  // namespace

bool TQXElement::GetPropValue(const std::string& name, ScriptValue& value) {
  if (Variables) {
    const int i = Variables->Find(name);
    if (i >= 0) {
      value = std::as_const(*Variables)[i].Value;  // a read: the names keep their stamp
      return true;
    }
  }
  if (const int index = Class().FindProp(name); index >= 0) {
    const PropType type = Class().props[index].type;
    const PropValue v = GetProp(index);
    if (IsOrdinal(type)) value = ScriptValue::Int(static_cast<int32_t>(v.i));
    else if (type == PropType::Double) value = ScriptValue::Float(v.d);
    else value = ScriptValue::Str(v.s);
    return true;
  }
  for (TQXElement* child : children_) {
    if (UpperAscii(child->Id) == name) {
      value = ElementValue(child);
      return true;
    }
  }
  return GetSpecialValue(name, value);
}

bool TQXElement::GetSpecialValue(const std::string& name, ScriptValue& value) {
  RuntimeState& rt = Runtime();
  if (name == "SELF") {
    value = ElementValue(this);
  } else if (name == "CLASS") {
    value = ScriptValue::Str(UpperAscii(ClassName()));
  } else if (name == "PARENT") {
    if (!parent_) return false;
    value = ElementValue(parent_);
  } else if (name == "CHILDCOUNT") {
    value = ScriptValue::Int(ChildCount());
  } else if (name == "PARPOS") {
    if (!parent_) return false;
    const auto& siblings = parent_->children_;
    const auto it = std::find(siblings.begin(), siblings.end(), this);
    value = ScriptValue::Int(static_cast<int32_t>(it - siblings.begin()) + 1);
  } else if (name.rfind("CHILD", 0) == 0) {
    // CHILD[n] or CHILDn, 1-based.
    std::string_view number = std::string_view(name).substr(5);
    if (name.rfind("CHILD[", 0) == 0) number = std::string_view(name).substr(6, name.size() >= 7 ? name.size() - 7 : 0);
    int64_t n = 0;
    if (!ParseSignedWholeInt(number, n) || n < 1 || n > ChildCount()) return false;
    value = ElementValue(children_[static_cast<size_t>(n - 1)]);
  } else if (name == "QXDB") {
    value = ElementValue(root_);
  } else if (name == "CURRENTSCREEN") {
    value = ElementValue(rt.CurrentScreen);
  } else if (name == "CURSOR") {
    if (!rt.CursorElement) return false;
    value = ElementValue(rt.CursorElement);
  } else if (name == "CURSORAT") {
    if (!rt.MousedElement) return false;
    value = ElementValue(rt.MousedElement);
  } else if (name == "CURSORATNIL") {
    value = ScriptValue::Int(rt.MousedElement ? 0 : 1);
  } else if (name == "ABSX") {
    value = ScriptValue::Int(GetAbsX());
  } else if (name == "ABSY") {
    value = ScriptValue::Int(GetAbsY());
  } else if (name == "SZX") {
    value = ScriptValue::Int(GetSizeX());
  } else if (name == "SZY") {
    value = ScriptValue::Int(GetSizeY());
  } else if (name == "MOUSEIN") {
    value = ScriptValue::Bool(rt.MousedElement == this);
  } else if (name == "MSDX") {
    value = ScriptValue::Int(rt.MouseDX);
  } else if (name == "MSDY") {
    value = ScriptValue::Int(rt.MouseDY);
  } else if (name == "MSX") {
    value = ScriptValue::Int(rt.MouseX);
  } else if (name == "MSY") {
    value = ScriptValue::Int(rt.MouseY);
  } else if (name == "IMFORLOADCOUNT") {
    value = ScriptValue::Int(rt.ImForLoadCount);
  } else if (name == "IMFORLOADPOS") {
    value = ScriptValue::Int(rt.ImForLoadPos);
  } else if (name == "KEYDOWNED") {
    value = ScriptValue::Int(rt.LastKey);
  } else if (name == "MOUSEDOWN") {
    value = ScriptValue::Bool(rt.MouseIsDown);
  } else if (name == "MOUSEINDOWN") {
    value = ScriptValue::Bool(rt.MouseIsDown && rt.MousedElement == this);
  } else {
    return false;
  }
  return true;
}

bool TQXElement::TakesPropertyName(const std::string& name) const {
  if ((Variables && Variables->Find(name) >= 0) || Class().FindProp(name) >= 0) return true;
  for (const SpecialName& special : SpecialNames()) {
    if (special.access == SpecialAccess::ReadWrite && name == special.name) return true;
  }
  return false;
}

bool TQXElement::SetPropValue(const std::string& name, const ScriptValue& input) {
  ScriptValue value = input;
  // A string in double quotes is a text reference: its translation, when there is one.
  if (value.IsString() && !value.StrValue().empty() && value.StrValue().front() == '"') {
    const std::string& s = value.StrValue();
    const std::string inner = s.size() >= 2 ? s.substr(1, s.size() - 2) : std::string();
    std::string translated = root_ ? root_->TranslateText(inner) : std::string();
    if (!translated.empty()) value = ScriptValue::Str(std::move(translated));
  }
  if (Variables && Variables->SetExisting(name, value)) return true;
  if (const int index = Class().FindProp(name); index >= 0) {
    const PropType type = Class().props[index].type;
    PropValue v;
    if (IsOrdinal(type)) {
      int64_t n = 0;
      if (value.IsString()) {
        double d = 0;
        bool isInt = false;
        if (!ParseDecimal(value.StrValue(), d, isInt, n)) n = 0;  // unparsable text is 0
        else if (!isInt && !ScriptValue::Float(d).TryToInt64(n)) n = 0;
      } else if (!value.TryToInt64(n)) {
        n = 0;
      }
      v.i = static_cast<int32_t>(static_cast<uint32_t>(n));  // 32 bits, as the file stores them
      if (type == PropType::Cardinal) v.i = static_cast<uint32_t>(n);
    } else if (type == PropType::Double) {
      if (!value.TryToDouble(v.d)) v.d = 0;
    } else {
      v.s = value.ToText();
    }
    SetProp(index, v);
    return true;
  }
  if (name == "CURSOR" && value.Kind() == ValueKind::Element) {
    Runtime().CursorElement = root_ ? root_->FromHandle(value.ElementHandle()) : nullptr;
    return true;
  }
  return false;
}

}  // namespace qx

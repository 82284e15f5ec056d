#include "scene/ClassTable.h"

#include "base/Ascii.h"

namespace qx {
namespace {

constexpr FieldInfo kFields[] = {
#define QX_FIELD_INFO(name, type) {#name, PropType::type},
    QX_PROPERTY_FIELDS(QX_FIELD_INFO)
#undef QX_FIELD_INFO
};
static_assert(std::size(kFields) == static_cast<size_t>(PropField::kCount));

constexpr const char* kBooleanNames[] = {"False", "True"};
constexpr const char* kPosHorNames[] = {"phLeft", "phCenter", "phRight"};
constexpr const char* kPosVertNames[] = {"pvTop", "pvCenter", "pvBottom"};

using F = PropField;

// Every class starts with the element model's five.
#define QX_BASE F::Key, F::Id, F::X, F::Y, F::Vis

const std::vector<PropField> kDBFields = {
    QX_BASE, F::CurKey, F::InitScreen, F::exVarRS, F::exInit, F::exAfterLoad, F::exMouseDown, F::exMouseUp,
    F::exUpdate, F::exProcess, F::FileRS, F::FileFonts, F::hxTransLev, F::DefLang, F::Lang, F::LoadingScreen,
    F::NotSave, F::exLoadImProcess, F::IniFile, F::SoundFile, F::exKeyDown, F::exExit};
const std::vector<PropField> kScreenFields = {
    QX_BASE, F::ImBack, F::SizeX, F::SizeY, F::hxDrawFx, F::Agro, F::Modal, F::exInit, F::exAfterLoad,
    F::exUpdate, F::exProcess, F::Order, F::exVarRS, F::exShow, F::Tag, F::AllwaysLoad, F::NotSave,
    F::exRender, F::AutoInit};
const std::vector<PropField> kImageFields = {
    QX_BASE, F::imImage, F::hxDrawFx, F::PosHor, F::PosVert, F::Scale, F::Angle, F::hxColor, F::hxTrans,
    F::MousedNotVis, F::exVarRS, F::exInit, F::exAfterLoad, F::exMouseIn, F::exMouseOut, F::exMouseMove,
    F::exMouseDown, F::exMouseUp, F::exUpdate, F::exProcess, F::MousedVis, F::Anim, F::NoMsQXDB, F::Order,
    F::rX, F::rY, F::ScaleX, F::ScaleY, F::Interpol, F::InterpolSc, F::MsKeep, F::Tag, F::TextId, F::NotSave};
const std::vector<PropField> kExScreenFields = {
    QX_BASE, F::PosHor, F::PosVert, F::obScreen, F::exVarRS, F::exInit, F::exAfterLoad, F::exMouseIn,
    F::exMouseOut, F::exMouseMove, F::exMouseDown, F::exMouseUp, F::exUpdate, F::exProcess, F::Modal,
    F::exShow, F::Tag, F::NotSave, F::Processing};
const std::vector<PropField> kAnimFields = {
    QX_BASE, F::ImBack, F::SizeX, F::SizeY, F::hxDrawFx, F::Agro, F::Modal, F::Pos, F::Morph, F::Rep,
    F::ShowAn, F::Active, F::exStop, F::exStart, F::exAnim, F::exInit, F::exUpdate, F::Order, F::Angle,
    F::exVarRS, F::Interpol, F::Tag, F::NotSave, F::exProcess};
const std::vector<PropField> kAnKeyFields = {QX_BASE, F::Count, F::Morph, F::NotSave};
const std::vector<PropField> kExAnimFields = {
    QX_BASE, F::PosHor, F::PosVert, F::obAnim, F::Pos, F::Rep, F::Active, F::exVarRS, F::Tag, F::NotSave};
const std::vector<PropField> kEffectFields = {
    QX_BASE, F::EffectFN, F::DAnim, F::Active, F::exInit, F::exAfterLoad, F::exUpdate, F::exProcess,
    F::hxColor, F::Order, F::exVarRS, F::Tag, F::NotSave, F::exStart};
const std::vector<PropField> kImListFields = {
    QX_BASE, F::RowCount, F::ColCount, F::Space, F::ScrollPos, F::SizeX, F::SizeY, F::ElWidth, F::ElHeight,
    F::Scale, F::exInit, F::exAfterLoad, F::exUpdate, F::exProcess, F::Order, F::exVarRS, F::Tag,
    F::NotSave, F::exMouseIn, F::exMouseOut, F::exMouseDown};
const std::vector<PropField> kShapeFields = {
    QX_BASE, F::hxDrawFx, F::hxColor, F::hxTrans, F::MousedNotVis, F::exVarRS, F::exInit, F::exAfterLoad,
    F::exMouseIn, F::exMouseOut, F::exMouseMove, F::exMouseDown, F::exMouseUp, F::exUpdate, F::exProcess,
    F::MousedVis, F::NoMsQXDB, F::Order, F::rX, F::rY, F::SizeX, F::SizeY, F::Tag, F::NotSave};
const std::vector<PropField> kTextFields = {
    QX_BASE, F::hxDrawFx, F::hxColor1, F::hxTrans1, F::hxColor2, F::hxTrans2, F::MousedNotVis, F::exVarRS,
    F::exInit, F::exAfterLoad, F::exMouseIn, F::exMouseOut, F::exMouseMove, F::exMouseDown, F::exMouseUp,
    F::exUpdate, F::exProcess, F::MousedVis, F::NoMsQXDB, F::Order, F::rX, F::rY, F::SizeX, F::SizeY,
    F::Font, F::PosHor, F::PosVert, F::TextId, F::AutoEnter, F::EnEnter, F::AutoScale, F::Interval, F::Text,
    F::Scale, F::Tag, F::NotSave};
#undef QX_BASE

std::vector<PropInfo> Props(const std::vector<PropField>& fields) {
  std::vector<PropInfo> props;
  props.reserve(fields.size());
  for (PropField f : fields) {
    const FieldInfo& info = FieldInfoOf(f);
    PropInfo p{f, info.name, info.type, {}};
    if (info.type == PropType::Boolean) p.enumNames = kBooleanNames;
    if (f == PropField::PosHor) p.enumNames = kPosHorNames;
    if (f == PropField::PosVert) p.enumNames = kPosVertNames;
    props.push_back(p);
  }
  return props;
}

ClassInfo Entry(ClassId id, std::string name, const std::vector<PropField>& fields, std::vector<std::string> parents) {
  ClassInfo c;
  c.id = id;
  c.name = std::move(name);
  c.displayName = (c.name.size() >= 3 && UpperAscii(c.name.substr(0, 3)) == "TQX") ? c.name.substr(3) : c.name;
  c.props = Props(fields);
  for (size_t i = 0; i < c.props.size(); ++i) c.propIndex.emplace(UpperAscii(c.props[i].name), static_cast<int>(i));
  c.allowedParents = std::move(parents);
  return c;
}

std::vector<ClassInfo> BuildTable() {
  using C = ClassId;
  std::vector<ClassInfo> t;
  t.push_back(Entry(C::DB, "TQXDB", kDBFields, {}));
  t.push_back(Entry(C::Screen, "TQXScreen", kScreenFields, {"TQXDB"}));
  t.push_back(Entry(C::Image, "TQXImage", kImageFields, {"TQXScreen", "TQXImage", "TQXAnKey"}));
  t.push_back(Entry(C::ExScreen, "TQXExScreen", kExScreenFields, {"TQXScreen", "TQXImage"}));
  t.push_back(Entry(C::Anim, "TQXAnim", kAnimFields, {"TQXDB", "TQXScreen", "TQXImage"}));
  t.push_back(Entry(C::AnKey, "TQXAnKey", kAnKeyFields, {"TQXAnim"}));
  t.push_back(Entry(C::ExAnim, "TQXExAnim", kExAnimFields, {"TQXScreen", "TQXImage"}));
  t.push_back(Entry(C::Effect, "TQXEffect", kEffectFields, {"TQXScreen", "TQXImage"}));
  t.push_back(Entry(C::ImList, "TQXImList", kImListFields, {"TQXScreen", "TQXImage"}));
  t.push_back(Entry(C::Shape, "TQXShape", kShapeFields, {"TQXScreen", "TQXImage"}));
  t.push_back(Entry(C::Text, "TQXText", kTextFields, {"TQXScreen", "TQXImage", "TQXText"}));
  return t;
}

}  // namespace

const char* PropTypeName(PropType type) {
  switch (type) {
    case PropType::Integer: return "int";
    case PropType::Cardinal: return "uint";
    case PropType::Byte: return "byte";
    case PropType::Word: return "word";
    case PropType::Boolean: return "bool";
    case PropType::Enum: return "enum";
    case PropType::Double: return "double";
    case PropType::String: return "string";
  }
  return "int";
}

bool IsOrdinal(PropType type) { return type != PropType::Double && type != PropType::String; }

const FieldInfo& FieldInfoOf(PropField field) { return kFields[static_cast<size_t>(field)]; }

ScriptSlot ScriptSlotOf(PropField field) {
  switch (field) {
    case F::exMouseMove: return ScriptSlot::MouseMove;
    case F::exInit: return ScriptSlot::Init;
    case F::exMouseUp: return ScriptSlot::MouseUp;
    case F::exVarRS: return ScriptSlot::VarRS;
    case F::exMouseOut: return ScriptSlot::MouseOut;
    case F::exMouseIn: return ScriptSlot::MouseIn;
    case F::exAfterLoad: return ScriptSlot::AfterLoad;
    case F::exMouseDown: return ScriptSlot::MouseDown;
    case F::exUpdate: return ScriptSlot::Update;
    case F::exProcess: return ScriptSlot::Process;
    case F::exShow: return ScriptSlot::Show;
    case F::exRender: return ScriptSlot::Render;
    case F::exLoadImProcess: return ScriptSlot::LoadImProcess;
    case F::exKeyDown: return ScriptSlot::KeyDown;
    case F::exExit: return ScriptSlot::Exit;
    case F::exStop: return ScriptSlot::Stop;
    case F::exStart: return ScriptSlot::Start;
    case F::exAnim: return ScriptSlot::Anim;
    default: return ScriptSlot::kCount;
  }
}

int ClassInfo::FindProp(std::string_view propName) const {
  char upper[64];
  if (propName.size() > sizeof upper) return -1;  // longer than any property name
  for (size_t i = 0; i < propName.size(); ++i) upper[i] = UpperAscii(propName[i]);
  const auto it = propIndex.find(std::string_view(upper, propName.size()));
  return it == propIndex.end() ? -1 : it->second;
}

int ClassInfo::FindField(PropField field) const {
  for (size_t i = 0; i < props.size(); ++i) {
    if (props[i].field == field) return static_cast<int>(i);
  }
  return -1;
}

bool ClassInfo::AllowsParent(std::string_view parentClass) const {
  for (const std::string& p : allowedParents) {
    if (p == parentClass) return true;
  }
  return false;
}

const std::vector<ClassInfo>& ClassTable() {
  static const std::vector<ClassInfo> table = BuildTable();
  return table;
}

const ClassInfo* FindClass(std::string_view className) {
  for (const ClassInfo& c : ClassTable()) {
    if (c.name == className) return &c;
  }
  return nullptr;
}

}  // namespace qx

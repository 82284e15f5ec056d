#include "elements/ElementKinds.h"

#include <map>

#include "elements/QXAnKey.h"
#include "elements/QXAnim.h"
#include "elements/QXEffect.h"
#include "elements/QXExAnim.h"
#include "elements/QXExScreen.h"
#include "elements/QXImList.h"
#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "elements/QXShape.h"
#include "elements/QXText.h"
#include "scene/QXDB.h"

namespace qx {
namespace {

class Kinds final : public ElementFactory {
 public:
  TQXElement* Create(const ClassInfo& cls, TQXElement& parent) const override {
    // Each constructor links the new element into its parent's children.
    switch (cls.id) {
      case ClassId::DB: return nullptr;  // the root is made by its owner, never as a child
      case ClassId::Screen: return new TQXScreen(&parent);
      case ClassId::Image: return new TQXImage(&parent);
      case ClassId::ExScreen: return new TQXExScreen(&parent);
      case ClassId::Anim: return new TQXAnim(&parent);
      case ClassId::AnKey: return new TQXAnKey(&parent);
      case ClassId::ExAnim: return new TQXExAnim(&parent);
      case ClassId::Effect: return new TQXEffect(&parent);
      case ClassId::ImList: return new TQXImList(&parent);
      case ClassId::Shape: return new TQXShape(&parent);
      case ClassId::Text: return new TQXText(&parent);
    }
    return nullptr;
  }
};

}  // namespace

const ElementFactory& ElementKinds() {
  static const Kinds kinds;
  return kinds;
}

const std::vector<PropValue>& DefaultValues(const ClassInfo& cls) {
  static std::map<const ClassInfo*, std::vector<PropValue>> cache;
  auto it = cache.find(&cls);
  if (it != cache.end()) return it->second;
  // A fresh element under a chain of allowed parents up to a root of its own.
  TQXDB root(ElementKinds());
  TQXElement* element = &root;
  if (cls.id != ClassId::DB) {
    std::vector<const ClassInfo*> chain{&cls};
    while (chain.back()->allowedParents.front() != "TQXDB") {
      chain.push_back(FindClass(chain.back()->allowedParents.front()));
    }
    for (auto c = chain.rbegin(); c != chain.rend(); ++c) element = element->CreateChild((*c)->name);
  }
  std::vector<PropValue> values;
  for (int i = 0; i < static_cast<int>(cls.props.size()); ++i) values.push_back(element->GetProp(i));
  return cache.emplace(&cls, std::move(values)).first->second;
}

ElementRecord DefaultRecord(const ClassInfo& cls) {
  ElementRecord rec;
  rec.cls = &cls;
  rec.values = DefaultValues(cls);
  return rec;
}

}  // namespace qx

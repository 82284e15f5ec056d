#include "render/GfxPublisher.h"

#include <algorithm>

namespace qx {

TGfxSubscriber::~TGfxSubscriber() { SetPublisher(nullptr); }

void TGfxSubscriber::SetPublisher(TGfxPublisher* publisher) {
  if (publisher == publisher_) return;
  if (publisher_) {
    auto& list = publisher_->subscribers_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  publisher_ = publisher;
  if (publisher_) publisher_->subscribers_.push_back(this);
}

TGfxPublisher::~TGfxPublisher() {
  for (TGfxSubscriber* s : subscribers_) s->publisher_ = nullptr;
}

bool TGfxPublisher::NotifySubscribers(int code) {
  // By index: a subscriber may detach itself while it is being told.
  for (size_t i = 0; i < subscribers_.size(); ++i) {
    TGfxSubscriber* s = subscribers_[i];
    if (!s->Notify(this, code)) return false;
    if (i < subscribers_.size() && subscribers_[i] != s) --i;
  }
  return true;
}

}  // namespace qx

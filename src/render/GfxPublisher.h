// Publisher and subscribers: the device tells the canvas, images and fonts about each
// step of its life cycle, in subscription order.
#pragma once

#include <vector>

namespace qx {

// Notification codes, in the order a device's life runs through them.
enum GfxNotification : int {
  kGfxInitialized = 256,
  kGfxFinalizing = 257,
  kGfxLost = 258,
  kGfxReset = 259,
  kGfxBeginScene = 260,
  kGfxEndScene = 261,
};

class TGfxPublisher;

class TGfxSubscriber {
 public:
  TGfxSubscriber() = default;
  TGfxSubscriber(const TGfxSubscriber&) = delete;
  TGfxSubscriber& operator=(const TGfxSubscriber&) = delete;
  virtual ~TGfxSubscriber();

  // Attaching to a publisher appends this subscriber to its list; nullptr detaches.
  void SetPublisher(TGfxPublisher* publisher);
  TGfxPublisher* Publisher() const { return publisher_; }

 protected:
  friend class TGfxPublisher;
  // Answers false to stop the notification from reaching later subscribers.
  virtual bool Notify(TGfxPublisher* sender, int code) = 0;

 private:
  TGfxPublisher* publisher_ = nullptr;
};

class TGfxPublisher {
 public:
  TGfxPublisher() = default;
  TGfxPublisher(const TGfxPublisher&) = delete;
  TGfxPublisher& operator=(const TGfxPublisher&) = delete;
  virtual ~TGfxPublisher();

  // Tells every subscriber in list order; stops at, and answers false for, the first refusal.
  bool NotifySubscribers(int code);
  int SubscriberCount() const { return static_cast<int>(subscribers_.size()); }

 private:
  friend class TGfxSubscriber;
  std::vector<TGfxSubscriber*> subscribers_;
};

}  // namespace qx

// Speed buttons and bitmap buttons: buttons whose picture an action names by its
// image index. Their action links keep that index with the action's while the button
// still shows the action's picture.
#pragma once

#include <memory>
#include <string>

#include "platform/classlib/controls.h"
#include "platform/classlib/std_ctrls.h"

// A button drawn on its parent's window: a raised face with its caption centred.
// Ownership: its owner component.
class TSpeedButton : public TGraphicControl {
 public:
  explicit TSpeedButton(TComponent* owner);
  std::string ClassName() const override { return "TSpeedButton"; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);

 protected:
  void Paint() override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  std::unique_ptr<TControlActionLink> CreateActionLink() override;

 private:
  int imageIndex_ = -1;
};

// A push button with the picture an action names. Ownership: its owner component.
class TBitBtn : public TButton {
 public:
  using TButton::TButton;
  std::string ClassName() const override { return "TBitBtn"; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);

 protected:
  void ActionChange(TObject* sender, bool checkDefaults) override;
  std::unique_ptr<TControlActionLink> CreateActionLink() override;

 private:
  int imageIndex_ = -1;
};

// A link whose client's image index follows the action's while the two are equal.
template <typename Base, typename TClient>
class TImageIndexActionLink : public Base {
 public:
  using Base::Base;
  bool IsImageIndexLinked() const override {
    return Base::IsImageIndexLinked() && Button()->ImageIndex() == this->CustomAction()->ImageIndex();
  }
  void SetImageIndex(int value) override {
    if (IsImageIndexLinked()) Button()->SetImageIndex(value);
  }

 private:
  TClient* Button() const { return static_cast<TClient*>(this->Client()); }
};

class TSpeedButtonActionLink : public TImageIndexActionLink<TControlActionLink, TSpeedButton> {
 public:
  using TImageIndexActionLink::TImageIndexActionLink;
};

class TBitBtnActionLink : public TImageIndexActionLink<TButtonActionLink, TBitBtn> {
 public:
  using TImageIndexActionLink::TImageIndexActionLink;
};

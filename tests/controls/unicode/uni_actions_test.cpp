#include "controls/unicode/uni_actions.h"

#include <gtest/gtest.h>

#include "controls/unicode/uni_controls.h"
#include "platform/classlib/forms.h"

namespace {

// A wide windowed control as the layer's controls route their actions.
class TUniButtonLike : public TWinControl {
 public:
  using TWinControl::TWinControl;
  std::string ClassName() const override { return "TUniButtonLike"; }

 protected:
  void CreateWindowHandle(const TCreateParams& params) override { CreateUnicodeHandle(this, params, u""); }
  std::unique_ptr<TControlActionLink> CreateActionLink() override { return UniControlGetActionLinkClass(this); }
  void ActionChange(TObject* sender, bool checkDefaults) override {
    UniControlActionChange(this, dynamic_cast<TBasicAction*>(sender), checkDefaults);
    TWinControl::ActionChange(sender, checkDefaults);
  }
};

class UniActionsTest : public testing::Test {
 protected:
  void SetUp() override {
    app_ = new TApplication(nullptr);
    form_ = app_->CreateForm<TForm>();
  }
  void TearDown() override { delete app_; }
  TUniButtonLike* MakeButton() {
    auto* button = new TUniButtonLike(form_);
    button->SetParent(form_);
    return button;
  }
  TApplication* app_ = nullptr;
  TForm* form_ = nullptr;
};

const std::u16string kGreek = u"\u0391\u03b2\u03b3";
const std::u16string kHebrew = u"\u05d0\u05d1";

TEST_F(UniActionsTest, WideCaptionReachesTheLinkedButtonAndFollowsChanges) {
  auto* action = new TUniAction(form_);
  action->SetWideCaption(kGreek);
  action->SetWideHint(u"Hint \u0416");
  EXPECT_EQ(action->Caption(), "???");
  auto* button = MakeButton();
  button->HandleNeeded();
  button->SetAction(action);
  EXPECT_EQ(GetWideControlText(button), kGreek);
  EXPECT_EQ(GetWideControlHint(button), u"Hint \u0416");
  action->SetWideCaption(kHebrew);
  EXPECT_EQ(GetWideControlText(button), kHebrew);
  action->SetWideCaption(u"Plain");
  EXPECT_EQ(GetWideControlText(button), u"Plain");
  EXPECT_EQ(button->Caption(), "Plain");
  // A button given its own text leaves the link.
  SetWideControlText(button, u"Mine \u0416");
  action->SetWideCaption(kGreek);
  EXPECT_EQ(GetWideControlText(button), u"Mine \u0416");
}

TEST_F(UniActionsTest, CaptionEqualToTheNameTakesTheActionsCaptionWhenFillingDefaults) {
  auto* action = new TUniAction(form_);
  action->SetWideCaption(kGreek);
  auto* named = MakeButton();
  named->SetName("Button1");
  named->SetCaption("Button1");
  auto* captioned = MakeButton();
  captioned->SetCaption("Keep");
  action->BeginLoading();
  named->SetAction(action);
  captioned->SetAction(action);
  action->EndLoading();
  EXPECT_EQ(GetWideControlText(named), kGreek);
  EXPECT_EQ(GetWideControlText(captioned), u"Keep");
}

TEST_F(UniActionsTest, PlainActionsGiveWidenedTextsAndWideOnesKeepTheirOwn) {
  TAction plain(nullptr);
  UniActionSetCaption(&plain, kGreek);
  EXPECT_EQ(plain.Caption(), "???");
  EXPECT_EQ(UniActionGetCaption(&plain), u"???");
  TUniAction wide(nullptr);
  wide.SetWideCaption(kGreek);
  // The class library changing the 8-bit caption wins over the stale wide copy.
  wide.SetCaption("Eight");
  EXPECT_EQ(wide.WideCaption(), u"Eight");
  EXPECT_EQ(UniActionGetNewCaption(&wide, u"default"), u"default");
}

TEST_F(UniActionsTest, AssignCarriesTheWideTexts) {
  TUniAction source(nullptr), target(nullptr);
  source.SetWideCaption(kGreek);
  source.SetWideHint(kHebrew);
  target.Assign(&source);
  EXPECT_EQ(target.WideCaption(), kGreek);
  EXPECT_EQ(target.WideHint(), kHebrew);
  auto* button = MakeButton();
  SetWideControlText(button, kHebrew);
  target.Assign(button);
  EXPECT_EQ(target.WideCaption(), kHebrew);
}

}  // namespace

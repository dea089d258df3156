#include "controls/unicode/uni_actions.h"

#include <gtest/gtest.h>

#include <functional>
#include <typeinfo>

#include "controls/unicode/uni_com_ctrls.h"
#include "controls/unicode/uni_controls.h"
#include "controls/unicode/uni_menus.h"
#include "controls/unicode/uni_std_ctrls.h"
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

namespace {

// One wide control kind: how to make it and the link it must get.
struct LinkKind {
  const char* name;
  std::function<TControl*(TForm*)> make;
  const std::type_info& link;
};

template <typename Control>
std::function<TControl*(TForm*)> Maker(TWinControl* (*parentOf)(TForm*) = nullptr) {
  return [parentOf](TForm* form) {
    auto* control = new Control(form);
    control->SetParent(parentOf != nullptr ? parentOf(form) : form);
    return static_cast<TControl*>(control);
  };
}

TWinControl* NewToolBar(TForm* form) {
  auto* bar = new TUniToolBar(form);
  bar->SetParent(form);
  return bar;
}

}  // namespace

// Each wide kind gets its own wide link (list view first, plain control last), and
// through it follows the action's wide caption and hint until it is given its own.
TEST_F(UniActionsTest, EachKindGetsItsWideLinkAndFollowsWideTexts) {
  const LinkKind kinds[] = {
      {"list view", Maker<TUniListView>(), typeid(TUniListViewActionLink)},
      {"speed button", Maker<TUniWideControl<TSpeedButton>>(), typeid(TUniSpeedButtonActionLink)},
      {"bitmap button", Maker<TUniWideControl<TBitBtn>>(), typeid(TUniBitBtnActionLink)},
      {"tool button", Maker<TUniToolButton>(NewToolBar), typeid(TUniToolButtonActionLink)},
      {"push button", Maker<TUniButton>(), typeid(TUniButtonActionLink)},
      {"check box", Maker<TUniCheckBox>(), typeid(TUniButtonActionLink)},
      {"edit", Maker<TUniEdit>(), typeid(TUniWinControlActionLink)},
      {"label", Maker<TUniLabel>(), typeid(TUniControlActionLink)},
  };
  for (const LinkKind& kind : kinds) {
    auto* action = new TUniAction(form_);
    action->SetWideCaption(kGreek);
    action->SetWideHint(kHebrew);
    TControl* control = kind.make(form_);
    control->SetAction(action);
    ASSERT_NE(control->ActionLink(), nullptr) << kind.name;
    const TControlActionLink& link = *control->ActionLink();
    EXPECT_EQ(typeid(link), kind.link) << kind.name;
    EXPECT_EQ(GetWideControlText(control), kGreek) << kind.name;
    EXPECT_EQ(GetWideControlHint(control), kHebrew) << kind.name;
    EXPECT_TRUE(control->ActionLink()->IsCaptionLinked()) << kind.name;

    action->SetWideCaption(kHebrew);
    action->SetWideHint(kGreek);
    EXPECT_EQ(GetWideControlText(control), kHebrew) << kind.name;
    EXPECT_EQ(GetWideControlHint(control), kGreek) << kind.name;

    // Own texts with the 8-bit forms of the action's ("??", "???") still leave the link.
    SetWideControlText(control, u"\u0416\u0416");
    SetWideControlHint(control, u"\u0416\u0416\u0416");
    EXPECT_FALSE(control->ActionLink()->IsCaptionLinked()) << kind.name;
    EXPECT_FALSE(control->ActionLink()->IsHintLinked()) << kind.name;
    action->SetWideCaption(u"Other");
    action->SetWideHint(u"Other");
    EXPECT_EQ(GetWideControlText(control), u"\u0416\u0416") << kind.name;
    EXPECT_EQ(GetWideControlHint(control), u"\u0416\u0416\u0416") << kind.name;
    delete control;
    delete action;
  }
}

// The class library's speed and bitmap buttons keep their image index with the
// action's while the two are equal; the wide ones keep the picture they have: linked
// whenever the action is a custom action, never set by it.
TEST_F(UniActionsTest, SpeedAndBitmapButtonsKeepTheirImageWhenWide) {
  struct Case {
    const char* name;
    std::function<TControl*(TForm*)> make;
    int imageAfterActionChange;
    bool linkedAfterOwnImage;
  };
  const Case cases[] = {
      {"speed button", Maker<TSpeedButton>(), 2, false},
      {"bitmap button", Maker<TBitBtn>(), 2, false},
      {"wide speed button", Maker<TUniWideControl<TSpeedButton>>(), 1, true},
      {"wide bitmap button", Maker<TUniWideControl<TBitBtn>>(), 1, true},
  };
  auto imageOf = [](TControl* control) {
    if (auto* speed = dynamic_cast<TSpeedButton*>(control)) return speed->ImageIndex();
    return dynamic_cast<TBitBtn*>(control)->ImageIndex();
  };
  for (const Case& c : cases) {
    auto* action = new TUniAction(form_);
    action->SetImageIndex(1);
    TControl* control = c.make(form_);
    control->SetAction(action);
    EXPECT_EQ(imageOf(control), 1) << c.name;
    action->SetImageIndex(2);
    EXPECT_EQ(imageOf(control), c.imageAfterActionChange) << c.name;
    if (auto* speed = dynamic_cast<TSpeedButton*>(control)) speed->SetImageIndex(5);
    if (auto* bit = dynamic_cast<TBitBtn*>(control)) bit->SetImageIndex(5);
    EXPECT_EQ(control->ActionLink()->IsImageIndexLinked(), c.linkedAfterOwnImage) << c.name;
    delete control;
    delete action;
  }
}

// A wide menu item's link compares captions without hot keys, so an item whose hot key
// moved still follows the action; one with a caption of its own does not.
TEST_F(UniActionsTest, MenuItemsCompareCaptionsWithoutHotKeys) {
  struct Case {
    std::u16string ownCaption;  // what the item shows before the action changes
    bool linked;
    std::u16string captionAfter;
  };
  const std::u16string save = u"&Save \u0444";
  const Case cases[] = {
      {save, true, kGreek},
      {u"Sa&ve \u0444", true, kGreek},
      {u"Save \u0444", true, kGreek},
      {u"&Save \u0445", false, u"&Save \u0445"},
  };
  for (const Case& c : cases) {
    TUniPopupMenu menu(nullptr);
    auto* item = new TUniMenuItem(&menu);
    menu.Items()->Add(item);
    auto* action = new TUniAction(form_);
    action->SetWideCaption(save);
    action->SetWideHint(kHebrew);
    item->SetAction(action);
    const auto& itemLink = *item->ActionLink();
    EXPECT_EQ(typeid(itemLink), typeid(TUniMenuActionLink));
    EXPECT_EQ(item->Caption(), save);
    EXPECT_EQ(item->Hint(), kHebrew);
    item->SetCaption(c.ownCaption);
    EXPECT_EQ(item->ActionLink()->IsCaptionLinked(), c.linked);
    action->SetWideCaption(kGreek);
    action->SetWideHint(kGreek);
    EXPECT_EQ(item->Caption(), c.captionAfter);
    EXPECT_EQ(item->Hint(), kGreek);
    delete action;
  }
}

// A wide action gives a menu item its wide caption and hint; when only defaults are
// filled in (the action is being loaded), only an empty caption or hint is taken.
TEST_F(UniActionsTest, MenuItemActionChangeTakesWideTextsUnlessOnlyDefaultsAreFilled) {
  struct Case {
    std::u16string caption, hint;
    bool loading;
    std::u16string captionAfter, hintAfter;
  };
  const Case cases[] = {
      {u"", u"", false, kGreek, kHebrew},
      {u"Own", u"Mine", false, kGreek, kHebrew},
      {u"", u"", true, kGreek, kHebrew},
      {u"Own", u"Mine", true, u"Own", u"Mine"},
  };
  for (const Case& c : cases) {
    TUniMenuItem item(nullptr);
    item.SetCaption(c.caption);
    item.SetHint(c.hint);
    TUniAction action(nullptr);
    action.SetWideCaption(kGreek);
    action.SetWideHint(kHebrew);
    if (c.loading) action.BeginLoading();
    item.SetAction(&action);
    if (c.loading) action.EndLoading();
    EXPECT_EQ(item.Caption(), c.captionAfter) << c.loading;
    EXPECT_EQ(item.Hint(), c.hintAfter) << c.loading;
    item.SetAction(nullptr);
  }
}

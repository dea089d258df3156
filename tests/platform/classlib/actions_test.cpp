#include "platform/classlib/actions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classlib/forms.h"
#include "platform/classlib/hint_window.h"
#include "platform/classlib/menu_items.h"

namespace {

class ActionsTest : public testing::Test {
 protected:
  void SetUp() override { app_ = new TApplication(nullptr); }
  void TearDown() override { delete app_; }
  TApplication* app_ = nullptr;
};

TEST_F(ActionsTest, AnActionListHandlesExecutionAndUpdatesFirst) {
  TForm* form = app_->CreateForm<TForm>();
  auto* list = new TActionList(form);
  auto* action = new TAction(form);
  action->SetActionList(list);
  std::vector<std::string> calls;
  bool listHandles = true;
  list->OnExecute = [&](TBasicAction* a, bool& handled) {
    calls.push_back(a == action ? "list execute" : "?");
    handled = listHandles;
  };
  list->OnUpdate = [&](TBasicAction*, bool& handled) {
    calls.push_back("list update");
    handled = listHandles;
  };
  action->OnExecute = [&](TObject*) { calls.push_back("execute"); };
  action->OnUpdate = [&](TObject*) { calls.push_back("update"); };
  EXPECT_TRUE(action->Execute());
  EXPECT_EQ(calls, (std::vector<std::string>{"list update", "list execute"}));
  calls.clear();
  listHandles = false;
  EXPECT_TRUE(action->Execute());
  EXPECT_EQ(calls, (std::vector<std::string>{"list update", "update", "list execute", "execute"}));
  // The form's idle step updates the actions of its lists, linked or not.
  calls.clear();
  form->UpdateActions();
  EXPECT_EQ(calls, (std::vector<std::string>{"list update", "update"}));
  // A disabled action does not run.
  calls.clear();
  action->SetEnabled(false);
  EXPECT_FALSE(action->Execute());
  EXPECT_EQ(calls, (std::vector<std::string>{"list update", "update"}));
  // Either side may go first.
  delete action;
  EXPECT_EQ(list->ActionCount(), 0);
  auto* second = new TAction(form);
  second->SetActionList(list);
  delete list;
  EXPECT_EQ(second->ActionList(), nullptr);
  EXPECT_FALSE(second->Execute());  // no handler anywhere
}

TEST_F(ActionsTest, MenuItemsFollowTheirActionUntilTheyDiffer) {
  TAction action(nullptr);
  action.SetCaption("&Save");
  action.SetHint("Saves");
  action.SetShortCut(ShortCut('S', ssCtrl));
  action.SetImageIndex(3);
  TMenuItem item(nullptr);
  item.SetAction(&action);
  EXPECT_EQ(item.Caption(), "&Save");
  EXPECT_EQ(item.Hint(), "Saves");
  EXPECT_EQ(item.ShortCut(), ShortCut('S', ssCtrl));
  EXPECT_EQ(item.ImageIndex(), 3);
  action.SetChecked(true);
  action.SetEnabled(false);
  action.SetImageIndex(4);
  action.SetShortCut(ShortCut(0x71, 0));  // F2
  EXPECT_TRUE(item.Checked());
  EXPECT_FALSE(item.Enabled());
  EXPECT_EQ(item.ImageIndex(), 4);
  EXPECT_EQ(item.ShortCut(), ShortCut(0x71, 0));
  action.SetVisible(false);
  EXPECT_FALSE(item.Visible());
  // An item whose caption was changed by hand keeps it.
  item.SetCaption("Keep");
  action.SetCaption("Other");
  EXPECT_EQ(item.Caption(), "Keep");
  // A click runs the action instead of OnClick.
  action.SetEnabled(true);
  item.SetEnabled(true);
  int executed = 0, clicked = 0;
  action.OnExecute = [&](TObject*) { ++executed; };
  item.OnClick = [&](TObject*) { ++clicked; };
  item.Click();
  EXPECT_EQ(executed, 1);
  EXPECT_EQ(clicked, 0);
  item.SetAction(nullptr);
  item.Click();
  EXPECT_EQ(clicked, 1);
}

TEST_F(ActionsTest, FreeingTheActionUnlinksTheMenuItem) {
  auto* action = new TAction(nullptr);
  TMenuItem item(nullptr);
  item.SetAction(action);
  delete action;
  EXPECT_EQ(item.Action(), nullptr);
  item.InitiateAction();  // nothing to update, nothing touched
}

TEST_F(ActionsTest, ALinkedControlsHintNamesTheActionsShortcut) {
  TForm* form = app_->CreateForm<TForm>();
  auto* control = new TWinControl(form);
  control->SetParent(form);
  TAction action(nullptr);
  action.SetHint("Saves the list");
  action.SetShortCut(ShortCut('S', ssCtrl));
  control->SetAction(&action);
  auto hintOf = [&] {
    THintInfo info;
    info.HintStr = control->Hint();
    LRESULT refused = control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
    return refused ? std::string("refused") : info.HintStr;
  };
  EXPECT_EQ(hintOf(), "Saves the list (Ctrl+S)");
  app_->HintShortCuts = false;
  EXPECT_EQ(hintOf(), "Saves the list");
  control->SetAction(nullptr);
}

}  // namespace

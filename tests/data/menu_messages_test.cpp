#include "data/menu_messages.h"

#include <gtest/gtest.h>

#include "data/recording_app_services.h"

namespace {

TEST(MenuMessagesTest, ObjectsStartCleared) {
  TObjMenuMessage menu;
  EXPECT_EQ(menu.Command, 0);
  EXPECT_EQ(menu.Param, 0);
  EXPECT_EQ(menu.Param2, 0);
  EXPECT_EQ(menu.BrowserWindow, 0u);
  EXPECT_TRUE(menu.ClientID.empty() && menu.Text1.empty() && menu.Text2.empty());
  TNavigateItem navigate;
  EXPECT_EQ(navigate.IEWin, 0u);
  EXPECT_EQ(navigate.Action, 0);
  EXPECT_FALSE(navigate.Item);
  TMenuEvents events;
  for (const TNotifyEvent& handler : events.Handlers) EXPECT_FALSE(handler);
  TContextMenuEvents context;
  EXPECT_EQ(context.Handlers.size(), 6u);
}

TEST(MenuMessagesTest, AnObjectTravelsAsAnIdAndIsTakenOnceByItsOwnType) {
  auto item = std::make_unique<TMessageItem>();
  item->URL = u"https://shop.example/order";
  TFormListItem field;
  field.Value = u"ann@x.example";
  item->Fields.push_back(field);
  item->Passwords.Add(u"pw");
  LPARAM carried = HandOverMessageObject(std::move(item));
  ASSERT_GT(carried, 0);
  ASSERT_LE(carried, static_cast<LPARAM>(UINT32_MAX));

  // Another type, an id that was never given and values that cannot be ids get nothing.
  EXPECT_FALSE(ReceiveMessageObject<TObjMenuMessage>(carried));
  for (LPARAM bogus : {LPARAM{0}, LPARAM{-1}, carried + 1000, static_cast<LPARAM>(UINT32_MAX) + 1}) {
    EXPECT_FALSE(ReceiveMessageObject<TMessageItem>(bogus));
  }
  std::shared_ptr<TMessageItem> received = ReceiveMessageObject<TMessageItem>(carried);
  ASSERT_TRUE(received);
  EXPECT_EQ(received->URL, u"https://shop.example/order");
  EXPECT_EQ(received->Fields.at(0).Value, u"ann@x.example");
  EXPECT_EQ(received->Passwords.Strings(0), u"pw");
  EXPECT_FALSE(ReceiveMessageObject<TMessageItem>(carried));
}

TEST(MenuMessagesTest, APostThatFailsFreesTheObjectAndOneThatSucceedsHandsItOver) {
  RecordingAppServices shell;
  std::weak_ptr<TObjMenuMessage> watch;
  {
    auto message = std::make_unique<TObjMenuMessage>();
    message->Command = 31;
    shell.postAnswer = true;
    ASSERT_TRUE(PostObjectToMainWindow(9, std::move(message)));
  }
  auto calls = shell.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].command, 9u);
  std::shared_ptr<TObjMenuMessage> taken = ReceiveMessageObject<TObjMenuMessage>(calls[0].argument);
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->Command, 31);

  std::size_t before = platform::RegisteredObjectCount();
  shell.postAnswer = false;
  auto lost = std::make_unique<TObjMenuMessage>();
  EXPECT_FALSE(PostObjectToMainWindow(9, std::move(lost)));
  EXPECT_EQ(platform::RegisteredObjectCount(), before);
  EXPECT_FALSE(ReceiveMessageObject<TObjMenuMessage>(shell.Calls().back().argument));
}

}  // namespace

// Reading Skype's notification texts, and the blocks they travel in.
#include <gtest/gtest.h>

#include "skype/notification.h"
#include "skype/notification_block.h"

#include <cstring>
#include <string>

using namespace phonedock;
using Kind = Notification::Kind;

TEST(NotificationText, MuteReportsInAnyCase) {
    EXPECT_EQ(ParseNotification("mute off").kind, Kind::MuteOff);
    EXPECT_EQ(ParseNotification("Mute On").kind, Kind::MuteOn);
    EXPECT_EQ(ParseNotification("MUTE ONX").kind, Kind::MuteOn);  // a prefix test
    EXPECT_EQ(ParseNotification("MUTE").kind, Kind::Other);
    EXPECT_EQ(ParseNotification("").kind, Kind::Other);
    EXPECT_EQ(ParseNotification("USERSTATUS ONLINE").kind, Kind::Other);
}

TEST(NotificationText, CallIdsAndStatusPhrases) {
    Notification n = ParseNotification("CALL 12 STATUS RINGING");
    EXPECT_EQ(n.kind, Kind::Call);
    EXPECT_EQ(n.callId, 12);
    EXPECT_EQ(n.status, CallStatus::Ringing);
    EXPECT_FALSE(n.hasDisplayName);

    EXPECT_EQ(ParseNotification("CALL 7 STATUS ROUTING").status, CallStatus::Routing);
    EXPECT_EQ(ParseNotification("CALL 7 STATUS INPROGRESS").status, CallStatus::InProgress);
    EXPECT_EQ(ParseNotification("CALL 9 STATUS ONHOLD").status, CallStatus::OnHold);
    EXPECT_EQ(ParseNotification("CALL 9 STATUS EARLYMEDIA").status, CallStatus::None);
    EXPECT_EQ(ParseNotification("CALL 9 status finished").status, CallStatus::None);  // phrases heed case
    // The phrase order decides, not the place in the text.
    EXPECT_EQ(ParseNotification("CALL 3 STATUS FINISHED STATUS FAILED").status, CallStatus::Failed);

    // "CALL" itself heeds case; white space and a sign before the number are read.
    EXPECT_EQ(ParseNotification("call 5 STATUS RINGING").callId, 0);
    EXPECT_EQ(ParseNotification("CALL   +8 STATUS RINGING").callId, 8);
    EXPECT_EQ(ParseNotification("CALL 0 STATUS RINGING").callId, 0);
    EXPECT_EQ(ParseNotification("CALL -3 STATUS RINGING").callId, -3);
    EXPECT_EQ(ParseNotification("CALL x STATUS RINGING").callId, 0);
    EXPECT_EQ(ParseNotification("CALL 99999999999 STATUS RINGING").callId, 0);  // beyond 32 bits: no id
    EXPECT_EQ(ParseNotification("CALL 0 STATUS RINGING").status,
              CallStatus::None);  // no id, no further tests
}

TEST(NotificationText, ADisplayNameIsTheRestOfTheTextAndIsNotSearched) {
    Notification n = ParseNotification("CALL 12 PARTNER_DISPNAME Ada Lovelace");
    EXPECT_TRUE(n.hasDisplayName);
    EXPECT_EQ(n.displayName, "Ada Lovelace");
    EXPECT_EQ(n.status, CallStatus::None);

    // A name chosen by the far end cannot pass for a status report.
    n = ParseNotification("CALL 12 PARTNER_DISPNAME Bob STATUS FINISHED STATUS RINGING");
    EXPECT_EQ(n.displayName, "Bob STATUS FINISHED STATUS RINGING");
    EXPECT_EQ(n.status, CallStatus::None);

    EXPECT_EQ(ParseNotification("CALL 3 STATUS RINGING PARTNER_DISPNAME Eve").status, CallStatus::None);
    EXPECT_TRUE(ParseNotification("CALL 4 PARTNER_DISPNAME ").displayName.empty());
    EXPECT_FALSE(ParseNotification("CALL 4 PARTNER_DISPNAME").hasDisplayName);  // the key needs its blank
}

TEST(NotificationBlock, CopiesTheDataBehindItsOwnHeaderAndAlwaysEndsInAZero) {
    char text[] = "MUTE ON";
    COPYDATASTRUCT received{0x55, sizeof(text), text};
    COPYDATASTRUCT* block = CopyNotificationBlock(received);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->dwData, 0x55u);
    EXPECT_EQ(block->cbData, 8u);
    EXPECT_EQ(block->lpData, reinterpret_cast<unsigned char*>(block) + sizeof(COPYDATASTRUCT));
    text[0] = 'X';  // the sender's bytes may change or vanish after WM_COPYDATA
    EXPECT_STREQ(NotificationText(block), "MUTE ON");
    FreeNotificationBlock(block);

    // Without a terminator, or without any data, the text still ends inside the block.
    char unterminated[4] = {'C', 'A', 'L', 'L'};
    block = CopyNotificationBlock(COPYDATASTRUCT{0, sizeof(unterminated), unterminated});
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(NotificationText(block), "CALL");
    FreeNotificationBlock(block);
    block = CopyNotificationBlock(COPYDATASTRUCT{0, 0, nullptr});
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(NotificationText(block), "");
    FreeNotificationBlock(block);
    block = CopyNotificationBlock(COPYDATASTRUCT{0, 3, nullptr});  // a count without data: zeros
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(NotificationText(block), "");
    FreeNotificationBlock(block);
}

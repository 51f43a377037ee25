// The simulator's log: its own events among Skype's numbered records, in the order things happened.
#include "event_log.h"

#include <gtest/gtest.h>

using namespace phonedocksim;

namespace {

using Lines = std::vector<std::string>;

TEST(EventLog, EventsGoBeforeTheRecordsNumberedFromTheirMark) {
    EventLog log;
    log.addEvent(0, "* Skype started");
    EXPECT_EQ(log.take({}), Lines{"* Skype started"}) << "nothing of Skype's comes before it";
    log.addEvent(2, "* incoming call 101 from Ann");
    log.addEvent(2, "* the handset is pulled out");
    EXPECT_EQ(log.take({{0, "> SET AUDIO_OUT x"}, {1, "> SET AUDIO_IN x"}, {2, "< CALL 101 STATUS RINGING"}}),
              (Lines{"> SET AUDIO_OUT x", "> SET AUDIO_IN x", "* incoming call 101 from Ann",
                     "* the handset is pulled out", "< CALL 101 STATUS RINGING"}));
    EXPECT_EQ(log.next(), 3u);
}

// A record still on its way (number 1 here) holds back every event marked after it, until it comes.
TEST(EventLog, AnEventWaitsForTheRecordsBeforeItsMark) {
    EventLog log;
    log.addEvent(2, "* Skype crashed");
    EXPECT_EQ(log.take({{0, "< CALL 5 STATUS RINGING"}}), Lines{"< CALL 5 STATUS RINGING"});
    EXPECT_EQ(log.take({}), Lines{});
    EXPECT_EQ(log.take({{1, "> GET CALL 5 PARTNER_DISPNAME"}}),
              (Lines{"> GET CALL 5 PARTNER_DISPNAME", "* Skype crashed"}));
}

TEST(EventLog, RecordsTakenAlreadyOrBeyondAGapAreNotShownOutOfOrder) {
    EventLog log;
    EXPECT_EQ(log.take({{0, "> FOCUS"}, {2, "> HOOK OFF"}}), Lines{"> FOCUS"});
    EXPECT_EQ(log.next(), 1u);
    EXPECT_EQ(log.take({{0, "> FOCUS"}, {1, "> BTN_PRESSED 1"}, {2, "> HOOK OFF"}}),
              (Lines{"> BTN_PRESSED 1", "> HOOK OFF"}));
}

}  // namespace
